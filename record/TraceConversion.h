// tarnwick-record's trace formats: --convert, and a recording asked for in
// ASC, TRC or BLF. The recording itself is always written as a candump log
// (flushed as it runs, so a crash loses at most a second); the format asked
// for is made from it once the recording has stopped.
#pragma once

#include "RecordOptions.h"

#include <string>

namespace record {

// The exit status of --convert IN --output OUT: 0, 1 when IN cannot be
// read as a recording, 3 when OUT could not be written.
int runConvert(const Options &options);

// The candump log a recording into output is written as: output itself
// for the candump log, else beside it with the extension .log.
std::string recordingPathFor(const std::string &output, qelcopn::trace::TraceFormat format);

// After a recording: log rewritten into output. 0, or 3 when that failed.
int convertRecording(const std::string &log, const std::string &output, qelcopn::trace::TraceFormat format);

} // namespace record
