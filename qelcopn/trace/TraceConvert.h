// A recording of one format rewritten in another, every frame in file
// order and both directions, for the recorder's --convert and the
// application's export.
#pragma once

#include "trace/TraceFormat.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qelcopn::trace {

struct ConvertOutcome {
    bool ok = false;
    bool cancelled = false;
    bool inputFailed = false; // the input would not open as a recording, or not read to its end
    TraceFormat from = TraceFormat::Log;
    uint64_t frames = 0;
    uint64_t skipped = 0; // of the input, in units
    const char *units = "lines";
    std::string message; // why it failed; on success what was skipped, if anything
};

// Called now and then with the bytes read of the input so far, its size and
// the frames written; false cancels (nothing is left at output then).
using ConvertProgress = std::function<bool(uint64_t bytesRead, uint64_t bytesTotal, uint64_t frames)>;

ConvertOutcome convertTrace(const std::string &input, const std::string &output, TraceFormat format,
                            const ConvertProgress &progress = {});

// "skipped 3 lines that were not frames" and the like; empty when nothing
// was skipped.
std::string skippedText(uint64_t skipped, const char *units);

} // namespace qelcopn::trace
