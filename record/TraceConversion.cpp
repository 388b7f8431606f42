#include "TraceConversion.h"

#include "Platform.h"
#include "trace/TraceConvert.h"
#include "trace/TraceFile.h"

#include <sys/stat.h>

#include <cstdio>

namespace record {

namespace trace = qelcopn::trace;

namespace {

// Converts, with progress on standard error once a second; the exit status.
int convert(const std::string &input, const std::string &output, trace::TraceFormat format, int unreadable)
{
    int64_t lastReport = MonotonicMicros();
    const trace::ConvertOutcome outcome =
        trace::convertTrace(input, output, format, [&](uint64_t read, uint64_t total, uint64_t frames) {
            const int64_t now = MonotonicMicros();
            if (now - lastReport >= 1000000) {
                lastReport = now;
                std::fprintf(stderr, "tarnwick-record: converting, %llu%%, %llu frames\n",
                             static_cast<unsigned long long>(total == 0 ? 100 : read * 100 / total),
                             static_cast<unsigned long long>(frames));
            }
            return true;
        });
    if (!outcome.ok) {
        std::fprintf(stderr, "tarnwick-record: %s\n", outcome.message.c_str());
        return outcome.inputFailed ? unreadable : 3;
    }
    std::fprintf(stderr, "tarnwick-record: %llu frames from %s (%s) into %s (%s)%s%s\n",
                 static_cast<unsigned long long>(outcome.frames), input.c_str(), trace::formatTitle(outcome.from),
                 output.c_str(), trace::formatTitle(format), outcome.message.empty() ? "" : "; ",
                 outcome.message.c_str());
    return 0;
}

} // namespace

int runConvert(const Options &options)
{
    const std::string &output = *options.output;
    return convert(*options.convert, output, outputFormat(options, output), 1);
}

std::string recordingPathFor(const std::string &output, trace::TraceFormat format)
{
    if (format == trace::TraceFormat::Log)
        return output;
    const size_t slash = output.rfind('/');
    const size_t dot = output.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? output.substr(0, dot) : output;
    // An output named .log in another format keeps its name for that format.
    return stem + (output == stem + ".log" ? ".candump.log" : ".log");
}

int convertRecording(const std::string &log, const std::string &output, trace::TraceFormat format)
{
    if (format == trace::TraceFormat::Log)
        return 0;
    struct stat info {};
    if (::stat(log.c_str(), &info) == 0 && info.st_size == 0) {
        // A bus that stayed silent: no candump log to tell by its content,
        // and an empty trace to write all the same.
        std::string message;
        const auto writer = trace::TraceFileWriter::create(output, format, "can0", &message);
        if (writer && writer->commit(&message))
            return 0;
        std::fprintf(stderr, "tarnwick-record: %s\n", message.c_str());
        return 3;
    }
    return convert(log, output, format, 3);
}

} // namespace record
