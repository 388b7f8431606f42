#include "Options.h"

#include "BusBudget.h"
#include "GatewayMessages.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace gatewaysim {

namespace {

constexpr uint32_t CIA301_BITRATES[] = {10000, 20000, 50000, 125000, 250000, 500000, 800000, 1000000};
constexpr const char *KINDS[] = {"socketcan", "virtualcan", "peakcan", "tinycan"};
constexpr uint32_t MAX_SECONDS = 2'000'000; // the run timer counts milliseconds in an int
constexpr uint32_t MAX_RATE = 1'000'000;
constexpr const char *OPTION_NAMES[] = {"--kind",      "--interface", "--node",     "--product", "--vendor",
                                        "--bitrate",   "--heartbeat", "--scenario", "--seconds", "--rate",
                                        "--replay"};

bool isOption(const std::string &name)
{
    return std::find_if(std::begin(OPTION_NAMES), std::end(OPTION_NAMES),
                        [&](const char *known) { return name == known; }) != std::end(OPTION_NAMES);
}

// Decimal or 0x-hexadecimal, digits only, within [min, max].
std::optional<uint64_t> number(const std::string &text, uint64_t min, uint64_t max)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 16)
        return std::nullopt;
    for (char c : digits)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return std::nullopt;
    const uint64_t value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::string badValue(const std::string &option, const std::string &value, const std::string &expected)
{
    return "bad value '" + value + "' for " + option + ": expected " + expected;
}

// Applies one option's value; an error text when it does not fit.
std::string apply(Options &o, const std::string &option, const std::string &value)
{
    if (option == "--kind") {
        if (std::find_if(std::begin(KINDS), std::end(KINDS), [&](const char *k) { return value == k; }) ==
            std::end(KINDS))
            return badValue(option, value, "socketcan, virtualcan, peakcan or tinycan");
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
        if (!n || std::find(std::begin(CIA301_BITRATES), std::end(CIA301_BITRATES), *n) == std::end(CIA301_BITRATES))
            return badValue(option, value, "a CANopen bit rate: 10000, 20000, 50000, 125000, 250000, 500000, 800000 "
                                           "or 1000000");
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
    }
    return {};
}

} // namespace

ParseResult parseOptions(const std::vector<std::string> &args)
{
    ParseResult result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.options.help = true;
            continue;
        }
        if (arg == "--self-start") {
            result.options.selfStart = true;
            continue;
        }
        if (arg == "--loop") {
            result.options.loop = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            result.error = "unexpected argument '" + arg + "' (try --help)";
            return result;
        }
        const size_t eq = arg.find('=');
        const std::string option = arg.substr(0, eq);
        std::string value;
        if (!isOption(option)) {
            result.error = "unknown option '" + option + "' (try --help)";
            return result;
        }
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else {
            if (i + 1 >= args.size()) {
                result.error = "option " + option + " needs a value (try --help)";
                return result;
            }
            value = args[++i];
        }
        result.error = apply(result.options, option, value);
        if (!result.error.empty())
            return result;
    }
    if (result.options.loop && result.options.replay.empty())
        result.error = "--loop needs --replay";
    return result;
}

std::string usage()
{
    return "Usage: tarnwick-gatewaysim [options]\n"
           "A CANopen gateway node (MTU engine or J1939 gateway) on a CAN bus.\n"
           "\n"
           "  --kind KIND        socketcan, virtualcan, peakcan or tinycan (default: virtualcan)\n"
           "  --interface NAME   interface name, or a virtual bus URL such as\n"
           "                     tcp://127.0.0.1:PORT/can0 (default: can0)\n"
           "  --node N           node ID, 1 to 127 (default: 7)\n"
           "  --product CODE     1101 MTU engine gateway, 1104 J1939 gateway (default: 1101)\n"
           "  --vendor N         vendor ID (default: 0x141)\n"
           "  --bitrate BPS      10000, 20000, 50000, 125000, 250000, 500000, 800000 or\n"
           "                     1000000 (default: 250000)\n"
           "  --heartbeat MS     heartbeat period, 0 = none (default: 1000)\n"
           "  --scenario NAME    live, table, flap, burst or silent (default: live)\n"
           "  --seconds N        stop after N seconds (default: until stopped)\n"
           "  --rate N           PDOs per second (default: as the bus allows)\n"
           "  --self-start       go operational after each boot-up without waiting for an\n"
           "                     NMT start, as a self-starting node does (default: wait)\n"
           "  --replay FILE      play a recording (candump log) onto the bus at its pace\n"
           "                     instead of being a gateway\n"
           "  --loop             with --replay: again from the start at its end\n"
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
