#include "SdoServer.h"

#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"
#include "Text.h"

#include <algorithm>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::readLe16;
using qelcopn::readLe32;

namespace gatewaysim {

using namespace cia301::sdo;

namespace {

uint16_t indexOf(const CanFrame &frame) { return readLe16(frame.data + 1); }

// The value a client wrote, as the event line shows it.
std::string writtenValue(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 4)
        return format("(%zu bytes)", size);
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= uint32_t(data[i]) << (8 * i);
    return format("%u", value);
}

} // namespace

SdoServer::SdoServer(uint8_t node, ObjectAccess &objects, GatewaySink &sink)
    : node_(node)
    , objects_(objects)
    , sink_(sink)
{
}

void SdoServer::reset()
{
    transfer_ = Transfer::None;
    data_.clear();
    offset_ = 0;
    announcedSize_.reset();
}

std::optional<CanFrame> SdoServer::handle(const CanFrame &request)
{
    // Every SDO frame is 8 bytes long; anything else is not an SDO request
    // we could answer sensibly.
    if (request.remote || request.length != 8)
        return std::nullopt;
    const uint8_t command = commandOf(request.data[0]);
    switch (command) {
    case CCS_INITIATE_UPLOAD:
        return initiateUpload(indexOf(request), request.data[3]);
    case CCS_UPLOAD_SEGMENT:
        return uploadSegment(request);
    case CCS_INITIATE_DOWNLOAD:
        return initiateDownload(request, indexOf(request), request.data[3]);
    case CCS_DOWNLOAD_SEGMENT:
        return downloadSegment(request);
    case CS_ABORT:
        if (transfer_ != Transfer::None)
            sink_.note(format("sdo aborted by client %s 0x%08X", objectName(index_, sub_).c_str(),
                              readLe32(request.data + 4)));
        reset();
        return std::nullopt; // an abort is never answered
    default: // block transfers and the unassigned specifier
        reset();
        return abort(indexOf(request), request.data[3], ABORT_BAD_COMMAND);
    }
}

std::optional<CanFrame> SdoServer::initiateUpload(uint16_t index, uint8_t sub)
{
    reset();
    std::vector<uint8_t> value;
    if (const uint32_t code = objects_.read(index, sub, value))
        return abort(index, sub, code);
    if (uploadStyle_.expediteSmall && !value.empty() && value.size() <= 4) {
        CanFrame frame = reply(SCS_INITIATE_UPLOAD, index, sub);
        frame.data[0] |= uint8_t(FLAG_EXPEDITED | FLAG_SIZE | (4 - value.size()) << 2);
        std::copy(value.begin(), value.end(), frame.data + 4);
        return frame;
    }
    CanFrame frame = reply(SCS_INITIATE_UPLOAD, index, sub);
    if (uploadStyle_.announceSize) {
        frame.data[0] |= FLAG_SIZE;
        const auto size = uint32_t(value.size());
        for (int i = 0; i < 4; ++i)
            frame.data[4 + i] = uint8_t(size >> (8 * i));
    }
    transfer_ = Transfer::Upload;
    index_ = index;
    sub_ = sub;
    toggle_ = false;
    data_ = std::move(value);
    offset_ = 0;
    return frame;
}

std::optional<CanFrame> SdoServer::uploadSegment(const CanFrame &request)
{
    if (transfer_ != Transfer::Upload) {
        const uint16_t index = transfer_ == Transfer::None ? 0 : index_;
        const uint8_t sub = transfer_ == Transfer::None ? 0 : sub_;
        reset();
        return abort(index, sub, ABORT_BAD_COMMAND);
    }
    const bool toggle = (request.data[0] & FLAG_TOGGLE) != 0;
    if (toggle != toggle_) {
        const uint16_t index = index_;
        const uint8_t sub = sub_;
        reset();
        return abort(index, sub, ABORT_TOGGLE);
    }
    const size_t count = std::min<size_t>(7, data_.size() - offset_);
    const bool last = offset_ + count == data_.size();
    CanFrame frame;
    frame.id = cia301::COB_SDO_TX + node_;
    frame.length = 8;
    frame.data[0] = uint8_t(SCS_UPLOAD_SEGMENT << 5 | (toggle ? FLAG_TOGGLE : 0) | (7 - count) << 1 |
                            (last ? FLAG_LAST : 0));
    std::copy_n(data_.begin() + ptrdiff_t(offset_), count, frame.data + 1); // an empty value's data() may be null
    offset_ += count;
    toggle_ = !toggle_;
    if (last)
        reset();
    return frame;
}

