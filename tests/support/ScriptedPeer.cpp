#include "ScriptedPeer.h"

#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"
#include "Text.h"

#include <sstream>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::readLe16;
using qelcopn::readLe32;

using namespace cia301;
using gatewaysim::format;
using gatewaysim::objectName;

namespace {

struct NamedAnswer {
    BadAnswer answer;
    const char *name;
};
constexpr NamedAnswer ANSWER_NAMES[] = {
    {BadAnswer::Abort, "abort"},     {BadAnswer::WrongIndex, "wrong-index"}, {BadAnswer::Short, "short"},
    {BadAnswer::Garbage, "garbage"}, {BadAnswer::Endless, "endless"},        {BadAnswer::Silent, "silent"},
};

uint32_t keyOf(uint16_t index, uint8_t sub) { return uint32_t(index) << 8 | sub; }

} // namespace

CanFrame sdoFrame(uint32_t id, std::initializer_list<uint8_t> bytes)
{
    CanFrame f;
    f.id = id;
    f.length = 8;
    int i = 0;
    for (uint8_t b : bytes)
        f.data[i++] = b;
    return f;
}

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

// ---- ObjectTable ----

void ObjectTable::set(uint16_t index, uint8_t sub, std::vector<uint8_t> bytes)
{
    entries_[keyOf(index, sub)] = std::move(bytes);
}

std::vector<uint8_t> ObjectTable::get(uint16_t index, uint8_t sub) const
{
    const auto it = entries_.find(keyOf(index, sub));
    return it != entries_.end() ? it->second : std::vector<uint8_t>{};
}

uint32_t ObjectTable::read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value)
{
    const auto it = entries_.find(keyOf(index, sub));
    if (it == entries_.end())
        return sdo::ABORT_NO_OBJECT;
    value = it->second;
    return 0;
}

uint32_t ObjectTable::probeWrite(uint16_t, uint8_t) { return 0; }

uint32_t ObjectTable::write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated)
{
    std::vector<uint8_t> &entry = entries_[keyOf(index, sub)];
    // Without a size, a known entry keeps its length; a new one takes all.
    if (!sizeIndicated && !entry.empty() && entry.size() <= size)
        size = entry.size();
    entry.assign(data, data + size);
    writes_.push_back({index, sub, entry});
    return 0;
}

// ---- ScriptedPeer ----

ScriptedPeer::ScriptedPeer(uint8_t node, Note note)
    : node_(node)
    , note_(std::move(note))
    , server_(node, objects_, *this)
    , nmt_(node)
{
    nmt_.bootUp(); // a node on the bus has booted before the test begins
}

void ScriptedPeer::note(const std::string &line)
{
    if (note_)
        note_(line);
}

void ScriptedPeer::setObject(uint16_t index, uint8_t sub, std::vector<uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    objects_.set(index, sub, std::move(bytes));
}

std::vector<uint8_t> ScriptedPeer::object(uint16_t index, uint8_t sub)
{
    std::lock_guard lock(mutex_);
    return objects_.get(index, sub);
}

std::vector<ObjectTable::Write> ScriptedPeer::writes()
{
    std::lock_guard lock(mutex_);
    return objects_.writes();
}

void ScriptedPeer::setSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

std::vector<uint32_t> ScriptedPeer::abortsReceived()
{
    std::lock_guard lock(mutex_);
    return aborts_;
}

void ScriptedPeer::script(uint16_t index, uint8_t sub, std::vector<BadAnswer> answers)
{
    std::lock_guard lock(mutex_);
    scripts_[keyOf(index, sub)] = Script{std::move(answers)};
}

void ScriptedPeer::scriptAll(std::vector<BadAnswer> answers)
{
    std::lock_guard lock(mutex_);
    scriptAll_ = std::move(answers);
}

void ScriptedPeer::setUploadStyle(gatewaysim::SdoServer::UploadStyle style)
{
    std::lock_guard lock(mutex_);
    server_.setUploadStyle(style);
}

CanFrame ScriptedPeer::bootUp()
{
    std::lock_guard lock(mutex_);
    return nmt_.bootUp();
}

CanFrame ScriptedPeer::heartbeat()
{
    std::lock_guard lock(mutex_);
    return nmt_.heartbeat();
}

