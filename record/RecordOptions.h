// tarnwick-record's command line, read without I/O.
#pragma once

#include "CommandLine.h"
#include "trace/TraceFormat.h"

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
    // Unset: by the output's extension, else the candump log.
    std::optional<qelcopn::trace::TraceFormat> format;
    std::optional<std::string> convert; // a recording to rewrite into output
    bool help = false;
};

using ParseResult = cmdline::Parsed<Options>;

// args without the program name. Options take their value as the next
// argument or after '='.
ParseResult parseOptions(const std::vector<std::string> &args);
std::string usage();

// The format the output is written in: as --format says, else by its
// extension, else the candump log.
qelcopn::trace::TraceFormat outputFormat(const Options &options, const std::string &output);

} // namespace record
