// The client side of one SDO transfer with one node, free of I/O: frames
// and time go in, the frame to send and the outcome come out. The caller
// keeps one transfer per node at a time (the COB-IDs are per node).
#pragma once

#include "protocol/CanFrame.h"

#include <cstddef>
#include <cstdint>

namespace qelcopn {

class SdoClient {
public:
    enum class Status { Running, Done, Failed };
    struct Step {
        Status status = Status::Running;
        bool send = false;  // frame is to go out
        CanFrame frame;
    };

    // Upload into [buffer, buffer + capacity): never a byte past it. More
    // data than that aborts the transfer.
    Step startUpload(uint8_t node, uint16_t index, uint8_t sub, uint8_t *buffer, size_t capacity,
                     int64_t nowMicros, int64_t timeoutMicros);
    // Expedited download of 1 to 4 bytes.
    Step startDownload(uint8_t node, uint16_t index, uint8_t sub, const uint8_t *data, size_t length,
                       int64_t nowMicros, int64_t timeoutMicros);

    // A frame from the node's SDO server (COB-ID 0x580 + node).
    Step onFrame(const CanFrame &frame, int64_t nowMicros);
    // When the server has been silent for the time-out, the transfer is
    // aborted (the abort frame is to go out) and fails.
    Step onTime(int64_t nowMicros);
    // Ends a running transfer without a frame (the bus went away).
    void cancel(uint32_t reason);

    bool running() const { return status_ == Status::Running && active_; }
    int64_t deadline() const { return deadline_; }
    // After Done: the bytes received (upload).
    size_t length() const { return received_; }
    // After Failed: the abort code, the server's or our own.
    uint32_t abortCode() const { return abortCode_; }

private:
    Step request(uint8_t command, const uint8_t *payload, size_t length);
    Step abort(uint32_t code);
    Step finish(Status status, uint32_t abortCode = 0);
    Step onInitiateUpload(const CanFrame &frame);
    Step onUploadSegment(const CanFrame &frame);
    bool sameObject(const CanFrame &frame) const;

    bool active_ = false;
    bool upload_ = true;
    Status status_ = Status::Done;
    uint8_t node_ = 0;
    uint16_t index_ = 0;
    uint8_t sub_ = 0;
    uint8_t *buffer_ = nullptr;
    size_t capacity_ = 0;
    size_t received_ = 0;
    size_t indicatedSize_ = 0;
    bool sizeIndicated_ = false;
    bool segmenting_ = false;
    uint8_t toggle_ = 0;
    int64_t timeout_ = 0;
    int64_t deadline_ = 0;
    uint32_t abortCode_ = 0;
};

} // namespace qelcopn
