// The nodes the simulator hosts beside the gateway (--extra-node), and what
// they are told to do: command lines (from the simulator's standard input)
// and the timed commands of a network scenario. Free of I/O.
//
// Commands, one a line, node IDs and numbers decimal or 0x-hexadecimal:
//   emergency NODE CODE [REGISTER [B0 B1 B2 B3 B4]]
//   heartbeat NODE stop|resume
//   reboot NODE
#pragma once

#include "ExtraNode.h"
#include "eds/ObjectDictionary.h"
#include "GatewaySink.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gatewaysim {

// steady: the nodes only answer and send heartbeats.
// eventful: every 30 s the first extra node sends an overrun emergency
// (0x8110) and later its reset (0x0000), the last one stops its heartbeat
// for 6 s, and then reboots.
enum class NetworkScenario { Steady, Eventful };
std::optional<NetworkScenario> networkScenarioByName(const std::string &name);
const char *networkScenarioName(NetworkScenario scenario);

class ExtraNodes {
public:
    // dictionaries: the nodes that have an EDS, by node ID.
    ExtraNodes(const std::vector<uint8_t> &nodes, uint16_t heartbeatMs, NetworkScenario scenario, GatewaySink &sink,
               const std::map<uint8_t, network::eds::ObjectDictionary> &dictionaries = {});

    bool empty() const { return nodes_.empty(); }
    void powerOn(int64_t nowUs);
    // True when the frame was for one of them.
    bool receive(const qelcopn::CanFrame &frame, int64_t nowUs);
    void poll(int64_t nowUs);
    int64_t nextDueUs() const;
    // One command line; empty when done, else why not.
    std::string command(const std::string &line, int64_t nowUs);

    ExtraNode *find(uint8_t node);

private:
    void runScenario(int64_t nowUs);

    std::vector<std::unique_ptr<ExtraNode>> nodes_;
    NetworkScenario scenario_;
    size_t nextStep_ = 0;
    int64_t cycleStartUs_ = 0;
};

} // namespace gatewaysim
