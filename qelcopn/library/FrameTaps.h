// What watches the bus as a whole rather than one node: every frame the
// interface receives and every frame it sends passes here, in the I/O
// thread, stamped when it was received or sent. Taps must be quick and
// never block: they run on the path of every frame.
#pragma once

#include "BusCounter.h"
#include "CanFrame.h"
#include "Recorder.h"

#include <cstdint>

class FrameTaps {
public:
    void onReceived(const CanFrame &frame, int64_t micros)
    {
        bus.onReceived(frame, micros);
        if (recorder_)
            recorder_->add(frame, micros, false);
    }
    void onSent(const CanFrame &frame, int64_t micros)
    {
        bus.onSent(frame, micros);
        if (recorder_)
            recorder_->add(frame, micros, true);
    }

    // The recording being written, nullptr when none; set in the I/O thread.
    void setRecorder(trace::Recorder *recorder) { recorder_ = recorder; }

    BusCounter bus;

private:
    trace::Recorder *recorder_ = nullptr;
};
