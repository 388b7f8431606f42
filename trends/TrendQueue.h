// The values of plotted MTU parameters on their way from the PDO thread (the
// one producer) to the trend window's timer (the one consumer). Bounded and
// lock-free: the producer never waits and never allocates; when the window
// falls behind, new values are dropped and counted rather than blocking the
// receive thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct TTrendSample {
    int32_t Value;
    uint32_t RxTime2;  // the receive stamp, µs, low 32 bits of the monotonic counter
    uint8_t Parameter; // the MTU row
};

class TTrendQueue {
public:
    // About 1.8 s of a full 1 Mbit/s bus, against a consumer that drains every 100 ms.
    static constexpr uint32_t CAPACITY = 16384;

    // Producer side.
    bool Push(const TTrendSample &sample) noexcept
    {
        const uint32_t head = head_.load(std::memory_order_relaxed);
        if (head - tailSeen_ == CAPACITY) {
            tailSeen_ = tail_.load(std::memory_order_acquire);
            if (head - tailSeen_ == CAPACITY) {
                // One writer: a plain read-modify-write needs no locked instruction.
                dropped_.store(dropped_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
                return false;
            }
        }
        slots_[head % CAPACITY] = sample;
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer side.
    bool Pop(TTrendSample &sample) noexcept
    {
        const uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire))
            return false;
        sample = slots_[tail % CAPACITY];
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Values lost to a full queue since the start; read from any thread.
    uint64_t Dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }

private:
    alignas(64) std::atomic<uint32_t> head_{0};
    uint32_t tailSeen_ = 0; // the producer's last look at tail_, so a push rarely touches the consumer's line
    std::atomic<uint64_t> dropped_{0};
    alignas(64) std::atomic<uint32_t> tail_{0};
    alignas(64) TTrendSample slots_[CAPACITY];
};
