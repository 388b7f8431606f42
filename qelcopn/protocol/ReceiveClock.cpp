#include "protocol/ReceiveClock.h"

#include <algorithm>

namespace qelcopn {

void ReceiveClock::beginBatch(int64_t newestStampMicros, int64_t readMicros)
{
    readMicros_ = readMicros;
    if (newestStampMicros == 0)
        return;
    const int64_t bound = readMicros - newestStampMicros;
    if (!haveOffset_ || bound < offset_ || bound - offset_ > kJumpMicros) {
        offset_ = bound;
        haveOffset_ = true;
    }
}

int64_t ReceiveClock::map(int64_t stampMicros)
{
    const int64_t mapped = stampMicros == 0 || !haveOffset_ ? readMicros_ : stampMicros + offset_;
    last_ = std::clamp(mapped, std::min(last_, readMicros_), readMicros_);
    return last_;
}

} // namespace qelcopn
