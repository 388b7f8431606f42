// The NMT slave state machine of CiA 301: initialising until the boot-up
// message, then pre-operational; Start, Stop and Enter Pre-operational move
// between the three working states; both resets go back through
// initialising to a new boot-up.
#pragma once

#include "protocol/CanFrame.h"
#include "protocol/Cia301.h"

#include <cstdint>

namespace gatewaysim {

class NmtSlave {
public:
    enum class State : uint8_t {
        Initialising = qelcopn::cia301::NMT_STATE_BOOTUP,
        Stopped = qelcopn::cia301::NMT_STATE_STOPPED,
        Operational = qelcopn::cia301::NMT_STATE_OPERATIONAL,
        PreOperational = qelcopn::cia301::NMT_STATE_PRE_OPERATIONAL,
    };
    enum class Action { None, Start, Stop, EnterPreOperational, ResetNode, ResetCommunication };

    explicit NmtSlave(uint8_t node) : node_(node) {}

    // An NMT command frame (COB-ID 0): what it asks of this node. Frames
    // for other nodes, of the wrong length or with an unknown command ask
    // nothing. The working states change here; a reset leaves the node
    // initialising until bootUp().
    Action command(const qelcopn::CanFrame &frame);
    // The boot-up message; the node is pre-operational from then on.
    qelcopn::CanFrame bootUp();
    qelcopn::CanFrame heartbeat() const;

    State state() const { return state_; }
    bool answersSdo() const { return state_ == State::PreOperational || state_ == State::Operational; }
    bool sendsEmergencies() const { return answersSdo(); }
    bool sendsPdos() const { return state_ == State::Operational; }

    static const char *actionName(Action action);

private:
    uint8_t node_;
    State state_ = State::Initialising;
};

} // namespace gatewaysim
