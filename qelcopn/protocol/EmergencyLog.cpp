#include "protocol/EmergencyLog.h"

#include <algorithm>
#include <cstring>

namespace qelcopn {

void EmergencyLog::push(uint8_t node, const uint8_t *data, uint8_t length, int64_t rxMicros)
{
    EmergencyEntry entry;
    entry.node = node;
    entry.length = std::min<uint8_t>(length, 8);
    std::memcpy(entry.data, data, entry.length);
    entry.rxMicros = rxMicros;
    std::lock_guard lock(mutex_);
    entry.sequence = ++last_;
    ring_[size_t(entry.sequence % ring_.size())] = entry;
}

size_t EmergencyLog::read(uint64_t from, EmergencyEntry *out, size_t capacity, uint64_t *next) const
{
    std::lock_guard lock(mutex_);
    const uint64_t oldest = last_ >= ring_.size() ? last_ - ring_.size() + 1 : 1;
    // A number past the newest is a reader of an earlier interface: it
    // goes on from what comes next here.
    uint64_t sequence = std::clamp(from, oldest, last_ + 1);
    size_t copied = 0;
    for (; sequence <= last_ && copied < capacity; ++sequence)
        out[copied++] = ring_[size_t(sequence % ring_.size())];
    if (next != nullptr)
        *next = sequence;
    return copied;
}

uint64_t EmergencyLog::lastSequence() const
{
    std::lock_guard lock(mutex_);
    return last_;
}

} // namespace qelcopn