std::optional<CanFrame> SdoServer::initiateDownload(const CanFrame &request, uint16_t index, uint8_t sub)
{
    reset();
    const uint8_t flags = request.data[0];
    const bool sizeIndicated = (flags & FLAG_SIZE) != 0;
    if (flags & FLAG_EXPEDITED) {
        size_t size = sizeIndicated ? 4 - ((flags >> 2) & 3) : 4;
        if (const uint32_t code = commit(index, sub, request.data + 4, size, sizeIndicated))
            return abort(index, sub, code);
        return reply(SCS_INITIATE_DOWNLOAD, index, sub);
    }
    if (const uint32_t code = objects_.probeWrite(index, sub))
        return abort(index, sub, code);
    if (sizeIndicated) {
        announcedSize_ = readLe32(request.data + 4);
        if (*announcedSize_ > MAX_DOWNLOAD) {
            reset();
            return abort(index, sub, ABORT_OUT_OF_MEMORY);
        }
    }
    transfer_ = Transfer::Download;
    index_ = index;
    sub_ = sub;
    toggle_ = false;
    return reply(SCS_INITIATE_DOWNLOAD, index, sub);
}

std::optional<CanFrame> SdoServer::downloadSegment(const CanFrame &request)
{
    if (transfer_ != Transfer::Download) {
        const uint16_t index = transfer_ == Transfer::None ? 0 : index_;
        const uint8_t sub = transfer_ == Transfer::None ? 0 : sub_;
        reset();
        return abort(index, sub, ABORT_BAD_COMMAND);
    }
    const uint16_t index = index_;
    const uint8_t sub = sub_;
    const uint8_t flags = request.data[0];
    const bool toggle = (flags & FLAG_TOGGLE) != 0;
    if (toggle != toggle_) {
        reset();
        return abort(index, sub, ABORT_TOGGLE);
    }
    const size_t count = 7 - ((flags >> 1) & 7);
    if (data_.size() + count > MAX_DOWNLOAD) {
        reset();
        return abort(index, sub, ABORT_OUT_OF_MEMORY);
    }
    data_.insert(data_.end(), request.data + 1, request.data + 1 + count);
    toggle_ = !toggle_;
    CanFrame confirm = reply(SCS_DOWNLOAD_SEGMENT, 0, 0);
    confirm.data[0] |= toggle ? FLAG_TOGGLE : 0;
    if (!(flags & FLAG_LAST))
        return confirm;
    const std::optional<size_t> announced = announcedSize_;
    const std::vector<uint8_t> data = std::move(data_);
    reset();
    if (announced && *announced != data.size())
        return abort(index, sub, ABORT_TYPE_MISMATCH);
    size_t size = data.size();
    if (const uint32_t code = commit(index, sub, data.data(), size, true))
        return abort(index, sub, code);
    return confirm;
}

uint32_t SdoServer::commit(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated)
{
    if (const uint32_t code = objects_.write(index, sub, data, size, sizeIndicated))
        return code;
    sink_.note(format("sdo write %s = %s", objectName(index, sub).c_str(), writtenValue(data, size).c_str()));
    return 0;
}

CanFrame SdoServer::reply(uint8_t command, uint16_t index, uint8_t sub) const
{
    CanFrame frame;
    frame.id = cia301::COB_SDO_TX + node_;
    frame.length = 8;
    frame.data[0] = uint8_t(command << 5);
    frame.data[1] = uint8_t(index);
    frame.data[2] = uint8_t(index >> 8);
    frame.data[3] = sub;
    return frame;
}

CanFrame SdoServer::abort(uint16_t index, uint8_t sub, uint32_t code)
{
    sink_.note(format("sdo abort %s 0x%08X", objectName(index, sub).c_str(), code));
    CanFrame frame = reply(CS_ABORT, index, sub);
    for (int i = 0; i < 4; ++i)
        frame.data[4 + i] = uint8_t(code >> (8 * i));
    return frame;
}

} // namespace gatewaysim
