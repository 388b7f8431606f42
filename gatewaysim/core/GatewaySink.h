// Where the gateway's output goes: frames onto the bus, and one line of text
// per notable event for whoever follows the simulator.
#pragma once

#include "protocol/CanFrame.h"

#include <string>

namespace gatewaysim {

class GatewaySink {
public:
    virtual ~GatewaySink() = default;
    virtual void send(const qelcopn::CanFrame &frame) = 0;
    virtual void note(const std::string &line) = 0;
};

} // namespace gatewaysim
