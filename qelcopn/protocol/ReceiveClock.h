// Maps an adapter's own receive stamps onto the monotonic clock, free of
// I/O: a batch of stamps and the time it was read in, monotonic times out.
// The offset between the two clocks is taken from the first batch and only
// ever tightened by later ones (a frame is read after it was stamped, so
// every batch bounds the offset from above); a batch read implausibly long
// after its newest stamp means the adapter's clock jumped or drifted, and
// the offset is taken afresh.
#pragma once

#include <cstdint>

namespace qelcopn {

class ReceiveClock {
public:
    // A batch whose newest frame seems older than this when read is taken
    // as a jump of the adapter's clock, not as a late read.
    static constexpr int64_t kJumpMicros = 250'000;

    // Before mapping a batch: its newest stamp (0 when none has one) and the
    // monotonic time it was read.
    void beginBatch(int64_t newestStampMicros, int64_t readMicros);
    // One frame's monotonic receive time. A zero stamp (the adapter gave
    // none) takes the batch's read time. Times never run backwards and
    // never pass the read time.
    int64_t map(int64_t stampMicros);

    void reset() { *this = ReceiveClock(); }

private:
    bool haveOffset_ = false;
    int64_t offset_ = 0; // monotonic minus stamp
    int64_t readMicros_ = 0;
    int64_t last_ = INT64_MIN;
};

} // namespace qelcopn
