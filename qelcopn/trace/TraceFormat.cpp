#include "trace/TraceFormat.h"

#include "trace/AscFormat.h"
#include "trace/BlfFormat.h"
#include "trace/CandumpCodec.h"
#include "trace/TextFields.h"
#include "trace/TrcFormat.h"

#include <cctype>

namespace qelcopn::trace {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Most of the first lines must be frames: a foreign text file may hold one
// line that happens to parse, a recording an odd damaged one.
bool looksLikeCandump(std::string_view head, bool whole)
{
    constexpr int kLinesChecked = 8;
    int frames = 0, bad = 0;
    while (frames + bad < kLinesChecked && !head.empty()) {
        const size_t newline = head.find('\n');
        // A line the head cuts off is left to the reading proper.
        if (newline == std::string_view::npos && !whole)
            break;
        TraceRecord record;
        switch (parseLine(head.substr(0, newline), &record)) {
        case ParseResult::Frame: ++frames; break;
        case ParseResult::Bad: ++bad; break;
        case ParseResult::Blank: break;
        }
        head.remove_prefix(newline == std::string_view::npos ? head.size() : newline + 1);
    }
    return frames > bad;
}

} // namespace

const char *formatName(TraceFormat format)
{
    switch (format) {
    case TraceFormat::Log: return "log";
    case TraceFormat::Asc: return "asc";
    case TraceFormat::Trc: return "trc";
    case TraceFormat::Blf: return "blf";
    }
    return "log";
}

const char *formatTitle(TraceFormat format)
{
    switch (format) {
    case TraceFormat::Log: return "candump log";
    case TraceFormat::Asc: return "Vector ASC";
    case TraceFormat::Trc: return "PEAK TRC";
    case TraceFormat::Blf: return "Vector BLF";
    }
    return "candump log";
}

std::optional<TraceFormat> formatByName(std::string_view name)
{
    const std::string wanted = lower(name);
    for (TraceFormat format : kTraceFormats)
        if (wanted == formatName(format))
            return format;
    return std::nullopt;
}

std::optional<TraceFormat> formatOfPath(std::string_view path)
{
    const std::string_view file = path.substr(path.rfind('/') + 1);
    const size_t dot = file.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    return formatByName(file.substr(dot + 1));
}

std::optional<TraceFormat> detectFormat(std::string_view head)
{
    const bool whole = head.size() < kDetectBytes;
    head = head.substr(0, kDetectBytes);
    if (head.substr(0, 4) == "LOGG")
        return TraceFormat::Blf;
    // The text formats by the lines that open them.
    std::string_view rest = head;
    for (int lines = 0; lines < 16 && !rest.empty(); ++lines) {
        const size_t newline = rest.find('\n');
        const std::string_view line = text::trimmed(rest.substr(0, newline));
        rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
        if (line.empty())
            continue;
        if (line.substr(0, 13) == ";$FILEVERSION" || line.substr(0, 11) == ";$STARTTIME")
            return TraceFormat::Trc;
        std::string_view words = line;
        const std::string first = lower(text::nextField(&words));
        const std::string second = lower(text::nextField(&words));
        if ((first == "date" && !second.empty()) || (first == "base" && (second == "hex" || second == "dec"))
            || (first == "begin" && second == "triggerblock"))
            return TraceFormat::Asc;
        if (line.front() != ';' && line.substr(0, 2) != "//")
            break;
    }
    if (looksLikeCandump(head, whole))
        return TraceFormat::Log;
    return std::nullopt;
}

std::unique_ptr<TraceEncoder> makeEncoder(TraceFormat format, std::string_view channel)
{
    switch (format) {
    case TraceFormat::Log: return std::make_unique<CandumpEncoder>(channel);
    case TraceFormat::Asc: return std::make_unique<AscEncoder>();
    case TraceFormat::Trc: return std::make_unique<TrcEncoder>(channel);
    case TraceFormat::Blf: return std::make_unique<BlfEncoder>();
    }
    return nullptr;
}

std::unique_ptr<TraceDecoder> makeDecoder(TraceFormat format)
{
    switch (format) {
    case TraceFormat::Log: return std::make_unique<CandumpDecoder>();
    case TraceFormat::Asc: return std::make_unique<AscDecoder>();
    case TraceFormat::Trc: return std::make_unique<TrcDecoder>();
    case TraceFormat::Blf: return std::make_unique<BlfDecoder>();
    }
    return nullptr;
}

} // namespace qelcopn::trace
