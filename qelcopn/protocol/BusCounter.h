// The bus as a whole, free of I/O: every frame received and sent goes in
// with its time, figures come out. Fed by one thread, read by any.
#pragma once

#include "protocol/CanFrame.h"

#include <cstdint>
#include <mutex>

namespace qelcopn {

class BusCounter {
public:
    // Numbering as the library's export gives it.
    enum class State : uint32_t { ErrorActive = 0, Warning = 1, Passive = 2, BusOff = 3 };
    // Rates and load are taken over this window, in slices of kSliceMicros:
    // the slice in progress does not count yet.
    static constexpr int64_t kWindowMicros = 1'000'000;
    static constexpr int64_t kSliceMicros = 10'000;

    struct Figures {
        State state = State::ErrorActive;
        uint32_t receivedPerSecond = 0;
        uint32_t sentPerSecond = 0;
        uint32_t loadPermille = 0; // 0 when the bit rate is not known
        uint64_t received = 0;
        uint64_t sent = 0;
        uint64_t errorFrames = 0;
        uint32_t lastErrorClass = 0; // CAN_ERR_* class bits
        int64_t silentMicros = -1;   // since the last frame received, -1 before any
    };

    // An error frame (frame.error) is counted and decoded, not a frame on the bus.
    void onReceived(const CanFrame &frame, int64_t micros);
    void onSent(const CanFrame &frame, int64_t micros);
    // From the device where it reports its state itself.
    void setState(State state);
    Figures figures(int64_t nowMicros, uint32_t bitsPerSecond) const;

    // A frame of n data bytes on the bus, as the load counts it.
    static constexpr uint32_t frameBits(uint8_t length) { return 47 + 8 * uint32_t(length > 8 ? 8 : length); }

private:
    static constexpr int kSlices = int(kWindowMicros / kSliceMicros);
    // The window's whole slices and the one in progress.
    static constexpr int kSlots = kSlices + 1;
    struct Slice {
        int64_t number = -1;
        uint32_t received = 0;
        uint32_t sent = 0;
        uint64_t bits = 0;
    };
    Slice *sliceAt(int64_t micros);
    void addToWindow(int64_t micros, bool received, uint8_t length);
    void onError(const CanFrame &frame);

    mutable std::mutex mutex_;
    Slice slices_[kSlots];
    State state_ = State::ErrorActive;
    uint64_t received_ = 0;
    uint64_t sent_ = 0;
    uint64_t errorFrames_ = 0;
    uint32_t lastErrorClass_ = 0;
    int64_t lastReceived_ = -1;
};

} // namespace qelcopn
