#include "TestNode.h"

#include "protocol/Cia301.h"

#include <algorithm>
#include <cstring>

using namespace cia301;

namespace {
uint32_t key(uint16_t index, uint8_t sub) { return uint32_t(index) << 8 | sub; }
uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
} // namespace

void TestNode::setObject(uint16_t index, uint8_t sub, std::vector<uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    objects_[key(index, sub)] = std::move(bytes);
}

std::vector<uint8_t> TestNode::object(uint16_t index, uint8_t sub)
{
    std::lock_guard lock(mutex_);
    const auto it = objects_.find(key(index, sub));
    return it != objects_.end() ? it->second : std::vector<uint8_t>{};
}

void TestNode::setSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

std::vector<uint32_t> TestNode::abortsReceived()
{
    std::lock_guard lock(mutex_);
    return aborts_;
}

CanFrame TestNode::reply(std::initializer_list<uint8_t> bytes) const
{
    CanFrame f;
    f.id = COB_SDO_TX + node_;
    f.length = 8;
    int i = 0;
    for (uint8_t b : bytes)
        f.data[i++] = b;
    return f;
}

void TestNode::handle(const CanFrame &f, const Send &send)
{
    std::lock_guard lock(mutex_);
    if (f.id == COB_NMT && f.length >= 2 && (f.data[1] == 0 || f.data[1] == node_)) {
        if (!silent_ && (f.data[0] == NMT_RESET_COMMUNICATION || f.data[0] == NMT_RESET_NODE)) {
            CanFrame bootUp;
            bootUp.id = COB_HEARTBEAT + node_;
            bootUp.length = 1;
            send(bootUp);
        }
        return;
    }
    if (f.id != COB_SDO_RX + node_ || f.length != 8)
        return;
    const uint8_t ccs = sdo::commandOf(f.data[0]);
    if (ccs == sdo::CS_ABORT) {
        aborts_.push_back(le32(f.data + 4));
        return;
    }
    if (silent_)
        return;
    if (ccs == sdo::CCS_INITIATE_UPLOAD)
        initiateUpload(f, send);
    else if (ccs == sdo::CCS_UPLOAD_SEGMENT)
        uploadSegment(f, send);
    else if (ccs == sdo::CCS_INITIATE_DOWNLOAD)
        download(f, send);
}

void TestNode::initiateUpload(const CanFrame &f, const Send &send)
{
    const auto it = objects_.find(key(uint16_t(f.data[1] | f.data[2] << 8), f.data[3]));
    if (it == objects_.end()) {
        const uint32_t code = sdo::ABORT_NO_OBJECT;
        send(reply({0x80, f.data[1], f.data[2], f.data[3], uint8_t(code), uint8_t(code >> 8), uint8_t(code >> 16),
                    uint8_t(code >> 24)}));
        return;
    }
    const std::vector<uint8_t> &bytes = it->second;
    const size_t n = bytes.size();
    if (n >= 1 && n <= 4) {
        CanFrame r = reply({uint8_t(0x43 | (4 - n) << 2), f.data[1], f.data[2], f.data[3]});
        std::memcpy(r.data + 4, bytes.data(), n);
        send(r);
        return;
    }
    uploading_ = bytes;
    offset_ = 0;
    send(reply({0x41, f.data[1], f.data[2], f.data[3], uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16),
                uint8_t(n >> 24)}));
}

void TestNode::uploadSegment(const CanFrame &f, const Send &send)
{
    const size_t n = std::min<size_t>(7, uploading_.size() - offset_);
    CanFrame r = reply({});
    if (n > 0)
        std::memcpy(r.data + 1, uploading_.data() + offset_, n);
    offset_ += n;
    r.data[0] = uint8_t((f.data[0] & sdo::FLAG_TOGGLE) | (7 - n) << 1
                        | (offset_ == uploading_.size() ? sdo::FLAG_LAST : 0));
    send(r);
}

void TestNode::download(const CanFrame &f, const Send &send)
{
    if (!(f.data[0] & sdo::FLAG_EXPEDITED))
        return;
    const size_t n = (f.data[0] & sdo::FLAG_SIZE) ? 4 - ((f.data[0] >> 2) & 3) : 4;
    objects_[key(uint16_t(f.data[1] | f.data[2] << 8), f.data[3])].assign(f.data + 4, f.data + 4 + n);
    send(reply({0x60, f.data[1], f.data[2], f.data[3]}));
}
