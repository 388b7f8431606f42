#include "RecordOptions.h"

#include "AdapterOptions.h"

#include "CommandLine.h"
#include "protocol/Cia301.h"
#include "protocol/InterfaceKinds.h"

#include <cstdio>

namespace record {

namespace {

using cmdline::badValue;

const std::vector<cmdline::Option> OPTIONS = {
    {"--kind", true},   {"--interface", true}, {"--bitrate", true},
    {"--output", true}, {"--seconds", true},   {"--format", true},
    {"--convert", true}, {"--help", false},
};

// Applies one option; an error text when its value does not fit.
std::string apply(Options &o, const std::string &option, const std::string &value)
{
    adapter::Options adapterOptions{o.kind, o.interfaceName, o.bitrate};
    if (const auto error = adapter::apply(adapterOptions, option, value)) {
        o.kind = adapterOptions.kind;
        o.interfaceName = adapterOptions.interfaceName;
        o.bitrate = adapterOptions.bitrate;
        return *error;
    }
    if (option == "--output") {
        if (value.empty())
            return badValue(option, value, "a file name");
        o.output = value;
    } else if (option == "--seconds") {
        const auto n = cmdline::number(value, 1, UINT32_MAX);
        if (!n)
            return badValue(option, value, "whole seconds from 1");
        o.seconds = uint32_t(*n);
    } else if (option == "--format") {
        o.format = qelcopn::trace::formatByName(value);
        if (!o.format)
            return badValue(option, value, qelcopn::trace::kTraceFormatNames);
    } else if (option == "--convert") {
        if (value.empty())
            return badValue(option, value, "a recording's file name");
        o.convert = value;
    }
    return {};
}

} // namespace

ParseResult parseOptions(const std::vector<std::string> &args)
{
    ParseResult result;
    result.error = cmdline::read(args, OPTIONS, result.options, apply);
    const Options &o = result.options;
    if (result.error.empty() && o.convert && !o.output)
        result.error = "--convert needs --output, the file to write";
    else if (result.error.empty() && o.convert && (o.kind || o.interfaceName || o.bitrate || o.seconds))
        result.error = "--convert reads a file: --kind, --interface, --bitrate and --seconds do not go with it";
    return result;
}

std::string usage()
{
    return "Usage: tarnwick-record [options]\n"
           "Records every frame of a CAN bus as a candump log (FILE.log) with the\n"
           "session beside it (FILE.json). Listen-only: sends nothing.\n"
           "\n"
         + std::string(adapter::usageLines()) +
           "  --output FILE.log  where to write (default: the recordings folder,\n"
           "                     ~/.local/share/Quelbrook/Tarnwick/recordings,\n"
           "                     named by date and time)\n"
           "  --seconds N        stop after N seconds (default: until stopped)\n"
           "  --format FORMAT    log (candump), asc (Vector ASC), trc (PEAK TRC 2.1) or\n"
           "                     blf (Vector BLF) (default: by the output's extension,\n"
           "                     else log); in any but log the candump log is kept\n"
           "                     beside it, as the crash-safe copy written as it runs\n"
           "  --convert IN       rewrite the recording IN (any of the four formats, told\n"
           "                     by its content) into --output, in --format\n"
           "  --help             this text\n"
           "\n"
           "Progress goes to standard error once a second. SIGINT and SIGTERM end the\n"
           "recording with everything written. A failed write is said when it happens.\n"
           "Exit status: 0 every frame written; 1 the interface or the file could not be\n"
           "opened, or the adapter was lost; 2 a bad option; 3 frames were lost or a\n"
           "write failed (the recording holds the rest).\n";
}

qelcopn::trace::TraceFormat outputFormat(const Options &options, const std::string &output)
{
    return options.format.value_or(qelcopn::trace::formatOfPath(output).value_or(qelcopn::trace::TraceFormat::Log));
}

} // namespace record
