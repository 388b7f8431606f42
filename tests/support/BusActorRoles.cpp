#include "BusActorRoles.h"

#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"
#include "GatewayObjects.h"

#include <cstdio>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::readLe16;
using qelcopn::readLe32;

using namespace cia301;

namespace {

constexpr uint16_t FAULT_COUNT = 400;

uint32_t objectKey(uint16_t index, uint8_t sub) { return uint32_t(index) << 8 | sub; }
uint16_t indexOf(const CanFrame &f) { return readLe16(f.data + 1); }

std::vector<uint8_t> le32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

CanFrame emergency(uint8_t node, uint16_t code, uint8_t kind, uint16_t fault = 0, uint16_t state = 0)
{
    CanFrame f;
    f.id = COB_EMCY + node;
    f.length = 8;
    const uint8_t bytes[8] = {uint8_t(code), uint8_t(code >> 8), 0, kind,
                              uint8_t(fault), uint8_t(fault >> 8), uint8_t(state), uint8_t(state >> 8)};
    std::copy(bytes, bytes + 8, f.data);
    return f;
}

} // namespace

// ---- ScriptedGateway ----

ScriptedGateway::ScriptedGateway(uint8_t node, std::vector<BadAnswer> answers, NoteLine note, int quietStarts)
    : note_(std::move(note))
    , peer_(node, note_)
    , quietStarts_(quietStarts)
{
    peer_.setObject(0x1000, 0, le32(0));
    peer_.setObject(0x1001, 0, {0});
    const std::string name = "Scripted gateway";
    peer_.setObject(0x1008, 0, std::vector<uint8_t>(name.begin(), name.end()));
    peer_.setObject(0x1018, 0, {4});
    peer_.setObject(0x1018, 1, le32(GATEWAY_VENDOR_ID));
    peer_.setObject(0x1018, 2, le32(PRODUCT_CODE_MTU_GATEWAY));
    peer_.setObject(0x1018, 3, le32(0x00010000));
    peer_.setObject(0x1018, 4, le32(node));
    // The monitor's own objects: MTU online, fault bitmap, event timer.
    peer_.script(GATEWAY_INDEX_MTU_ONLINE, 0, answers);
    peer_.script(GATEWAY_INDEX_FAULT_BITMAP, 0, answers);
    peer_.script(GATEWAY_INDEX_TPDO4_COMMUNICATION, GATEWAY_SUB_EVENT_TIMER, answers);
}

void ScriptedGateway::handle(const CanFrame &f, const SendFrame &send)
{
    switch (peer_.handle(f, send)) {
    case ScriptedPeer::Action::Start:
        note_("nmt start");
        if (quietStarts_ > 0)
            --quietStarts_;
        else
            reportState(send);
        break;
    case ScriptedPeer::Action::ResetNode:
    case ScriptedPeer::Action::ResetCommunication:
        note_("nmt reset");
        break;
    default:
        break;
    }
}

void ScriptedGateway::reportState(const SendFrame &send) const
{
    send(emergency(peer_.node(), GATEWAY_EMCY_MTU_ONLINE, GATEWAY_EMCY_KIND_STATE));
    for (const auto &fault : kFaultsReported)
        send(emergency(peer_.node(), GATEWAY_EMCY_MTU_OFFLINE, GATEWAY_EMCY_KIND_FAULT, fault[0], fault[1]));
}

// ---- EmcyFlood ----

EmcyFlood::EmcyFlood(uint8_t sparedNode)
    : spared_(sparedNode)
{
}

CanFrame EmcyFlood::next()
{
    do
        sender_ = uint8_t(sender_ % NODE_ID_MAX + 1);
    while (sender_ == spared_);
    const uint16_t fault = uint16_t((count_ / 4) % FAULT_COUNT + 1);
    const uint64_t kind = count_++ % 4;
    switch (kind) {
    case 0:
        return emergency(sender_, GATEWAY_EMCY_MTU_OFFLINE, GATEWAY_EMCY_KIND_STATE);
    case 1:
        return emergency(sender_, GATEWAY_EMCY_MTU_ONLINE, GATEWAY_EMCY_KIND_STATE);
    case 2:
        return emergency(sender_, GATEWAY_EMCY_MTU_OFFLINE, GATEWAY_EMCY_KIND_FAULT, fault, 1);
    default:
        return emergency(sender_, GATEWAY_EMCY_MTU_ONLINE, GATEWAY_EMCY_KIND_FAULT, fault, 0);
    }
}

// ---- BusTap ----

BusTap::BusTap(uint8_t node)
    : node_(node)
{
}

bool BusTap::handle(const CanFrame &f)
{
    if (f.remote)
        return false;
    if (f.id == COB_SDO_RX + node_ && f.length == 8 && sdo::commandOf(f.data[0]) == sdo::CCS_INITIATE_DOWNLOAD &&
        indexOf(f) == GATEWAY_INDEX_TPDO4_COMMUNICATION && f.data[3] == GATEWAY_SUB_EVENT_TIMER) {
        written_ = true;
        return false;
    }
    if (f.id == tpdoCobId(3, node_) && f.length == 8) {
        ++pdos_;
        pdosAfterWrite_ += written_ ? 1 : 0;
        last_[objectKey(indexOf(f), f.data[3])] = readLe32(f.data + 4);
        return false;
    }
    if (f.id == COB_EMCY + node_) {
        ++emergencies_;
        return false;
    }
    return f.id == COB_HEARTBEAT + node_ && f.length >= 1 && f.data[0] == NMT_STATE_STOPPED && pdos_ > 0;
}

std::vector<std::string> BusTap::lastValues() const
{
    std::vector<std::string> lines;
    for (const auto &[key, value] : last_) {
        char line[64];
        std::snprintf(line, sizeof line, "last 0x%04x:%u 0x%08x", unsigned(key >> 8), unsigned(key & 0xFF),
                      unsigned(value));
        lines.push_back(line);
    }
    return lines;
}
