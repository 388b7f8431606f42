// tarnwick-record's command line, read without I/O.
#pragma once

#include "CommandLine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace record {

struct Options {
    // Unset: as the stored adapter configuration has it.
    std::optional<uint32_t> kind;
    std::optional<std::string> interfaceName;
    std::optional<uint32_t> bitrate;
    std::optional<std::string> output; // default: the recordings folder
    std::optional<uint32_t> seconds;   // default: until stopped
    bool help = false;
};

using ParseResult = cmdline::Parsed<Options>;

// args without the program name. Options take their value as the next
// argument or after '='.
ParseResult parseOptions(const std::vector<std::string> &args);
std::string usage();

// The recording's name when none is given: by date and time, local.
std::string defaultFileName(int year, int month, int day, int hour, int minute, int second);

} // namespace record
