// A bounded FIFO of received frames for one consumer kind: when full, the
// oldest entry gives way and is counted. Storage is fixed at construction:
// pushing and taking never allocate. Any thread may push or take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qelcopn {

template <typename Entry>
class FrameRing {
public:
    explicit FrameRing(size_t capacity) : slots_(capacity > 0 ? capacity : 1) {}

    // Returns false when the oldest entry was dropped to make room.
    bool push(const Entry &entry)
    {
        std::lock_guard lock(mutex_);
        ++pushed_;
        bool kept = true;
        if (count_ == slots_.size()) {
            head_ = (head_ + 1) % slots_.size();
            --count_;
            ++dropped_;
            kept = false;
        }
        slots_[(head_ + count_) % slots_.size()] = entry;
        ++count_;
        return kept;
    }

    bool take(Entry *entry)
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0)
            return false;
        *entry = slots_[head_];
        head_ = (head_ + 1) % slots_.size();
        --count_;
        return true;
    }

    size_t size() const
    {
        std::lock_guard lock(mutex_);
        return count_;
    }
    size_t capacity() const { return slots_.size(); }
    uint64_t pushed() const
    {
        std::lock_guard lock(mutex_);
        return pushed_;
    }
    uint64_t dropped() const
    {
        std::lock_guard lock(mutex_);
        return dropped_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Entry> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
    uint64_t pushed_ = 0;
    uint64_t dropped_ = 0;
};

// One received PDO: its bytes, receipt sequence number and receive time
// (low 32 bits of the microsecond counter).
struct PdoEntry {
    uint8_t length = 0;
    uint8_t data[8] = {};
    uint32_t sequence = 0;
    uint32_t time = 0;
};

// One EMCY message: the sender and its 8 data bytes.
struct EmcyEntry {
    uint8_t node = 0;
    uint8_t data[8] = {};
    uint32_t time = 0;
};

} // namespace qelcopn
