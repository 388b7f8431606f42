// When a node never heard of is asked whether it is there (an SDO read of
// its device type), and how long its answer is waited for; free of I/O.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qelcopn::nodeprobe {

// Briefly, so that a survey of a quiet bus does not take minutes. Slow
// rates get more: the time is meant for the node's answer, not the bits.
constexpr int64_t kTimeoutMicros = 50'000;
constexpr uint32_t kFullSpeed = 125'000;
// A request and its answer on the bus, with stuffing, in bits.
constexpr int64_t kRoundTripBits = 2 * 135;
// An unheard node is asked again after this long: it may have been
// switched on since.
constexpr int64_t kReprobeMicros = 10'000'000;
// A node sends its boot-up within milliseconds of a reset; one that has not
// been heard this long after our reset is taken as absent.
constexpr int64_t kBootUpGraceMicros = 500'000;

// For `together` probes sent at once at the bit rate (0: not set): never
// longer than the SDO time-out, plus the time the requests queue behind
// each other on the bus.
constexpr int64_t timeoutMicros(uint32_t bitrate, uint16_t sdoTimeoutMs, size_t together)
{
    const int64_t answer = bitrate != 0 && bitrate < kFullSpeed ? kTimeoutMicros * kFullSpeed / bitrate
                                                                : kTimeoutMicros;
    const int64_t queued = int64_t(together) * kRoundTripBits * 1'000'000 / (bitrate != 0 ? bitrate : 1'000'000);
    return std::min(answer, int64_t(sdoTimeoutMs) * 1000) + queued;
}

// Times in µs, 0 for never.
constexpr bool due(bool heardOf, int64_t probedAt, int64_t resetSentAt, int64_t now)
{
    if (heardOf)
        return false;
    if (resetSentAt != 0 && now - resetSentAt >= kBootUpGraceMicros)
        return false;
    return probedAt == 0 || now - probedAt >= kReprobeMicros;
}

} // namespace qelcopn::nodeprobe
