// tarnwick-node's command line, read without I/O: the adapter options, a
// command and its arguments.
#pragma once

#include "AdapterOptions.h"
#include "CommandLine.h"
#include "eds/ObjectDictionary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace node {

enum class Command { List, Read, Write, Dump, Nmt };
enum class NmtAction { Start, Stop, PreOperational, Reset, ResetCommunication };

struct Options {
    adapter::Options adapter;
    Command command = Command::List;
    uint8_t node = 0;
    uint16_t index = 0;
    uint8_t subIndex = 0;
    std::string value; // write
    NmtAction nmt = NmtAction::Start;
    std::optional<std::string> eds;
    std::optional<std::string> dcf;
    std::optional<network::eds::DataType> type;
    uint32_t seconds = 3; // list: two heartbeats of a 1 s node and some
    bool help = false;
};

using ParseResult = cmdline::Parsed<Options>;

// args without the program name.
ParseResult parseOptions(const std::vector<std::string> &args);
std::string usage();

} // namespace node
