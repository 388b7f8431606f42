#include "Options.h"

#include "BusBudget.h"
#include "CommandLine.h"
#include "GatewayMessages.h"
#include "protocol/Cia301.h"
#include "protocol/InterfaceKinds.h"

#include <algorithm>

namespace gatewaysim {

namespace {

constexpr uint32_t MAX_SECONDS = 2'000'000; // the run timer counts milliseconds in an int
constexpr uint32_t MAX_RATE = 1'000'000;

const std::vector<cmdline::Option> OPTIONS = {
    {"--kind", true},      {"--interface", true}, {"--node", true},     {"--product", true},
    {"--vendor", true},    {"--bitrate", true},   {"--heartbeat", true}, {"--scenario", true},
    {"--seconds", true},   {"--rate", true},      {"--replay", true},   {"--self-start", false},
    {"--loop", false},     {"--help", false},      {"--extra-node", true}, {"--network-scenario", true},
};

// Applies one option; an error text when its value does not fit.
std::string apply(Options &o, const std::string &option, const std::string &value)
{
    using cmdline::badValue;
    using cmdline::number;
    if (option == "--kind") {
        if (qelcopn::interfaceKindByPlugin(value) == nullptr)
            return badValue(option, value, cmdline::alternatives(qelcopn::pluginNames()));
        o.kind = value;
    } else if (option == "--interface") {
        if (value.empty())
            return badValue(option, value, "an interface name or a virtual bus URL");
        o.interfaceName = value;
    } else if (option == "--node") {
        const auto n = number(value, 1, 127);
        if (!n)
            return badValue(option, value, "a node ID from 1 to 127");
        o.node = uint8_t(*n);
    } else if (option == "--product") {
        const auto n = number(value, 0, UINT32_MAX);
        if (!n || (*n != PRODUCT_CODE_MTU_GATEWAY && *n != PRODUCT_CODE_J1939_GATEWAY))
            return badValue(option, value, "1101 or 1104");
        o.productCode = uint32_t(*n);
    } else if (option == "--vendor") {
        const auto n = number(value, 0, UINT32_MAX);
        if (!n)
            return badValue(option, value, "a 32-bit vendor ID");
        o.vendorId = uint32_t(*n);
    } else if (option == "--bitrate") {
        const auto n = number(value, 0, UINT32_MAX);
        if (!n || !qelcopn::cia301::isBitRate(uint32_t(*n)))
            return badValue(option, value,
                            "a CANopen bit rate: " + cmdline::alternatives(qelcopn::cia301::bitRateNames()));
        o.bitrate = uint32_t(*n);
    } else if (option == "--heartbeat") {
        const auto n = number(value, 0, UINT16_MAX);
        if (!n)
            return badValue(option, value, "milliseconds from 0 (none) to 65535");
        o.heartbeatMs = uint16_t(*n);
    } else if (option == "--scenario") {
        const auto kind = scenarioByName(value);
        if (!kind)
            return badValue(option, value, "live, table, flap, burst or silent");
        o.scenario = *kind;
    } else if (option == "--seconds") {
        const auto n = number(value, 1, MAX_SECONDS);
        if (!n)
            return badValue(option, value, "whole seconds from 1 to " + std::to_string(MAX_SECONDS));
        o.seconds = uint32_t(*n);
    } else if (option == "--rate") {
        const auto n = number(value, 1, MAX_RATE);
        if (!n)
            return badValue(option, value, "PDOs per second from 1 to " + std::to_string(MAX_RATE));
        o.rate = uint32_t(*n);
    } else if (option == "--replay") {
        if (value.empty())
            return badValue(option, value, "a candump log file");
        o.replay = value;
    } else if (option == "--extra-node") {
        const size_t colon = value.find(':');
        const auto n = number(value.substr(0, colon), 1, 127);
        if (!n || colon + 1 == value.size())
            return badValue(option, value, "a node ID from 1 to 127, and :EDS for its EDS file");
        if (colon != std::string::npos)
            o.extraNodeEds[uint8_t(*n)] = value.substr(colon + 1);
        if (std::find(o.extraNodes.begin(), o.extraNodes.end(), uint8_t(*n)) != o.extraNodes.end())
            return badValue(option, value, "a node ID not given before");
        o.extraNodes.push_back(uint8_t(*n));
    } else if (option == "--network-scenario") {
        const auto scenario = networkScenarioByName(value);
        if (!scenario)
            return badValue(option, value, "steady or eventful");
        o.networkScenario = *scenario;
    } else if (option == "--self-start") {
        o.selfStart = true;
    } else if (option == "--loop") {
        o.loop = true;
    }
    return {};
}

} // namespace

ParseResult parseOptions(const std::vector<std::string> &args)
{
    ParseResult result;
    result.error = cmdline::read(args, OPTIONS, result.options, apply);
    const Options &o = result.options;
    if (result.error.empty() && o.loop && o.replay.empty())
        result.error = "--loop needs --replay";
    if (result.error.empty() && std::find(o.extraNodes.begin(), o.extraNodes.end(), o.node) != o.extraNodes.end())
        result.error = "--extra-node " + std::to_string(o.node) + " is the gateway's own node ID";
    return result;
}

std::string usage()
{
    return "Usage: tarnwick-gatewaysim [options]\n"
           "A CANopen gateway node (MTU engine or J1939 gateway) on a CAN bus.\n"
           "\n"
           "  --kind KIND        " + cmdline::alternatives(qelcopn::pluginNames()) + " (default: virtualcan)\n"
           "  --interface NAME   interface name, or a virtual bus URL such as\n"
           "                     tcp://127.0.0.1:PORT/can0 (default: can0)\n"
           "  --node N           node ID, 1 to 127 (default: 7)\n"
           "  --product CODE     1101 MTU engine gateway, 1104 J1939 gateway (default: 1101)\n"
           "  --vendor N         vendor ID (default: 0x141)\n"
           + cmdline::usageEntry("--bitrate BPS", cmdline::alternatives(qelcopn::cia301::bitRateNames()) + " (default: 250000)") +
           "  --heartbeat MS     heartbeat period, 0 = none (default: 1000)\n"
           "  --scenario NAME    live, table, flap, burst or silent (default: live)\n"
           "  --seconds N        stop after N seconds (default: until stopped)\n"
           "  --rate N           PDOs per second (default: as the bus allows)\n"
           "  --self-start       go operational after each boot-up without waiting for an\n"
           "                     NMT start, as a self-starting node does (default: wait)\n"
           "  --replay FILE      play a recording (candump log) onto the bus at its pace\n"
           "                     instead of being a gateway\n"
           "  --loop             with --replay: again from the start at its end\n"
           "  --extra-node ID[:EDS]  one more CANopen node beside the gateway (repeatable),\n"
           "                     with the objects and defaults of its EDS file when\n"
           "                     given; it takes commands on standard input (see\n"
           "                     docs/simulator.md)\n"
           "  --network-scenario NAME  steady or eventful: what the extra nodes do by\n"
           "                     themselves (default: steady)\n"
           "  --help             this text\n"
           "\n"
           "Numbers may be decimal or 0x-hexadecimal. SIGINT and SIGTERM end the run.\n";
}

double pdoRateFor(const Options &options)
{
    if (options.rate)
        return *options.rate;
    return options.scenario == ScenarioKind::Burst ? defaultBurstRate(options.bitrate)
                                                   : defaultPdoRate(options.bitrate);
}

} // namespace gatewaysim
