// Converting a recording of 1,000,000 frames (the gateway's PDOs, with
// some remote and error frames, both directions) from the candump log into
// each trace format and back, as tarnwick-record --convert and the
// application's export do it. Prints the time of each and the memory the
// process holds: a file of any size is streamed, so that stays flat.
#include "Platform.h"
#include "ProcessFigures.h"
#include "trace/TraceConvert.h"
#include "trace/TraceFile.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace trace = qelcopn::trace;

namespace {

bool writeRecording(const std::string &path, long frames)
{
    std::string message;
    auto writer = trace::TraceFileWriter::create(path, trace::TraceFormat::Log, "can0", &message);
    if (!writer)
        return false;
    trace::TraceRecord record;
    for (long i = 0; i < frames; ++i) {
        record = {};
        record.wallMicros = 1796904758'000000 + i * 250 + i % 7;
        record.sent = i % 50 == 0;
        if (i % 1000 == 999) {
            record.frame.error = true;
            record.frame.id = 0x004;
            record.frame.length = 8;
            record.frame.data[1] = 0x08;
        } else if (i % 100 == 17) {
            record.frame.remote = true;
            record.frame.id = 0x700 + i % 127;
            record.frame.length = uint8_t(i % 9);
        } else {
            record.frame.id = 0x180 + 0x100 * (i % 4) + 7;
            record.frame.length = 8;
            for (int k = 0; k < 8; ++k)
                record.frame.data[k] = uint8_t(i >> (k % 4 * 8));
        }
        if (!writer->add(record))
            return false;
    }
    return writer->commit(&message);
}

double mib(double bytes)
{
    return bytes / (1 << 20);
}

int64_t fileSize(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

int64_t peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool measure(const char *what, const std::string &in, const std::string &out, trace::TraceFormat format, long frames)
{
    const int64_t cpuStart = ProcessCpuMicros();
    const int64_t start = MonotonicMicros();
    const trace::ConvertOutcome outcome = trace::convertTrace(in, out, format);
    const double seconds = double(MonotonicMicros() - start) / 1e6;
    const double cpu = double(ProcessCpuMicros() - cpuStart) / 1e6;
    std::printf("%-26s %6.2f s (CPU %5.2f s) %9.0f frames/s %8.1f MiB  rss %6.1f MiB\n", what, seconds, cpu,
                double(outcome.frames) / seconds, mib(double(fileSize(out))),
                double(MeasureProcess().residentKiB) / 1024);
    if (!outcome.ok || outcome.frames != uint64_t(frames) || outcome.skipped != 0) {
        std::fprintf(stderr, "%s: %s (%llu frames)\n", what, outcome.message.c_str(),
                     static_cast<unsigned long long>(outcome.frames));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
    char folder[] = "/tmp/tarnwick-bench-trace-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string base = std::string(folder) + "/bench";
    const std::string log = base + ".log";
    if (!writeRecording(log, frames)) {
        std::fprintf(stderr, "cannot write %s\n", log.c_str());
        return 1;
    }
    std::printf("%-26s %ld frames, %.1f MiB\n", "candump log", frames, mib(double(fileSize(log))));
    bool ok = true;
    for (trace::TraceFormat format : {trace::TraceFormat::Asc, trace::TraceFormat::Trc, trace::TraceFormat::Blf}) {
        const std::string out = base + "." + trace::formatName(format);
        const std::string back = base + "-" + trace::formatName(format) + ".log";
        ok &= measure((std::string("log -> ") + trace::formatTitle(format)).c_str(), log, out, format, frames);
        ok &= measure((std::string(trace::formatTitle(format)) + " -> log").c_str(), out, back,
                      trace::TraceFormat::Log, frames);
        ::unlink(out.c_str());
        ::unlink(back.c_str());
    }
    std::printf("%-26s %6.1f MiB\n", "peak resident memory", double(peakResidentKiB()) / 1024);
    ::unlink(log.c_str());
    ::rmdir(folder);
    return ok ? 0 : 1;
}
