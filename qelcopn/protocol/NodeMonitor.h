// What the master knows of each node from what it hears: when it last sent
// anything, the NMT state of its last boot-up or heartbeat, and its
// heartbeat period. Written by the receiving thread, read by any thread.
#pragma once

#include "protocol/CanFrame.h"

#include <atomic>
#include <cstdint>

namespace qelcopn {

class NodeMonitor {
public:
    // A node counts as online while it was heard within this window, or
    // within three of its heartbeat periods when that is longer.
    static constexpr int64_t kMinOnlineWindowMicros = 3'000'000;
    static constexpr uint8_t kStateUnknown = 0xFF;

    void onFrame(const CanFrame &frame, int64_t nowMicros);
    bool heardOf(uint8_t node) const;
    bool online(uint8_t node, int64_t nowMicros) const;
    uint8_t state(uint8_t node) const;
    // Boot-ups seen from the node.
    uint32_t bootUps(uint8_t node) const;
    void reset();

private:
    struct Node {
        std::atomic<int64_t> lastHeard{0}; // 0 = never
        std::atomic<int64_t> lastHeartbeat{0};
        std::atomic<int64_t> heartbeatPeriod{0};
        std::atomic<uint8_t> state{kStateUnknown};
        std::atomic<uint32_t> bootUps{0};
    };
    Node nodes_[128];
};

} // namespace qelcopn
