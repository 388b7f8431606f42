#include "HistoryFeed.h"

#include "Platform.h"

#include <algorithm>

const char *HistoryKindText(THistoryKind kind)
{
    switch (kind) {
    case THistoryKind::FaultActive:
        return "Fault Active";
    case THistoryKind::FaultCleared:
        return "Fault Cleared";
    case THistoryKind::MtuOnline:
        return "MTU Online";
    case THistoryKind::MtuOffline:
        return "MTU Offline";
    }
    return "";
}

void THistoryFeed::FollowRestart()
{
    const uint32_t restarts = restarts_.load(std::memory_order_acquire);
    if (restarts == restartsSeen_)
        return;
    restartsSeen_ = restarts;
    mtuOnline_ = -1;
    faultActive_.fill(0);
    activations_.fill(0);
}

void THistoryFeed::MtuReport(bool online, uint32_t rxTime)
{
    FollowRestart();
    if (mtuOnline_ == int8_t(online))
        return;
    mtuOnline_ = int8_t(online);
    Push(online ? THistoryKind::MtuOnline : THistoryKind::MtuOffline, 0, 0, rxTime);
}

void THistoryFeed::FaultReport(uint16_t code, bool active, uint32_t rxTime)
{
    if (code == 0 || code > LAST_FAULT_CODE)
        return; // no fault code the table shows
    FollowRestart();
    if (faultActive_[code] == uint8_t(active))
        return;
    faultActive_[code] = uint8_t(active);
    if (active)
        ++activations_[code];
    Push(active ? THistoryKind::FaultActive : THistoryKind::FaultCleared, code, activations_[code], rxTime);
}

void THistoryFeed::Push(THistoryKind kind, uint16_t code, uint32_t count, uint32_t rxTime)
{
    // The stamp holds the counter's low 32 bits (71 minutes); the message was
    // received a moment ago, so its age is small and the full time follows.
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    const int32_t age = int32_t(uint32_t(uint64_t(now)) - rxTime);
    THistoryEvent event;
    event.RxUs = now - std::max(age, 0);
    event.Count = count;
    event.FaultCode = code;
    event.Kind = kind;
    if (!queue_.push(event))
        // One writer: a plain read-modify-write needs no locked instruction.
        lost_.store(lost_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}
