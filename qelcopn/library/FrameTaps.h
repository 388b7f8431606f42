// What watches the bus as a whole rather than one node: every frame the
// interface receives and every frame it sends passes here, in the I/O
// thread, stamped when it was received or sent. Taps must be quick and
// never block: they run on the path of every frame.
#pragma once

#include "protocol/BusCounter.h"
#include "protocol/CanFrame.h"
#include "trace/BlackBox.h"
#include "trace/Recorder.h"

#include <cstdint>

namespace qelcopn {

class FrameTaps {
public:
    void onReceived(const CanFrame &frame, int64_t micros)
    {
        bus.onReceived(frame, micros);
        blackBox_->add(frame, micros, false);
        if (recorder_)
            recorder_->add(frame, micros, false);
    }
    void onSent(const CanFrame &frame, int64_t micros)
    {
        bus.onSent(frame, micros);
        blackBox_->add(frame, micros, true);
        if (recorder_)
            recorder_->add(frame, micros, true);
    }

    // The recording being written, nullptr when none; set in the I/O thread.
    void setRecorder(trace::Recorder *recorder) { recorder_ = recorder; }
    // The black box, never null; set in the I/O thread once frames flow.
    void setBlackBox(trace::BlackBox *box) { blackBox_ = box; }

    BusCounter bus;

private:
    trace::Recorder *recorder_ = nullptr;
    trace::BlackBox *blackBox_ = nullptr;
};

} // namespace qelcopn
