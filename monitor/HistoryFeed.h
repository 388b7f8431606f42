// The history's source: each fault activation and clearing and each MTU
// online/offline change, stamped with its receive time, on its way from the
// emergency thread to the user-interface thread.
//
// Threading: the emergency thread is the one producer; it alone calls
// MtuReport and FaultReport and owns the states they compare against, so a
// change is caught where it happens, never by sampling. The user-interface
// thread is the one consumer (Take) and may restart the counts at any time.
#pragma once

#include "GatewayObjects.h"
#include "SpscQueue.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

enum class THistoryKind : uint8_t { FaultActive, FaultCleared, MtuOnline, MtuOffline };

// The "Event" column's words.
const char *HistoryKindText(THistoryKind kind);

struct THistoryEvent {
    int64_t RxUs = 0;       // the receive time on the monotonic microsecond counter
    uint32_t Count = 0;     // activations of the fault since the counts restarted; 0 for the MTU
    uint16_t FaultCode = 0; // 0 for the MTU
    THistoryKind Kind = THistoryKind::FaultActive;
};

class THistoryFeed {
public:
    // Three seconds of a 20,000/s flood against a consumer that takes every 100 ms.
    static constexpr size_t QUEUE_CAPACITY = 65536;
    static constexpr uint16_t LAST_FAULT_CODE = GATEWAY_FAULT_LAST;

    explicit THistoryFeed(size_t capacity = QUEUE_CAPACITY) : queue_(capacity) {}

    // Producer: what a report said, with the low 32 bits of its receive stamp.
    void MtuReport(bool online, uint32_t rxTime);
    void FaultReport(uint16_t code, bool active, uint32_t rxTime);

    // Consumer.
    bool Take(THistoryEvent &event) { return queue_.pop(&event); }
    // Events refused by a full queue since the start; read from any thread.
    uint64_t Lost() const { return lost_.load(std::memory_order_relaxed); }
    // A new network access: counts start again from 0 and every state is
    // unknown again, so the first reports of the new session are all told.
    void RestartCounts() { restarts_.fetch_add(1, std::memory_order_release); }

private:
    void Push(THistoryKind kind, uint16_t code, uint32_t count, uint32_t rxTime);
    void FollowRestart();

    SpscQueue<THistoryEvent> queue_;
    std::atomic<uint64_t> lost_{0};
    std::atomic<uint32_t> restarts_{0};

    // The producer's own.
    uint32_t restartsSeen_ = 0;
    int8_t mtuOnline_ = -1; // not yet reported
    std::array<uint8_t, LAST_FAULT_CODE + 1> faultActive_{};
    std::array<uint32_t, LAST_FAULT_CODE + 1> activations_{};
};
