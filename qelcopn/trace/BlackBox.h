// The black box: the last minutes of frames both ways, kept in memory so
// that what led up to a fault can be saved after it happened. One thread
// adds (the I/O thread), never waiting and never allocating; any thread may
// save at the same time. The ring is sized once for the busiest bus a
// vehicle has, so a flood overwrites the oldest frames sooner but cannot
// make it grow.
#pragma once

#include "QEL_COPN.h"
#include "trace/TraceFiles.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qelcopn::trace {

class BlackBox {
public:
    static constexpr uint32_t kDefaultMinutes = QELCOPN_BLACK_BOX_MINUTES_DEFAULT;
    static constexpr uint32_t kMaxMinutes = QELCOPN_BLACK_BOX_MINUTES_MAX;
    // About what a 1 Mbit/s bus carries of eight-byte frames.
    static constexpr uint32_t kFramesPerSecond = 9000;
    // A frame kept: its data and one word of stamp, identifier and flags.
    static constexpr size_t kRecordBytes = 16;

    // 0 or more than kMaxMinutes: the default.
    static uint32_t minutesOrDefault(uint32_t minutes);
    static size_t capacityFor(uint32_t minutes) { return size_t(minutesOrDefault(minutes)) * 60 * kFramesPerSecond; }

    // Reserves the whole ring's address space; the memory itself is taken
    // as frames fill it.
    explicit BlackBox(uint32_t minutes);
    ~BlackBox();
    BlackBox(const BlackBox &) = delete;
    BlackBox &operator=(const BlackBox &) = delete;

    uint32_t minutes() const { return minutes_; }
    size_t capacity() const { return capacity_; }
    uint64_t framesAdded() const { return published_.load(std::memory_order_acquire); }

    // The producer, one thread only. micros: the monotonic µs stamp.
    void add(const CanFrame &frame, int64_t micros, bool sent)
    {
        const uint64_t n = published_.load(std::memory_order_relaxed);
        // A saver that may have read this slot learns that it was taken.
        claimed_.store(n + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        Slot &slot = slots_[n % capacity_];
        std::atomic_ref<uint64_t>(slot.data).store(packData(frame), std::memory_order_relaxed);
        std::atomic_ref<uint64_t>(slot.meta).store(packMeta(frame, micros, sent), std::memory_order_relaxed);
        published_.store(n + 1, std::memory_order_release);
    }

    // Writes the frames kept from `seconds` before nowMicros up to now as
    // a recording: path (.log) and its .json, each through a temporary name
    // so that a failed save leaves nothing half-written. False with errno
    // set: EINVAL for 0 seconds or an empty path, the system's code for a
    // file that cannot be written.
    bool save(const std::string &path, uint32_t seconds, const SessionInfo &info, int64_t nowMicros) const;

private:
    struct Slot {
        uint64_t data;
        uint64_t meta;
    };
    static_assert(sizeof(Slot) == kRecordBytes);

    static uint64_t packData(const CanFrame &frame);
    static uint64_t packMeta(const CanFrame &frame, int64_t micros, bool sent);

    // Copies kept frames [first, last) into out; returns the index from
    // which the copies are whole (frames before it were overwritten meanwhile).
    uint64_t copy(uint64_t first, uint64_t last, Slot *out) const;
    uint64_t oldestKept() const;
    // The first index in [low, high) stamped at or after sinceMicros.
    uint64_t firstSince(int64_t sinceMicros, int64_t nowMicros, uint64_t low, uint64_t high) const;

    const uint32_t minutes_;
    const size_t capacity_;
    const int64_t createdMicros_;
    Slot *slots_;
    alignas(64) std::atomic<uint64_t> claimed_{0};
    alignas(64) std::atomic<uint64_t> published_{0};
};

} // namespace qelcopn::trace
