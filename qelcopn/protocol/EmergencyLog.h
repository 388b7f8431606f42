// Every EMCY frame the master heard, from any node, for whoever shows the
// whole network: a bounded ring of the newest, each with a sequence number
// that counts from the interface's opening, so a reader that takes them by
// number can tell what it missed. Written by the receiving thread, read by
// any thread; separate from the EMCY queue that CheckEmergency empties, so
// the monitor and a network view never take each other's frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qelcopn {

struct EmergencyEntry {
    uint64_t sequence = 0; // from 1
    int64_t rxMicros = 0;
    uint8_t node = 0;
    uint8_t length = 0;
    uint8_t data[8] = {};
};

class EmergencyLog {
public:
    // 450 ms of a full 1 Mbit/s bus of nothing but emergencies: a reader
    // polling every 100 ms misses none.
    static constexpr size_t kCapacity = 4096;

    explicit EmergencyLog(size_t capacity = kCapacity) : ring_(capacity > 0 ? capacity : 1) {}

    void push(uint8_t node, const uint8_t *data, uint8_t length, int64_t rxMicros);
    // Copies entries from sequence number `from` on (an older number starts
    // at the oldest kept, a number past the newest at the next to come), at
    // most `capacity`; `next` becomes the number to ask for next time.
    // Returns how many it copied.
    size_t read(uint64_t from, EmergencyEntry *out, size_t capacity, uint64_t *next) const;
    uint64_t lastSequence() const;

private:
    mutable std::mutex mutex_;
    std::vector<EmergencyEntry> ring_;
    uint64_t last_ = 0; // sequence number of the newest entry, 0 = none yet
};

} // namespace qelcopn
