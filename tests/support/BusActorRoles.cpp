#include "BusActorRoles.h"

#include "protocol/Cia301.h"
#include "GatewayObjects.h"

#include <cstdio>
#include <sstream>

using namespace cia301;

namespace {

constexpr uint16_t FAULT_COUNT = 400;

struct NamedAnswer {
    BadAnswer answer;
    const char *name;
};
constexpr NamedAnswer ANSWER_NAMES[] = {
    {BadAnswer::Abort, "abort"},     {BadAnswer::WrongIndex, "wrong-index"}, {BadAnswer::Short, "short"},
    {BadAnswer::Garbage, "garbage"}, {BadAnswer::Endless, "endless"},        {BadAnswer::Silent, "silent"},
};

uint32_t objectKey(uint16_t index, uint8_t sub) { return uint32_t(index) << 8 | sub; }
uint16_t indexOf(const CanFrame &f) { return uint16_t(f.data[1] | f.data[2] << 8); }

std::vector<uint8_t> le32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

bool isMonitoredObject(uint16_t index, uint8_t sub)
{
    return (index == GATEWAY_INDEX_MTU_ONLINE && sub == 0) || (index == GATEWAY_INDEX_FAULT_BITMAP && sub == 0) ||
           (index == GATEWAY_INDEX_TPDO4_COMMUNICATION && sub == GATEWAY_SUB_EVENT_TIMER);
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

std::optional<BadAnswer> badAnswerByName(const std::string &name)
{
    for (const NamedAnswer &entry : ANSWER_NAMES)
        if (name == entry.name)
            return entry.answer;
    return std::nullopt;
}

const char *nameOf(BadAnswer answer)
{
    for (const NamedAnswer &entry : ANSWER_NAMES)
        if (entry.answer == answer)
            return entry.name;
    return "?";
}

std::vector<BadAnswer> badAnswersFrom(const std::string &list)
{
    std::vector<BadAnswer> answers;
    std::istringstream in(list);
    for (std::string name; std::getline(in, name, ',');) {
        const std::optional<BadAnswer> answer = badAnswerByName(name);
        if (!answer)
            return {};
        answers.push_back(*answer);
    }
    return answers;
}

// ---- ScriptedGateway ----

ScriptedGateway::ScriptedGateway(uint8_t node, std::vector<BadAnswer> answers, int quietStarts)
    : node_(node)
    , answers_(std::move(answers))
    , server_(node)
    , state_(NMT_STATE_PRE_OPERATIONAL)
    , quietStarts_(quietStarts)
{
    server_.setObject(0x1000, 0, le32(0));
    server_.setObject(0x1001, 0, {0});
    const std::string name = "Scripted gateway";
    server_.setObject(0x1008, 0, std::vector<uint8_t>(name.begin(), name.end()));
    server_.setObject(0x1018, 0, {4});
    server_.setObject(0x1018, 1, le32(GATEWAY_VENDOR_ID));
    server_.setObject(0x1018, 2, le32(PRODUCT_CODE_MTU_GATEWAY));
    server_.setObject(0x1018, 3, le32(0x00010000));
    server_.setObject(0x1018, 4, le32(node));
}

CanFrame ScriptedGateway::reply(std::initializer_list<uint8_t> bytes) const
{
    CanFrame f;
    f.id = COB_SDO_TX + node_;
    f.length = 8;
    int i = 0;
    for (uint8_t b : bytes)
        f.data[i++] = b;
    return f;
}

CanFrame ScriptedGateway::heartbeat() const
{
    CanFrame f;
    f.id = COB_HEARTBEAT + node_;
    f.length = 1;
    f.data[0] = state_;
    return f;
}

CanFrame ScriptedGateway::bootUp() const
{
    CanFrame f;
    f.id = COB_HEARTBEAT + node_;
    f.length = 1;
    return f;
}

void ScriptedGateway::handle(const CanFrame &f, const SendFrame &send, const NoteLine &note)
{
    if (f.id == COB_NMT && f.length == 2 && (f.data[1] == 0 || f.data[1] == node_)) {
        if (f.data[0] == NMT_START_REMOTE_NODE) {
            state_ = NMT_STATE_OPERATIONAL;
            note("nmt start");
            if (quietStarts_ > 0)
                --quietStarts_;
            else
                reportState(send);
        } else if (f.data[0] == NMT_RESET_COMMUNICATION || f.data[0] == NMT_RESET_NODE) {
            state_ = NMT_STATE_PRE_OPERATIONAL;
            endless_ = false;
            note("nmt reset");
        }
        server_.handle(f, send); // the boot-up
        return;
    }
    if (f.id != COB_SDO_RX + node_ || f.length != 8) {
        server_.handle(f, send);
        return;
    }
    const uint8_t command = sdo::commandOf(f.data[0]);
    const bool initiate = command == sdo::CCS_INITIATE_UPLOAD || command == sdo::CCS_INITIATE_DOWNLOAD;
    if (initiate && isMonitoredObject(indexOf(f), f.data[3])) {
        answerBadly(f, send, note);
        return;
    }
    if (command == sdo::CCS_UPLOAD_SEGMENT && endless_) {
        // Seven more bytes, never the last: the client must give up by itself.
        send(reply({uint8_t(f.data[0] & sdo::FLAG_TOGGLE), 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5}));
        return;
    }
    if (command == sdo::CS_ABORT && endless_) {
        endless_ = false;
        char line[48];
        std::snprintf(line, sizeof line, "client aborted 0x%08x",
                      unsigned(f.data[4] | f.data[5] << 8 | f.data[6] << 16 | unsigned(f.data[7]) << 24));
        note(line);
        return;
    }
    endless_ = false;
    server_.handle(f, send);
}

void ScriptedGateway::answerBadly(const CanFrame &f, const SendFrame &send, const NoteLine &note)
{
    const uint16_t index = indexOf(f);
    const uint8_t sub = f.data[3];
    const bool upload = sdo::commandOf(f.data[0]) == sdo::CCS_INITIATE_UPLOAD;
    const BadAnswer answer = answers_[requests_[objectKey(index, sub)]++ % answers_.size()];
    const uint8_t lo = uint8_t(index), hi = uint8_t(index >> 8);
    const uint32_t general = sdo::ABORT_GENERAL;
    endless_ = false;
    switch (answer) {
    case BadAnswer::Abort:
        send(reply({0x80, lo, hi, sub, uint8_t(general), uint8_t(general >> 8), uint8_t(general >> 16),
                    uint8_t(general >> 24)}));
        break;
    case BadAnswer::WrongIndex: {
        const uint16_t other = uint16_t(index + 1);
        send(upload ? reply({0x4F, uint8_t(other), uint8_t(other >> 8), sub, 0x01})
                    : reply({0x60, uint8_t(other), uint8_t(other >> 8), sub}));
        break;
    }
    case BadAnswer::Short: {
        CanFrame r = reply({upload ? uint8_t(0x4F) : uint8_t(0x60), lo, hi});
        r.length = 3;
        send(r);
        break;
    }
    case BadAnswer::Garbage:
        send(reply({0xFF, 0x13, 0x37, 0xC0, 0xDE, 0xBA, 0xDC, 0x0D}));
        break;
    case BadAnswer::Endless:
        // A segmented upload without a size; to a write, an upload's reply.
        send(reply({0x40, lo, hi, sub}));
        endless_ = upload;
        break;
    case BadAnswer::Silent:
        break;
    }
    char line[64];
    std::snprintf(line, sizeof line, "answered 0x%04x:%u %s", unsigned(index), unsigned(sub), nameOf(answer));
    note(line);
}

void ScriptedGateway::reportState(const SendFrame &send) const
{
    send(emergency(node_, GATEWAY_EMCY_MTU_ONLINE, GATEWAY_EMCY_KIND_STATE));
    for (const auto &fault : kFaultsReported)
        send(emergency(node_, GATEWAY_EMCY_MTU_OFFLINE, GATEWAY_EMCY_KIND_FAULT, fault[0], fault[1]));
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
        last_[objectKey(indexOf(f), f.data[3])] =
            uint32_t(f.data[4]) | uint32_t(f.data[5]) << 8 | uint32_t(f.data[6]) << 16 | uint32_t(f.data[7]) << 24;
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
