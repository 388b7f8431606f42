// What the master knows of each node from what it hears: when it last sent
// anything, the NMT state of its last boot-up, heartbeat or guarding answer,
// its heartbeat period, and its emergencies. Written by the receiving
// thread, read by any thread; passive, so it holds in every mode.
#pragma once

#include "protocol/CanFrame.h"
#include "protocol/EmergencyLog.h"

#include <atomic>
#include <cstdint>

namespace qelcopn {

class NodeMonitor {
public:
    // A node counts as online while it was heard within this window, or
    // within three of its heartbeat periods when that is longer.
    static constexpr int64_t kMinOnlineWindowMicros = 3'000'000;
    static constexpr uint8_t kStateUnknown = 0xFF;

    // One node as a reader sees it at a moment.
    struct View {
        bool heard = false;
        uint8_t state = kStateUnknown;
        // No heartbeat for more than twice its measured period.
        bool lost = false;
        int64_t heartbeatPeriodMicros = 0; // 0 = not measured yet
        int64_t lastHeardMicros = 0;       // 0 = never
        uint32_t emergencies = 0;
        int64_t lastEmergencyMicros = 0; // 0 = none
        uint8_t lastEmergency[8] = {};
    };

    void onFrame(const CanFrame &frame, int64_t nowMicros);
    View view(uint8_t node, int64_t nowMicros) const;
    const EmergencyLog &emergencies() const { return emergencyLog_; }
    bool heardOf(uint8_t node) const;
    bool online(uint8_t node, int64_t nowMicros) const;
    uint8_t state(uint8_t node) const;

private:
    struct Node {
        std::atomic<int64_t> lastHeard{0}; // 0 = never
        std::atomic<int64_t> lastHeartbeat{0};
        std::atomic<int64_t> heartbeatPeriod{0};
        std::atomic<uint8_t> state{kStateUnknown};
        // The last boot-up or heartbeat: what "lost" counts from, so a node
        // that falls silent straight after its boot-up is lost too.
        std::atomic<int64_t> lastStateReport{0};
        std::atomic<uint32_t> emergencies{0};
        std::atomic<int64_t> lastEmergencyAt{0};
        std::atomic<uint64_t> lastEmergency{0}; // the 8 data bytes, little-endian
    };
    void onEmergency(Node &node, const CanFrame &frame, int64_t stamp);

    Node nodes_[128];
    EmergencyLog emergencyLog_;
};

} // namespace qelcopn
