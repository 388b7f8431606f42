// The events the History tab shows: a ring of a fixed bound, newest first,
// that drops the oldest event when a new one would not fit and counts what
// it dropped. Belongs to the user-interface thread.
#pragma once

#include "HistoryFeed.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct THistoryEntry {
    int64_t WallUs = 0; // receive time, microseconds since the epoch (UTC)
    uint32_t Count = 0;
    uint16_t FaultCode = 0;
    THistoryKind Kind = THistoryKind::FaultActive;
};

// A ring of a fixed bound, newest first, that drops the oldest entry when a
// new one would not fit and counts what it dropped.
template <typename Entry>
class TBoundedLog {
public:
    explicit TBoundedLog(size_t bound) : ring_(bound > 0 ? bound : 1) {}

    size_t Bound() const { return ring_.size(); }
    size_t Size() const { return size_; }
    // 0 is the newest entry.
    const Entry &Newest(size_t i) const { return ring_[(next_ + ring_.size() - 1 - i) % ring_.size()]; }
    // Entries dropped at the bound since the start.
    uint64_t Dropped() const { return dropped_; }

    // Room for `count` more: drops as many of the oldest as needed (the
    // caller announces their going before), and says how many.
    size_t DropForRoom(size_t count)
    {
        const size_t drop = size_ + count > ring_.size() ? std::min(size_, size_ + count - ring_.size()) : 0;
        size_ -= drop;
        dropped_ += drop;
        return drop;
    }
    // The oldest entry goes first when the ring is full.
    void Add(const Entry &entry)
    {
        ring_[next_] = entry;
        next_ = (next_ + 1) % ring_.size();
        if (size_ < ring_.size())
            ++size_;
        else
            ++dropped_;
    }

private:
    std::vector<Entry> ring_;
    size_t next_ = 0;
    size_t size_ = 0;
    uint64_t dropped_ = 0;
};

class THistoryLog : public TBoundedLog<THistoryEntry> {
public:
    static constexpr size_t BOUND = 100000;

    explicit THistoryLog(size_t bound = BOUND) : TBoundedLog(bound) {}
};
