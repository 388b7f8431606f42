#include "Gateway.h"

#include "protocol/Cia301.h"
#include "protocol/Nmt.h"
#include "Text.h"

#include <algorithm>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::nmtFrame;

namespace gatewaysim {

namespace {

CommParameters defaultsOf(const GatewayConfig &config)
{
    CommParameters comm;
    comm.heartbeatMs = config.heartbeatMs;
    comm.eventTimerMs = config.eventTimerMs;
    return comm;
}

} // namespace

Gateway::Gateway(const GatewayConfig &config, GatewaySink &sink)
    : config_(config)
    , sink_(sink)
    , scenario_(makeScenario(config.scenario, config.productCode))
    , objects_(identityFor(config.productCode, config.vendorId, config.node), defaultsOf(config), image_, *this)
    , sdo_(config.node, objects_, sink)
    , nmt_(config.node)
    , scheduler_(publishedItems(config.productCode), config.node, config.pdoRate, scenario_->burst())
{
}

void Gateway::powerOn(int64_t nowUs)
{
    restartApplication(nowUs);
    bootUp(nowUs);
}

void Gateway::restartApplication(int64_t nowUs)
{
    applicationStartUs_ = nowUs;
    lastElapsedUs_ = 0;
    scenario_->update(0, image_);
    // What the application starts with is its state, not a change.
    reportedOnline_ = image_.mtuOnline;
    reportedFaults_ = image_.faultState;
}

void Gateway::bootUp(int64_t nowUs)
{
    sdo_.reset();
    objects_.resetCommunication();
    writtenHeartbeat_.reset();
    writtenEventTimer_.reset();
    scheduler_.setEventTimer(objects_.comm().eventTimerMs, nowUs);
    sink_.send(nmt_.bootUp());
    sink_.note("nmt boot-up");
    setHeartbeat(objects_.comm().heartbeatMs, nowUs);
    if (config_.selfStart)
        startItself(nowUs);
}

// A self-starting node takes the NMT start it would otherwise wait for from
// itself; the event line says so, so that a listener can tell it from a
// command on the bus.
void Gateway::startItself(int64_t nowUs)
{
    if (nmt_.command(nmtFrame(cia301::NMT_START_REMOTE_NODE, config_.node)) != NmtSlave::Action::Start)
        return;
    sink_.note("nmt self-start");
    scheduler_.restart(nowUs);
    announceMtu();
}

bool Gateway::receive(const CanFrame &frame, int64_t nowUs)
{
    // Most of a busy bus is other nodes' traffic: pass it by cheaply.
    const bool nmt = frame.id == cia301::COB_NMT;
    const bool sdo = frame.id == cia301::COB_SDO_RX + config_.node && nmt_.answersSdo();
    if (!nmt && !sdo)
        return false;
    updateScenario(nowUs);
    if (nmt) {
        handleNmt(frame, nowUs);
        return true;
    }
    if (const auto reply = sdo_.handle(frame))
        sink_.send(*reply);
    applyWrittenParameters(nowUs);
    return true;
}

void Gateway::handleNmt(const CanFrame &frame, int64_t nowUs)
{
    const NmtSlave::Action action = nmt_.command(frame);
    if (action == NmtSlave::Action::None)
        return;
    sink_.note(format("nmt %s", NmtSlave::actionName(action)));
    switch (action) {
    case NmtSlave::Action::Start:
        scheduler_.restart(nowUs);
        announceMtu();
        break;
    case NmtSlave::Action::Stop:
        sdo_.reset();
        break;
    case NmtSlave::Action::ResetNode:
        restartApplication(nowUs);
        bootUp(nowUs);
        break;
    case NmtSlave::Action::ResetCommunication:
        bootUp(nowUs);
        break;
    case NmtSlave::Action::EnterPreOperational:
    case NmtSlave::Action::None:
        break;
    }
}

void Gateway::heartbeatWritten(uint16_t ms) { writtenHeartbeat_ = ms; }

void Gateway::eventTimerWritten(uint16_t ms) { writtenEventTimer_ = ms; }

// Written parameters take effect after the SDO confirmation has gone out,
// so the event lines read in the order things happened on the bus.
void Gateway::applyWrittenParameters(int64_t nowUs)
{
    if (writtenHeartbeat_) {
        setHeartbeat(*writtenHeartbeat_, nowUs);
        sink_.note(heartbeatMs_ ? format("heartbeat %u ms", heartbeatMs_) : std::string("heartbeat off"));
        writtenHeartbeat_.reset();
    }
    if (writtenEventTimer_) {
        setEventTimer(*writtenEventTimer_, nowUs);
        writtenEventTimer_.reset();
    }
}

void Gateway::setHeartbeat(uint16_t ms, int64_t nowUs)
{
    heartbeatMs_ = ms;
    nextHeartbeatUs_ = nowUs + int64_t(ms) * 1000;
}

void Gateway::setEventTimer(uint16_t ms, int64_t nowUs)
{
    scheduler_.setEventTimer(ms, nowUs);
    sink_.note(ms ? format("mode cyclic %u ms", ms) : std::string("mode change-of-state"));
}

void Gateway::updateScenario(int64_t nowUs)
{
    lastElapsedUs_ = std::max<int64_t>(0, nowUs - applicationStartUs_);
    scenario_->update(lastElapsedUs_, image_);
    const uint8_t node = config_.node;
    if (image_.mtuOnline != reportedOnline_) {
        reportedOnline_ = image_.mtuOnline;
        sink_.note(reportedOnline_ ? "mtu online" : "mtu offline");
        sendEmergency(mtuStateReport(reportedOnline_, objects_.errorRegister(), node));
    }
    for (int fault = 0; fault < FAULT_COUNT; ++fault) {
        const uint16_t state = image_.faultState[fault];
        if (state == reportedFaults_[fault])
            continue;
        reportedFaults_[fault] = state;
        sink_.note(format("fault %d %s", fault, state ? "active" : "cleared"));
        sendEmergency(faultReport(uint16_t(fault), state, objects_.errorRegister(), node));
    }
}

void Gateway::announceMtu()
{
    if (!hasMtu(config_.productCode))
        return;
    const uint8_t errorRegister = objects_.errorRegister();
    sendEmergency(mtuStateReport(image_.mtuOnline, errorRegister, config_.node));
    for (int fault = 0; fault < FAULT_COUNT; ++fault)
        if (image_.faultState[fault])
            sendEmergency(faultReport(uint16_t(fault), image_.faultState[fault], errorRegister, config_.node));
}

void Gateway::sendEmergency(const CanFrame &frame)
{
    if (scenario_->transmits() && nmt_.sendsEmergencies())
        sink_.send(frame);
}

void Gateway::poll(int64_t nowUs)
{
    if (nmt_.state() == NmtSlave::State::Initialising)
        return;
    updateScenario(nowUs);
    if (heartbeatMs_ && nowUs >= nextHeartbeatUs_) {
        sink_.send(nmt_.heartbeat());
        nextHeartbeatUs_ += int64_t(heartbeatMs_) * 1000;
        if (nextHeartbeatUs_ <= nowUs)
            nextHeartbeatUs_ = nowUs + int64_t(heartbeatMs_) * 1000;
    }
    if (nmt_.sendsPdos() && scenario_->transmits())
        scheduler_.poll(nowUs, image_, [this](const CanFrame &frame) { sink_.send(frame); });
}

int64_t Gateway::nextDueUs() const
{
    if (nmt_.state() == NmtSlave::State::Initialising)
        return Scenario::NEVER;
    int64_t due = Scenario::NEVER;
    if (heartbeatMs_)
        due = nextHeartbeatUs_;
    if (nmt_.sendsPdos() && scenario_->transmits())
        due = std::min(due, scheduler_.nextDueUs());
    const int64_t event = scenario_->nextEventUs(lastElapsedUs_);
    if (event != Scenario::NEVER)
        due = std::min(due, applicationStartUs_ + event);
    return due;
}

} // namespace gatewaysim
