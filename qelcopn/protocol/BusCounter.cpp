#include "protocol/BusCounter.h"

namespace qelcopn {

namespace {

// SocketCAN's error classes (linux/can/error.h), as the frame's id carries them.
constexpr uint32_t kErrorController = 0x004;
constexpr uint32_t kErrorBusOff = 0x040;
constexpr uint32_t kErrorRestarted = 0x100;
// Byte 1 of a controller error.
constexpr uint8_t kControllerWarning = 0x04 | 0x08; // receive, transmit
constexpr uint8_t kControllerPassive = 0x10 | 0x20;
constexpr uint8_t kControllerActive = 0x40;

int64_t sliceNumber(int64_t micros)
{
    return micros >= 0 ? micros / BusCounter::kSliceMicros : -1 - (-1 - micros) / BusCounter::kSliceMicros;
}

} // namespace

BusCounter::Slice *BusCounter::sliceAt(int64_t micros)
{
    const int64_t number = sliceNumber(micros);
    Slice &slice = slices_[((number % kSlots) + kSlots) % kSlots];
    // A stamp older than the window (stamps of a batch against those of a
    // send) must not wipe a newer slice.
    if (slice.number > number)
        return nullptr;
    if (slice.number != number)
        slice = Slice{number};
    return &slice;
}

void BusCounter::addToWindow(int64_t micros, bool received, uint8_t length)
{
    Slice *slice = sliceAt(micros);
    if (slice == nullptr)
        return;
    ++(received ? slice->received : slice->sent);
    slice->bits += frameBits(length);
}

void BusCounter::onReceived(const CanFrame &frame, int64_t micros)
{
    std::lock_guard lock(mutex_);
    if (frame.error) {
        onError(frame);
        return;
    }
    ++received_;
    lastReceived_ = micros;
    addToWindow(micros, true, frame.length);
}

void BusCounter::onSent(const CanFrame &frame, int64_t micros)
{
    std::lock_guard lock(mutex_);
    ++sent_;
    addToWindow(micros, false, frame.length);
}

void BusCounter::onError(const CanFrame &frame)
{
    ++errorFrames_;
    lastErrorClass_ = frame.id;
    if (frame.id & kErrorBusOff) {
        state_ = State::BusOff;
    } else if (frame.id & kErrorRestarted) {
        state_ = State::ErrorActive;
    } else if (frame.id & kErrorController) {
        const uint8_t detail = frame.data[1];
        if (detail & kControllerPassive)
            state_ = State::Passive;
        else if (detail & kControllerWarning)
            state_ = State::Warning;
        else if (detail & kControllerActive)
            state_ = State::ErrorActive;
    }
}

void BusCounter::setState(State state)
{
    std::lock_guard lock(mutex_);
    state_ = state;
}

BusCounter::Figures BusCounter::figures(int64_t nowMicros, uint32_t bitsPerSecond) const
{
    std::lock_guard lock(mutex_);
    Figures f;
    f.state = state_;
    f.received = received_;
    f.sent = sent_;
    f.errorFrames = errorFrames_;
    f.lastErrorClass = lastErrorClass_;
    f.silentMicros = lastReceived_ < 0 ? -1 : nowMicros - lastReceived_;
    // The window: the kSlices whole slices before the one in progress.
    const int64_t current = sliceNumber(nowMicros);
    uint64_t bits = 0;
    for (const Slice &slice : slices_) {
        if (slice.number < current - kSlices || slice.number >= current)
            continue;
        f.receivedPerSecond += slice.received;
        f.sentPerSecond += slice.sent;
        bits += slice.bits;
    }
    if (bitsPerSecond != 0)
        f.loadPermille = uint32_t(bits * 1000 * 1'000'000 / (uint64_t(bitsPerSecond) * kWindowMicros));
    return f;
}

} // namespace qelcopn
