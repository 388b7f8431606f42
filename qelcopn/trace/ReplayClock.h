// When each frame of a replay is due, free of I/O: recorded wall-clock
// times in, monotonic times out. A frame recorded t after the first one is
// due t / speed after the pass started, so the gaps a receiver measures
// from these stamps are the recorded ones, however late a timer fires.
#pragma once

#include "QEL_COPN.h"

#include <algorithm>
#include <cstdint>

namespace qelcopn::trace {

class ReplayClock {
public:
    // speed: the stored replay speed; 0 plays at the recorded pace, and
    // QELCOPN_REPLAY_FASTEST as fast as possible (each frame due at once,
    // stamped when it is handed on: the recorded gaps are not kept then).
    explicit ReplayClock(uint32_t speed)
        : speed_(speed == 0 ? 1 : speed)
    {
    }

    bool asFastAsPossible() const { return speed_ == QELCOPN_REPLAY_FASTEST; }

    // A pass begins: its first frame is due at nowMicros.
    void start(int64_t nowMicros)
    {
        startMicros_ = nowMicros;
        lastDue_ = nowMicros;
        started_ = false;
    }

    // When the frame recorded at recordedMicros (wall clock) is due.
    int64_t due(int64_t recordedMicros, int64_t nowMicros)
    {
        if (asFastAsPossible())
            return lastDue_ = std::max(lastDue_, nowMicros);
        if (!started_ || recordedMicros < lastRecorded_) {
            // A clock set back during the recording: play on from here
            // rather than send the rest at once.
            firstRecorded_ = recordedMicros;
            startMicros_ = lastDue_;
            started_ = true;
        }
        lastRecorded_ = recordedMicros;
        lastDue_ = startMicros_ + (recordedMicros - firstRecorded_) / int64_t(speed_);
        return lastDue_;
    }

private:
    uint32_t speed_;
    bool started_ = false;
    int64_t startMicros_ = 0;
    int64_t firstRecorded_ = 0;
    int64_t lastRecorded_ = 0;
    int64_t lastDue_ = 0;
};

} // namespace qelcopn::trace
