#include "protocol/SdoClient.h"

#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"

#include <algorithm>
#include <cstring>

namespace qelcopn {

using namespace cia301;

SdoClient::Step SdoClient::startUpload(uint8_t node, uint16_t index, uint8_t sub, uint8_t *buffer, size_t capacity,
                                       int64_t nowMicros, int64_t timeoutMicros)
{
    active_ = true;
    upload_ = true;
    status_ = Status::Running;
    node_ = node;
    index_ = index;
    sub_ = sub;
    buffer_ = buffer;
    capacity_ = buffer != nullptr ? capacity : 0;
    received_ = 0;
    indicatedSize_ = 0;
    sizeIndicated_ = false;
    segmenting_ = false;
    toggle_ = 0;
    abortCode_ = 0;
    timeout_ = timeoutMicros;
    deadline_ = nowMicros + timeoutMicros;
    return request(uint8_t(sdo::CCS_INITIATE_UPLOAD << 5), nullptr, 0);
}

SdoClient::Step SdoClient::startDownload(uint8_t node, uint16_t index, uint8_t sub, const uint8_t *data,
                                         size_t length, int64_t nowMicros, int64_t timeoutMicros)
{
    active_ = true;
    upload_ = false;
    status_ = Status::Running;
    node_ = node;
    index_ = index;
    sub_ = sub;
    buffer_ = nullptr;
    capacity_ = 0;
    received_ = 0;
    abortCode_ = 0;
    timeout_ = timeoutMicros;
    deadline_ = nowMicros + timeoutMicros;
    if (data == nullptr || length < 1 || length > 4)
        return finish(Status::Failed, sdo::ABORT_GENERAL);
    const uint8_t command = uint8_t(sdo::CCS_INITIATE_DOWNLOAD << 5 | (4 - length) << 2 | sdo::FLAG_EXPEDITED
                                    | sdo::FLAG_SIZE);
    return request(command, data, length);
}

SdoClient::Step SdoClient::onFrame(const CanFrame &frame, int64_t nowMicros)
{
    if (!running() || frame.id != COB_SDO_TX + node_ || frame.remote)
        return {};
    // Not an SDO frame at all (some other sender's, or noise): the server
    // may still answer properly.
    if (frame.length < 8)
        return {};
    deadline_ = nowMicros + timeout_;
    const uint8_t scs = sdo::commandOf(frame.data[0]);
    if (scs == sdo::CS_ABORT)
        return finish(Status::Failed, readLe32(frame.data + 4));
    if (upload_) {
        if (!segmenting_ && scs == sdo::SCS_INITIATE_UPLOAD)
            return onInitiateUpload(frame);
        if (segmenting_ && scs == sdo::SCS_UPLOAD_SEGMENT)
            return onUploadSegment(frame);
        return abort(sdo::ABORT_BAD_COMMAND);
    }
    if (scs != sdo::SCS_INITIATE_DOWNLOAD)
        return abort(sdo::ABORT_BAD_COMMAND);
    if (!sameObject(frame))
        return abort(sdo::ABORT_GENERAL);
    return finish(Status::Done);
}

SdoClient::Step SdoClient::onTime(int64_t nowMicros)
{
    if (!running() || nowMicros < deadline_)
        return {};
    return abort(sdo::ABORT_TIMEOUT);
}

void SdoClient::cancel(uint32_t reason)
{
    if (running())
        finish(Status::Failed, reason);
}

SdoClient::Step SdoClient::onInitiateUpload(const CanFrame &frame)
{
    if (!sameObject(frame))
        return abort(sdo::ABORT_GENERAL);
    const uint8_t flags = frame.data[0];
    if (flags & sdo::FLAG_EXPEDITED) {
        const size_t size = (flags & sdo::FLAG_SIZE) ? 4 - ((flags >> 2) & 3) : 4;
        // The server thinks the transfer complete: nothing to abort, but the
        // caller's buffer is too small for it.
        if (size > capacity_)
            return finish(Status::Failed, sdo::ABORT_OUT_OF_MEMORY);
        std::memcpy(buffer_, frame.data + 4, size);
        received_ = size;
        return finish(Status::Done);
    }
    if (flags & sdo::FLAG_SIZE) {
        sizeIndicated_ = true;
        indicatedSize_ = readLe32(frame.data + 4);
        if (indicatedSize_ > capacity_)
            return abort(sdo::ABORT_OUT_OF_MEMORY);
    }
    toggle_ = 0;
    segmenting_ = true;
    return request(uint8_t(sdo::CCS_UPLOAD_SEGMENT << 5), nullptr, 0);
}

SdoClient::Step SdoClient::onUploadSegment(const CanFrame &frame)
{
    const uint8_t flags = frame.data[0];
    if ((flags & sdo::FLAG_TOGGLE) != toggle_)
        return abort(sdo::ABORT_TOGGLE);
    const size_t length = 7 - ((flags >> 1) & 7);
    if (sizeIndicated_ && length > indicatedSize_ - received_)
        return abort(sdo::ABORT_TOO_LONG);
    if (length > capacity_ - received_)
        return abort(sdo::ABORT_OUT_OF_MEMORY);
    if (length > 0) // buffer_ may be null when the capacity is 0
        std::memcpy(buffer_ + received_, frame.data + 1, length);
    received_ += length;
    if (flags & sdo::FLAG_LAST) {
        // The last segment came; a size announced before must have been met.
        // The server is told too, so that both ends agree the transfer failed.
        if (sizeIndicated_ && received_ != indicatedSize_)
            return abort(sdo::ABORT_TOO_SHORT);
        return finish(Status::Done);
    }
    toggle_ ^= sdo::FLAG_TOGGLE;
    return request(uint8_t(sdo::CCS_UPLOAD_SEGMENT << 5 | toggle_), nullptr, 0);
}

bool SdoClient::sameObject(const CanFrame &frame) const
{
    return frame.data[1] == uint8_t(index_) && frame.data[2] == uint8_t(index_ >> 8) && frame.data[3] == sub_;
}

SdoClient::Step SdoClient::request(uint8_t command, const uint8_t *payload, size_t length)
{
    Step step;
    step.send = true;
    step.frame.id = COB_SDO_RX + node_;
    step.frame.length = 8;
    step.frame.data[0] = command;
    if (sdo::commandOf(command) != sdo::CCS_UPLOAD_SEGMENT) {
        step.frame.data[1] = uint8_t(index_);
        step.frame.data[2] = uint8_t(index_ >> 8);
        step.frame.data[3] = sub_;
        if (payload != nullptr)
            std::memcpy(step.frame.data + 4, payload, std::min<size_t>(length, 4));
    }
    return step;
}

SdoClient::Step SdoClient::abort(uint32_t code)
{
    Step step = finish(Status::Failed, code);
    step.send = true;
    step.frame.id = COB_SDO_RX + node_;
    step.frame.length = 8;
    step.frame.data[0] = uint8_t(sdo::CS_ABORT << 5);
    step.frame.data[1] = uint8_t(index_);
    step.frame.data[2] = uint8_t(index_ >> 8);
    step.frame.data[3] = sub_;
    for (int i = 0; i < 4; ++i)
        step.frame.data[4 + i] = uint8_t(code >> (8 * i));
    return step;
}

SdoClient::Step SdoClient::finish(Status status, uint32_t abortCode)
{
    status_ = status;
    abortCode_ = abortCode;
    active_ = false;
    Step step;
    step.status = status;
    return step;
}

} // namespace qelcopn
