// A bounded queue from one producer thread to one consumer thread that
// never blocks and never allocates after construction: a full queue
// refuses the entry and the producer counts it.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

template <typename Entry>
class SpscQueue {
public:
    explicit SpscQueue(size_t capacity) : slots_(capacity + 1) {}

    bool push(const Entry &entry)
    {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        const size_t next = (tail + 1) % slots_.size();
        if (next == head_.load(std::memory_order_acquire))
            return false;
        slots_[tail] = entry;
        tail_.store(next, std::memory_order_release);
        return true;
    }

    bool pop(Entry *entry)
    {
        const size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return false;
        *entry = slots_[head];
        head_.store((head + 1) % slots_.size(), std::memory_order_release);
        return true;
    }

private:
    std::vector<Entry> slots_;
    alignas(64) std::atomic<size_t> head_{0};
    alignas(64) std::atomic<size_t> tail_{0};
};
