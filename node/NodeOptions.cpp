#include "NodeOptions.h"

#include <algorithm>

namespace node {

namespace {

using cmdline::badValue;

const std::vector<cmdline::Option> OPTIONS = {
    {"--kind", true}, {"--interface", true}, {"--bitrate", true}, {"--seconds", true},
    {"--eds", true},  {"--dcf", true},       {"--type", true},    {"--help", false},
};

struct CommandInfo {
    const char *name;
    Command command;
    size_t arguments;
    std::vector<std::string> options; // beside the adapter's
};

const CommandInfo COMMANDS[] = {
    {"list", Command::List, 0, {"--seconds"}},
    {"read", Command::Read, 2, {"--eds", "--type"}},
    {"write", Command::Write, 3, {"--eds", "--type"}},
    {"dump", Command::Dump, 1, {"--eds", "--dcf"}},
    {"nmt", Command::Nmt, 2, {}},
};

const std::pair<const char *, NmtAction> NMT_ACTIONS[] = {
    {"start", NmtAction::Start}, {"stop", NmtAction::Stop}, {"preop", NmtAction::PreOperational},
    {"reset", NmtAction::Reset}, {"reset-comm", NmtAction::ResetCommunication},
};

std::string apply(Options &o, const std::string &option, const std::string &value)
{
    if (const auto error = adapter::apply(o.adapter, option, value))
        return *error;
    if (option == "--seconds") {
        const auto n = cmdline::number(value, 1, 3600);
        if (!n)
            return badValue(option, value, "whole seconds from 1 to 3600");
        o.seconds = uint32_t(*n);
    } else if (option == "--eds" || option == "--dcf") {
        if (value.empty())
            return badValue(option, value, "a file name");
        (option == "--eds" ? o.eds : o.dcf) = value;
    } else if (option == "--type") {
        o.type = network::eds::typeFromName(value);
        if (!o.type)
            return badValue(option, value, "a CiA 301 data type such as UNSIGNED16 or VISIBLE_STRING");
    }
    return {};
}

bool takesValue(const std::string &arg)
{
    return std::any_of(OPTIONS.begin(), OPTIONS.end(),
                       [&](const cmdline::Option &o) { return o.takesValue && arg == o.name; });
}

// "0x1018:2", or "0x1017" for sub-index 0.
std::string readEntry(const std::string &text, bool subRequired, Options &o)
{
    const size_t colon = text.find(':');
    const auto index = cmdline::number(text.substr(0, colon), 0, 0xFFFF);
    const auto sub = colon == std::string::npos ? std::optional<uint64_t>(0)
                                                : cmdline::number(text.substr(colon + 1), 0, 0xFF);
    if (!index || !sub || (subRequired && colon == std::string::npos))
        return badValue("the entry", text, subRequired ? "INDEX:SUB such as 0x1017:0" : "INDEX[:SUB] such as 0x1018:1");
    o.index = uint16_t(*index);
    o.subIndex = uint8_t(*sub);
    return {};
}

std::string readArguments(const CommandInfo &info, const std::vector<std::string> &arguments, Options &o)
{
    if (arguments.size() != info.arguments)
        return std::string(info.name) + " takes " + std::to_string(info.arguments) + " argument"
            + (info.arguments == 1 ? "" : "s") + ", not " + std::to_string(arguments.size());
    if (info.arguments == 0)
        return {};
    const auto node = cmdline::number(arguments[0], 1, 127);
    if (!node)
        return badValue("NODE", arguments[0], "a node ID from 1 to 127");
    o.node = uint8_t(*node);
    if (o.command == Command::Read || o.command == Command::Write) {
        if (std::string error = readEntry(arguments[1], o.command == Command::Write, o); !error.empty())
            return error;
    }
    if (o.command == Command::Write)
        o.value = arguments[2];
    if (o.command == Command::Nmt) {
        const auto action = std::find_if(std::begin(NMT_ACTIONS), std::end(NMT_ACTIONS),
                                         [&](const auto &a) { return arguments[1] == a.first; });
        if (action == std::end(NMT_ACTIONS))
            return badValue("nmt", arguments[1], "start, stop, preop, reset or reset-comm");
        o.nmt = action->second;
    }
    return {};
}

} // namespace

ParseResult parseOptions(const std::vector<std::string> &args)
{
    ParseResult result;
    Options &o = result.options;
    std::vector<std::string> options, arguments, given;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg.rfind("--", 0) != 0 && arg != "-h") {
            arguments.push_back(arg);
            continue;
        }
        options.push_back(arg);
        given.push_back(arg.substr(0, arg.find('=')));
        if (takesValue(arg) && i + 1 < args.size())
            options.push_back(args[++i]);
    }
    result.error = cmdline::read(options, OPTIONS, o, apply);
    if (!result.error.empty() || o.help)
        return result;
    if (arguments.empty()) {
        result.error = "no command: list, read, write, dump or nmt";
        return result;
    }
    const auto info = std::find_if(std::begin(COMMANDS), std::end(COMMANDS),
                                   [&](const CommandInfo &c) { return arguments[0] == c.name; });
    if (info == std::end(COMMANDS)) {
        result.error = badValue("the command", arguments[0], "list, read, write, dump or nmt");
        return result;
    }
    o.command = info->command;
    for (const std::string &name : given) {
        const bool adapterOption = name == "--kind" || name == "--interface" || name == "--bitrate";
        if (!adapterOption && std::find(info->options.begin(), info->options.end(), name) == info->options.end()) {
            result.error = name + " does not go with " + info->name;
            return result;
        }
    }
    result.error = readArguments(*info, std::vector<std::string>(arguments.begin() + 1, arguments.end()), o);
    if (result.error.empty() && o.command == Command::Dump && !o.eds)
        result.error = "dump needs --eds, the node's EDS or DCF file";
    return result;
}

std::string usage()
{
    return std::string("Usage: tarnwick-node [adapter options] COMMAND ...\n"
                       "A node's objects by SDO, its NMT state, and the nodes on the bus.\n"
                       "\n"
                       "  list [--seconds N]                  the nodes heard within N seconds (default\n"
                       "                                      3), with state and heartbeat; sends nothing\n"
                       "  read NODE INDEX[:SUB] [--eds FILE] [--type T]\n"
                       "                                      one entry, printed as its type says\n"
                       "  write NODE INDEX:SUB VALUE [--eds FILE] [--type T]\n"
                       "                                      one entry of 1, 2 or 4 bytes\n"
                       "  dump NODE --eds FILE [--dcf OUT]    every readable entry the EDS lists; with\n"
                       "                                      --dcf, the EDS with the values read saved\n"
                       "                                      as a DCF\n"
                       "  nmt NODE start|stop|preop|reset|reset-comm\n"
                       "\n"
                       "The type T is a CiA 301 data type (UNSIGNED16, INTEGER32, VISIBLE_STRING, ...);\n"
                       "without it, as the EDS says, else as CiA 301's communication objects are,\n"
                       "else read as hex bytes. Numbers in decimal or 0x-hexadecimal.\n"
                       "\n")
        + adapter::usageLines()
        + "  --help             this text\n"
          "\n"
          "Exit status: 0 done; 1 no answer, an SDO abort (its code and text are\n"
          "printed) or the adapter could not be opened; 2 bad usage.\n";
}

} // namespace node
