// The simulator's command line.
#pragma once

#include "CommandLine.h"
#include "ExtraNodes.h"
#include "Gateway.h"
#include "Scenario.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace gatewaysim {

struct Options {
    std::string kind = "virtualcan";
    std::string interfaceName = "can0";
    // The gateway's own defaults are the core's.
    uint8_t node = GatewayConfig{}.node;
    uint32_t productCode = GatewayConfig{}.productCode;
    uint32_t vendorId = GatewayConfig{}.vendorId;
    uint32_t bitrate = 250000;
    uint16_t heartbeatMs = GatewayConfig{}.heartbeatMs;
    ScenarioKind scenario = GatewayConfig{}.scenario;
    std::optional<uint32_t> seconds; // until stopped when not given
    std::optional<uint32_t> rate;    // PDOs per second; as the bus allows when not given
    bool selfStart = false;          // operational after boot-up without an NMT start
    std::string replay;              // a recording to play instead of a scenario
    bool loop = false;               // the recording again from the start at its end
    std::vector<uint8_t> extraNodes; // more nodes beside the gateway
    std::map<uint8_t, std::string> extraNodeEds; // --extra-node ID:EDS, the node's EDS file
    NetworkScenario networkScenario = NetworkScenario::Steady;
    bool help = false;
};

using ParseResult = cmdline::Parsed<Options>;

// args without the program name. Options take their value as the next
// argument or after '='; numbers are decimal or 0x-hexadecimal.
ParseResult parseOptions(const std::vector<std::string> &args);
std::string usage();

// The PDO rate the options ask for: --rate, or what the bus allows at the
// bit rate (all of it in the burst scenario).
double pdoRateFor(const Options &options);

} // namespace gatewaysim
