// The gateway's SDO server (CiA 301): expedited and segmented upload,
// expedited and segmented download, aborts in both directions. One transfer
// at a time, as the protocol has it; a new initiate replaces an unfinished
// one.
#pragma once

#include "GatewaySink.h"
#include "ObjectAccess.h"
#include "protocol/CanFrame.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace gatewaysim {

class SdoServer {
public:
    // A download longer than this is refused (out of memory): nothing the
    // gateway holds is anywhere near as long.
    static constexpr size_t MAX_DOWNLOAD = 1024;

    // How uploads go out. The gateway sends up to 4 bytes expedited and
    // announces the size of longer values; a client must also cope with
    // servers that do neither, and its tests need such a server.
    struct UploadStyle {
        bool expediteSmall = true;
        bool announceSize = true;
    };

    SdoServer(uint8_t node, ObjectAccess &objects, GatewaySink &sink);

    // One request frame (COB-ID 0x600 + node); the reply, if the request
    // calls for one.
    std::optional<qelcopn::CanFrame> handle(const qelcopn::CanFrame &request);
    // Forgets a transfer in progress (reset, stop).
    void reset();
    void setNode(uint8_t node) { node_ = node; }
    void setUploadStyle(UploadStyle style) { uploadStyle_ = style; }

private:
    enum class Transfer { None, Upload, Download };

    std::optional<qelcopn::CanFrame> initiateUpload(uint16_t index, uint8_t sub);
    std::optional<qelcopn::CanFrame> uploadSegment(const qelcopn::CanFrame &request);
    std::optional<qelcopn::CanFrame> initiateDownload(const qelcopn::CanFrame &request, uint16_t index, uint8_t sub);
    std::optional<qelcopn::CanFrame> downloadSegment(const qelcopn::CanFrame &request);
    // Writes the entry; 0 or the abort code. size: in the bytes at hand, out
    // the bytes the entry took.
    uint32_t commit(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated);
    qelcopn::CanFrame reply(uint8_t command, uint16_t index, uint8_t sub) const;
    qelcopn::CanFrame abort(uint16_t index, uint8_t sub, uint32_t code);

    uint8_t node_;
    ObjectAccess &objects_;
    GatewaySink &sink_;
    UploadStyle uploadStyle_;

    Transfer transfer_ = Transfer::None;
    uint16_t index_ = 0;
    uint8_t sub_ = 0;
    bool toggle_ = false;
    std::vector<uint8_t> data_;
    size_t offset_ = 0;
    std::optional<size_t> announcedSize_;
};

} // namespace gatewaysim
