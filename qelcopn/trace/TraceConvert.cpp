#include "trace/TraceConvert.h"

#include "trace/TraceFile.h"

#include <cstring>

namespace qelcopn::trace {

namespace {

// Progress at most this often, in frames.
constexpr uint64_t kProgressFrames = 1 << 16;

} // namespace

std::string skippedText(uint64_t skipped, const char *units)
{
    if (skipped == 0)
        return {};
    const bool lines = std::strcmp(units, "lines") == 0;
    return "skipped " + std::to_string(skipped) + " " + (lines && skipped == 1 ? "line" : units)
        + (lines ? " that could not be read as frames" : " (damaged or cut short)");
}

ConvertOutcome convertTrace(const std::string &input, const std::string &output, TraceFormat format,
                            const ConvertProgress &progress)
{
    ConvertOutcome outcome;
    std::unique_ptr<TraceFileReader> reader = TraceFileReader::open(input, &outcome.message);
    if (!reader) {
        outcome.inputFailed = true;
        return outcome;
    }
    outcome.from = reader->format();
    TraceRecord record;
    bool have = reader->next(&record);
    // The channel the input names its frames with is known after its first.
    std::unique_ptr<TraceFileWriter> writer =
        TraceFileWriter::create(output, format, reader->channel(), &outcome.message);
    if (!writer)
        return outcome;
    for (; have; have = reader->next(&record)) {
        if (!writer->add(record))
            break;
        if (progress && writer->frames() % kProgressFrames == 0
            && !progress(reader->bytesRead(), reader->size(), writer->frames())) {
            outcome.cancelled = true;
            outcome.message = "cancelled";
            return outcome; // the writer takes its temporary file with it
        }
    }
    outcome.frames = writer->frames();
    outcome.skipped = reader->skipped();
    outcome.units = reader->units();
    if (reader->readFailed()) {
        outcome.inputFailed = true;
        outcome.message = "cannot read '" + input + "' to its end";
        return outcome;
    }
    if (!writer->commit(&outcome.message))
        return outcome;
    if (progress)
        progress(reader->size(), reader->size(), outcome.frames);
    outcome.ok = true;
    outcome.message = skippedText(outcome.skipped, outcome.units);
    return outcome;
}

} // namespace qelcopn::trace
