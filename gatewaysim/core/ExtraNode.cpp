#include "ExtraNode.h"

#include "EdsObjects.h"
#include "GatewayMessages.h"
#include "Scenario.h"
#include "Text.h"
#include "protocol/Cia301.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

namespace gatewaysim {

namespace {

using Access = NodeObjects::Access;

void fillObjects(NodeObjects &objects, const ExtraNodeConfig &config)
{
    objects.addNumber(0x1000, 0, Access::ReadOnly, 4, EXTRA_NODE_DEVICE_TYPE);
    objects.addNumber(0x1001, 0, Access::ReadOnly, 1, 0);
    objects.addText(0x1008, 0, EXTRA_NODE_NAME);
    objects.addNumber(0x1017, 0, Access::ReadWrite, 2, config.heartbeatMs);
    objects.addNumber(0x1018, 0, Access::ReadOnly, 1, 4);
    objects.addNumber(0x1018, 1, Access::ReadOnly, 4, EXTRA_NODE_VENDOR_ID);
    objects.addNumber(0x1018, 2, Access::ReadOnly, 4, EXTRA_NODE_PRODUCT_CODE);
    objects.addNumber(0x1018, 3, Access::ReadOnly, 4, EXTRA_NODE_REVISION);
    objects.addNumber(0x1018, 4, Access::ReadOnly, 4, EXTRA_NODE_SERIAL_BASE + config.node);
    objects.addNumber(0x2000, 0, Access::ReadWrite, 4, 0);
}

} // namespace

ExtraNode::ExtraNode(const ExtraNodeConfig &config, GatewaySink &sink)
    : config_(config)
    , sink_(sink)
    , sdo_(config.node, objects_, sink)
    , nmt_(config.node)
{
    if (config.dictionary != nullptr)
        fillFromEds(objects_, *config.dictionary);
    else
        fillObjects(objects_, config);
    objects_.onWritten([this](uint16_t index, uint8_t sub) {
        if (index == 0x1017 && sub == 0)
            heartbeatWritten_ = true;
    });
}

void ExtraNode::powerOn(int64_t nowUs) { reboot(nowUs); }

void ExtraNode::reboot(int64_t nowUs)
{
    objects_.resetApplication();
    silent_ = false;
    bootUp(nowUs);
}

void ExtraNode::bootUp(int64_t nowUs)
{
    sdo_.reset();
    objects_.resetCommunication();
    sink_.send(nmt_.bootUp());
    sink_.note(format("node %u nmt boot-up", config_.node));
    restartHeartbeat(nowUs);
}

void ExtraNode::restartHeartbeat(int64_t nowUs)
{
    nextHeartbeatUs_ = nowUs + int64_t(objects_.number(0x1017, 0)) * 1000;
}

bool ExtraNode::receive(const CanFrame &frame, int64_t nowUs)
{
    if (frame.remote)
        return false;
    if (frame.id == cia301::COB_NMT) {
        handleNmt(frame, nowUs);
        return true;
    }
    if (frame.id != cia301::COB_SDO_RX + config_.node || !nmt_.answersSdo())
        return false;
    if (const auto reply = sdo_.handle(frame))
        sink_.send(*reply);
    // A new period counts from its confirmation.
    if (heartbeatWritten_) {
        heartbeatWritten_ = false;
        restartHeartbeat(nowUs);
        const uint32_t ms = objects_.number(0x1017, 0);
        sink_.note(ms ? format("node %u heartbeat %u ms", config_.node, ms)
                      : format("node %u heartbeat off", config_.node));
    }
    return true;
}

void ExtraNode::handleNmt(const CanFrame &frame, int64_t nowUs)
{
    const NmtSlave::Action action = nmt_.command(frame);
    if (action == NmtSlave::Action::None)
        return;
    sink_.note(format("node %u nmt %s", config_.node, NmtSlave::actionName(action)));
    switch (action) {
    case NmtSlave::Action::Stop:
        sdo_.reset();
        break;
    case NmtSlave::Action::ResetNode:
        objects_.resetApplication();
        bootUp(nowUs);
        break;
    case NmtSlave::Action::ResetCommunication:
        bootUp(nowUs);
        break;
    default:
        break;
    }
}

void ExtraNode::poll(int64_t nowUs)
{
    const int64_t periodUs = int64_t(objects_.number(0x1017, 0)) * 1000;
    if (silent_ || periodUs == 0 || nmt_.state() == NmtSlave::State::Initialising || nowUs < nextHeartbeatUs_)
        return;
    sink_.send(nmt_.heartbeat());
    nextHeartbeatUs_ += periodUs;
    if (nextHeartbeatUs_ <= nowUs)
        nextHeartbeatUs_ = nowUs + periodUs;
}

int64_t ExtraNode::nextDueUs() const
{
    if (silent_ || objects_.number(0x1017, 0) == 0 || nmt_.state() == NmtSlave::State::Initialising)
        return Scenario::NEVER;
    return nextHeartbeatUs_;
}

void ExtraNode::sendEmergency(uint16_t code, uint8_t errorRegister, const std::array<uint8_t, 5> &data)
{
    objects_.setNumber(0x1001, 0, errorRegister);
    if (!nmt_.sendsEmergencies())
        return;
    sink_.send(makeFrame(cia301::COB_EMCY + config_.node,
                         {uint8_t(code), uint8_t(code >> 8), errorRegister, data[0], data[1], data[2], data[3], data[4]}));
    sink_.note(format("node %u emergency 0x%04X register 0x%02X", config_.node, code, errorRegister));
}

void ExtraNode::setSilent(bool silent, int64_t nowUs)
{
    if (silent_ == silent)
        return;
    silent_ = silent;
    if (!silent)
        restartHeartbeat(nowUs);
    sink_.note(format("node %u heartbeat %s", config_.node, silent ? "stopped" : "resumed"));
}

} // namespace gatewaysim
