#include "protocol/NodeMonitor.h"

#include "protocol/Cia301.h"

#include <algorithm>

namespace qelcopn {

using namespace cia301;

namespace {
// Gaps longer than this are silence, not a heartbeat period: it bounds how
// long a node that stopped is still taken as online (three periods).
constexpr int64_t kLongestHeartbeatMicros = 10'000'000;
} // namespace

void NodeMonitor::onFrame(const CanFrame &frame, int64_t nowMicros)
{
    // A remote frame on a node's COB-ID is someone asking it (guarding,
    // RTR), not the node talking.
    if (!isSentByNode(frame.id) || frame.remote)
        return;
    Node &node = nodes_[nodeOf(frame.id)];
    // 0 means "never": a clock reading of 0 still counts as heard.
    const int64_t stamp = std::max<int64_t>(nowMicros, 1);
    node.lastHeard.store(stamp, std::memory_order_relaxed);
    if (functionOf(frame.id) != COB_HEARTBEAT || frame.length < 1)
        return;
    const uint8_t state = frame.data[0] & 0x7F; // bit 7 is the guarding toggle
    node.state.store(state, std::memory_order_relaxed);
    if (state == NMT_STATE_BOOTUP) {
        node.bootUps.fetch_add(1, std::memory_order_relaxed);
        node.lastHeartbeat.store(0, std::memory_order_relaxed);
        return;
    }
    const int64_t previous = node.lastHeartbeat.exchange(stamp, std::memory_order_relaxed);
    if (previous != 0 && stamp - previous <= kLongestHeartbeatMicros)
        node.heartbeatPeriod.store(stamp - previous, std::memory_order_relaxed);
}

bool NodeMonitor::heardOf(uint8_t node) const
{
    return isNodeId(node) && nodes_[node].lastHeard.load(std::memory_order_relaxed) != 0;
}

bool NodeMonitor::online(uint8_t node, int64_t nowMicros) const
{
    if (!isNodeId(node))
        return false;
    const Node &n = nodes_[node];
    const int64_t last = n.lastHeard.load(std::memory_order_relaxed);
    if (last == 0)
        return false;
    const int64_t window = std::max(kMinOnlineWindowMicros, 3 * n.heartbeatPeriod.load(std::memory_order_relaxed));
    return nowMicros - last <= window;
}

uint8_t NodeMonitor::state(uint8_t node) const
{
    return isNodeId(node) ? nodes_[node].state.load(std::memory_order_relaxed) : kStateUnknown;
}

uint32_t NodeMonitor::bootUps(uint8_t node) const
{
    return isNodeId(node) ? nodes_[node].bootUps.load(std::memory_order_relaxed) : 0;
}

void NodeMonitor::reset()
{
    for (Node &n : nodes_) {
        n.lastHeard.store(0, std::memory_order_relaxed);
        n.lastHeartbeat.store(0, std::memory_order_relaxed);
        n.heartbeatPeriod.store(0, std::memory_order_relaxed);
        n.state.store(kStateUnknown, std::memory_order_relaxed);
        n.bootUps.store(0, std::memory_order_relaxed);
    }
}

} // namespace qelcopn
