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
    const uint32_t function = functionOf(frame.id);
    if (function == COB_EMCY) {
        onEmergency(node, frame, stamp);
        return;
    }
    if (function != COB_HEARTBEAT || frame.length < 1)
        return;
    const uint8_t state = frame.data[0] & 0x7F; // bit 7 is the guarding toggle
    node.state.store(state, std::memory_order_relaxed);
    node.lastStateReport.store(stamp, std::memory_order_relaxed);
    if (state == NMT_STATE_BOOTUP) {
        node.lastHeartbeat.store(0, std::memory_order_relaxed);
        return;
    }
    const int64_t previous = node.lastHeartbeat.exchange(stamp, std::memory_order_relaxed);
    if (previous != 0 && stamp - previous <= kLongestHeartbeatMicros)
        node.heartbeatPeriod.store(stamp - previous, std::memory_order_relaxed);
}

void NodeMonitor::onEmergency(Node &node, const CanFrame &frame, int64_t stamp)
{
    uint64_t bytes = 0;
    const uint8_t length = frame.length < 8 ? frame.length : 8;
    for (uint8_t k = 0; k < length; ++k)
        bytes |= uint64_t(frame.data[k]) << (8 * k);
    node.lastEmergency.store(bytes, std::memory_order_relaxed);
    node.lastEmergencyAt.store(stamp, std::memory_order_relaxed);
    node.emergencies.fetch_add(1, std::memory_order_relaxed);
    emergencyLog_.push(nodeOf(frame.id), frame.data, length, stamp);
}

NodeMonitor::View NodeMonitor::view(uint8_t node, int64_t nowMicros) const
{
    View v;
    if (!isNodeId(node))
        return v;
    const Node &n = nodes_[node];
    v.lastHeardMicros = n.lastHeard.load(std::memory_order_relaxed);
    v.heard = v.lastHeardMicros != 0;
    v.state = n.state.load(std::memory_order_relaxed);
    v.heartbeatPeriodMicros = n.heartbeatPeriod.load(std::memory_order_relaxed);
    const int64_t report = n.lastStateReport.load(std::memory_order_relaxed);
    v.lost = v.heartbeatPeriodMicros > 0 && report != 0 && nowMicros - report > 2 * v.heartbeatPeriodMicros;
    v.emergencies = n.emergencies.load(std::memory_order_relaxed);
    v.lastEmergencyMicros = n.lastEmergencyAt.load(std::memory_order_relaxed);
    const uint64_t bytes = n.lastEmergency.load(std::memory_order_relaxed);
    for (int k = 0; k < 8; ++k)
        v.lastEmergency[k] = uint8_t(bytes >> (8 * k));
    return v;
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

} // namespace qelcopn
