#include "NmtSlave.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

namespace gatewaysim {

using namespace cia301;

NmtSlave::Action NmtSlave::command(const CanFrame &frame)
{
    if (frame.id != COB_NMT || frame.remote || frame.length != 2)
        return Action::None;
    const uint8_t target = frame.data[1];
    if (target != 0 && target != node_)
        return Action::None;
    // A node still initialising takes resets only.
    switch (frame.data[0]) {
    case NMT_START_REMOTE_NODE:
        if (state_ == State::Initialising)
            return Action::None;
        state_ = State::Operational;
        return Action::Start;
    case NMT_STOP_REMOTE_NODE:
        if (state_ == State::Initialising)
            return Action::None;
        state_ = State::Stopped;
        return Action::Stop;
    case NMT_ENTER_PRE_OPERATIONAL:
        if (state_ == State::Initialising)
            return Action::None;
        state_ = State::PreOperational;
        return Action::EnterPreOperational;
    case NMT_RESET_NODE:
        state_ = State::Initialising;
        return Action::ResetNode;
    case NMT_RESET_COMMUNICATION:
        state_ = State::Initialising;
        return Action::ResetCommunication;
    default:
        return Action::None;
    }
}

CanFrame NmtSlave::bootUp()
{
    state_ = State::PreOperational;
    CanFrame frame;
    frame.id = COB_HEARTBEAT + node_;
    frame.length = 1;
    frame.data[0] = NMT_STATE_BOOTUP;
    return frame;
}

CanFrame NmtSlave::heartbeat() const
{
    CanFrame frame;
    frame.id = COB_HEARTBEAT + node_;
    frame.length = 1;
    frame.data[0] = uint8_t(state_);
    return frame;
}

const char *NmtSlave::actionName(Action action)
{
    switch (action) {
    case Action::Start:
        return "start";
    case Action::Stop:
        return "stop";
    case Action::EnterPreOperational:
        return "pre-operational";
    case Action::ResetNode:
        return "reset-node";
    case Action::ResetCommunication:
        return "reset-communication";
    case Action::None:
        break;
    }
    return "none";
}

} // namespace gatewaysim