ScriptedPeer::Action ScriptedPeer::handle(const CanFrame &f, const Send &send)
{
    std::lock_guard lock(mutex_);
    if (f.id == COB_NMT) {
        const Action action = nmt_.command(f);
        if (action == Action::ResetNode || action == Action::ResetCommunication) {
            server_.reset();
            endless_ = false;
            const CanFrame bootUp = nmt_.bootUp();
            if (!silent_)
                send(bootUp);
        }
        return action;
    }
    if (f.id != COB_SDO_RX + node_ || f.remote || f.length != 8)
        return Action::None;
    const uint8_t command = sdo::commandOf(f.data[0]);
    if (command == sdo::CS_ABORT) {
        aborts_.push_back(readLe32(f.data + 4));
        if (endless_) {
            endless_ = false;
            note(format("client aborted 0x%08x", aborts_.back()));
        }
    } else if (silent_) {
        return Action::None;
    } else if (command == sdo::CCS_INITIATE_UPLOAD || command == sdo::CCS_INITIATE_DOWNLOAD) {
        if (const std::optional<BadAnswer> answer = nextBadAnswer(readLe16(f.data + 1), f.data[3])) {
            answerBadly(*answer, f, send);
            return Action::None;
        }
    } else if (command == sdo::CCS_UPLOAD_SEGMENT && endless_) {
        // Seven more bytes, never the last: the client must give up by itself.
        const uint8_t toggle = f.data[0] & sdo::FLAG_TOGGLE;
        send(sdoFrame(COB_SDO_TX + node_, {toggle, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5}));
        return Action::None;
    }
    endless_ = false;
    if (const std::optional<CanFrame> reply = server_.handle(f))
        send(*reply);
    return Action::None;
}

std::optional<BadAnswer> ScriptedPeer::nextBadAnswer(uint16_t index, uint8_t sub)
{
    auto it = scripts_.find(keyOf(index, sub));
    if (it == scripts_.end()) {
        if (scriptAll_.empty())
            return std::nullopt;
        it = scripts_.emplace(keyOf(index, sub), Script{scriptAll_}).first;
    }
    Script &script = it->second;
    if (script.answers.empty())
        return std::nullopt;
    return script.answers[script.requests++ % script.answers.size()];
}

void ScriptedPeer::answerBadly(BadAnswer answer, const CanFrame &f, const Send &send)
{
    const uint16_t index = readLe16(f.data + 1);
    const uint8_t sub = f.data[3];
    const bool upload = sdo::commandOf(f.data[0]) == sdo::CCS_INITIATE_UPLOAD;
    const uint8_t lo = uint8_t(index), hi = uint8_t(index >> 8);
    const uint32_t general = sdo::ABORT_GENERAL;
    const uint32_t id = COB_SDO_TX + node_;
    server_.reset();
    endless_ = false;
    switch (answer) {
    case BadAnswer::Abort:
        send(sdoFrame(id, {0x80, lo, hi, sub, uint8_t(general), uint8_t(general >> 8), uint8_t(general >> 16),
                           uint8_t(general >> 24)}));
        break;
    case BadAnswer::WrongIndex: {
        const uint16_t other = uint16_t(index + 1);
        send(upload ? sdoFrame(id, {0x4F, uint8_t(other), uint8_t(other >> 8), sub, 0x01})
                    : sdoFrame(id, {0x60, uint8_t(other), uint8_t(other >> 8), sub}));
        break;
    }
    case BadAnswer::Short: {
        CanFrame r = sdoFrame(id, {upload ? uint8_t(0x4F) : uint8_t(0x60), lo, hi});
        r.length = 3;
        send(r);
        break;
    }
    case BadAnswer::Garbage:
        send(sdoFrame(id, {0xFF, 0x13, 0x37, 0xC0, 0xDE, 0xBA, 0xDC, 0x0D}));
        break;
    case BadAnswer::Endless:
        // A segmented upload without a size; to a write, an upload's reply.
        send(sdoFrame(id, {0x40, lo, hi, sub}));
        endless_ = upload;
        break;
    case BadAnswer::Silent:
        break;
    }
    note(format("answered %s %s", objectName(index, sub).c_str(), nameOf(answer)));
}
