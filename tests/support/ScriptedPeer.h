// The CANopen node the tests put on the other end of a bus, or drive a
// client against directly: the simulator's own SDO server and NMT slave over
// an object table the test fills and reads, with a script in front of the
// server that makes chosen objects answer badly. Thread-safe: a bus thread
// drives it while the test inspects it.
#pragma once

#include "protocol/CanFrame.h"
#include "GatewaySink.h"
#include "NmtSlave.h"
#include "ObjectAccess.h"
#include "SdoServer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// How a scripted object answers the start of a transfer.
enum class BadAnswer {
    Abort,      // an SDO abort, general error
    WrongIndex, // a well-formed reply for the next object index
    Short,      // a reply of three bytes
    Garbage,    // eight bytes with a command specifier no server sends
    Endless,    // a segmented upload that never ends (or, to a write, an upload reply)
    Silent,     // no answer at all
};

std::optional<BadAnswer> badAnswerByName(const std::string &name);
const char *nameOf(BadAnswer answer);
// "abort,short" -> the list; empty when any name is unknown.
std::vector<BadAnswer> badAnswersFrom(const std::string &list);

// An SDO frame on `id`: eight bytes, these first, the rest zero.
qelcopn::CanFrame sdoFrame(uint32_t id, std::initializer_list<uint8_t> bytes);

// A node's objects in a map. Any entry may be written, known or not: a test
// reads back what the client wrote, in order.
class ObjectTable : public gatewaysim::ObjectAccess {
public:
    struct Write {
        uint16_t index;
        uint8_t sub;
        std::vector<uint8_t> bytes;
    };

    void set(uint16_t index, uint8_t sub, std::vector<uint8_t> bytes);
    // Empty when there is no such entry.
    std::vector<uint8_t> get(uint16_t index, uint8_t sub) const;
    const std::vector<Write> &writes() const { return writes_; }

    uint32_t read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value) override;
    uint32_t probeWrite(uint16_t index, uint8_t sub) override;
    uint32_t write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated) override;

private:
    std::map<uint32_t, std::vector<uint8_t>> entries_; // by index << 8 | sub
    std::vector<Write> writes_;
};

class ScriptedPeer : private gatewaysim::GatewaySink {
public:
    using Send = std::function<bool(const qelcopn::CanFrame &)>;
    using Note = std::function<void(const std::string &)>;
    using Action = gatewaysim::NmtSlave::Action;

    // note receives one line per notable event: each bad answer
    // ("answered 0x4210:0 abort"), a client's abort of an endless upload,
    // and the SDO server's own lines.
    explicit ScriptedPeer(uint8_t node, Note note = {});

    uint8_t node() const { return node_; }
    void setObject(uint16_t index, uint8_t sub, std::vector<uint8_t> bytes);
    std::vector<uint8_t> object(uint16_t index, uint8_t sub);
    std::vector<ObjectTable::Write> writes();
    // A silent node hears everything and answers nothing.
    void setSilent(bool silent);
    // Aborts it received from the client, in order.
    std::vector<uint32_t> abortsReceived();

    // Requests that start a transfer of this object take these answers in
    // turn, each object counting its own requests.
    void script(uint16_t index, uint8_t sub, std::vector<BadAnswer> answers);
    // The same for every object without a script of its own.
    void scriptAll(std::vector<BadAnswer> answers);
    void setUploadStyle(gatewaysim::SdoServer::UploadStyle style);

    // One frame off the bus; what the node answers goes to send. Returns
    // what an NMT command asked of this node (a reset is answered with the
    // boot-up).
    Action handle(const qelcopn::CanFrame &frame, const Send &send);
    qelcopn::CanFrame bootUp();
    qelcopn::CanFrame heartbeat();

private:
    struct Script {
        std::vector<BadAnswer> answers;
        size_t requests = 0;
    };

    // The scripted answer to this request, if its object has a script.
    std::optional<BadAnswer> nextBadAnswer(uint16_t index, uint8_t sub);
    void answerBadly(BadAnswer answer, const qelcopn::CanFrame &request, const Send &send);
    void send(const qelcopn::CanFrame &) override {}
    void note(const std::string &line) override;

    const uint8_t node_;
    const Note note_;
    std::mutex mutex_;
    ObjectTable objects_;
    gatewaysim::SdoServer server_;
    gatewaysim::NmtSlave nmt_;
    bool silent_ = false;
    std::vector<uint32_t> aborts_;
    std::map<uint32_t, Script> scripts_; // by index << 8 | sub
    std::vector<BadAnswer> scriptAll_;
    bool endless_ = false; // an endless upload runs
};
