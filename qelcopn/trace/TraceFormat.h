// The trace formats a recording can be written in and read from: the
// candump log the recorder writes, and Vector's ASC and BLF and PEAK's TRC
// that other tools read. A file's format is told from its content; a name's
// extension only picks the format a new file is written in.
#pragma once

#include "trace/TraceCodec.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qelcopn::trace {

enum class TraceFormat { Log, Asc, Trc, Blf };

inline constexpr TraceFormat kTraceFormats[] = {TraceFormat::Log, TraceFormat::Asc, TraceFormat::Trc,
                                                TraceFormat::Blf};
// "log|asc|trc|blf", for messages.
inline constexpr char kTraceFormatNames[] = "log, asc, trc or blf";

// "log", "asc", "trc", "blf": the name on a command line and the extension.
const char *formatName(TraceFormat format);
// "candump log", "Vector ASC", "PEAK TRC", "Vector BLF".
const char *formatTitle(TraceFormat format);
std::optional<TraceFormat> formatByName(std::string_view name);
// By the extension of path's file name, case ignored.
std::optional<TraceFormat> formatOfPath(std::string_view path);

// How many bytes of a file's head detectFormat wants (less is fine for a
// shorter file).
constexpr size_t kDetectBytes = 4096;
// The format of a file from its first bytes; empty when it is none of them.
std::optional<TraceFormat> detectFormat(std::string_view head);

std::unique_ptr<TraceEncoder> makeEncoder(TraceFormat format, std::string_view channel);
std::unique_ptr<TraceDecoder> makeDecoder(TraceFormat format);

} // namespace qelcopn::trace
