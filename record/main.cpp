// tarnwick-record: records a CAN bus through the library, listen-only, for
// a laptop left in a vehicle.
#include "Places.h"
#include "Platform.h"
#include "QEL_COPN.h"
#include "RecordOptions.h"
#include "TraceConversion.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int signal)
{
    stopSignal = signal;
}

void catchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string defaultOutput()
{
    const QString folder = RecordingsFolder();
    QDir().mkpath(folder);
    return (folder + QLatin1Char('/') + ProposedRecordingName(QDateTime::currentDateTime())).toStdString();
}

// The library's own words for the failure where it has them.
std::string openFailure(int error)
{
    char text[QELCOPN_TEXT_SIZE] = {};
    if (GetFailureText(text))
        return text;
    if (error == ENODEV)
        return "no such interface, or its driver is missing";
    if (uint32_t(error) == QELCOPN_ERROR_WRONG_MODE)
        return "the interface is not usable as it stands (down, or held by another program)";
    return std::strerror(error);
}

// Exit statuses beside 0 (done), 1 (cannot start, or the adapter was lost)
// and 2 (a bad option).
constexpr int EXIT_FRAMES_LOST = 3;

void printProgress(const TraceStatus &status, long elapsed)
{
    std::fprintf(stderr, "tarnwick-record: %lds, %llu frames, %llu lost, %llu bytes\n", elapsed,
                 static_cast<unsigned long long>(status.FramesWritten),
                 static_cast<unsigned long long>(status.FramesLost),
                 static_cast<unsigned long long>(status.BytesWritten));
}

} // namespace

int main(int argc, char **argv)
{
    PinTimeZone();
    const record::ParseResult parsed = record::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tarnwick-record: %s\n%s", parsed.error.c_str(), record::usage().c_str());
        return 2;
    }
    const record::Options &options = parsed.options;
    if (options.help) {
        std::fputs(record::usage().c_str(), stdout);
        return 0;
    }
    if (options.convert)
        return record::runConvert(options);
    catchStopSignals();

    HardwareConfiguration hw{};
    CANopenConfiguration co{};
    if (!LoadDriver() || !ReadConfiguration(REGISTRY_PATH, &hw, &co)) {
        std::fprintf(stderr, "tarnwick-record: the library did not start\n");
        return 1;
    }
    if (options.kind)
        hw.InterfaceType = *options.kind;
    if (options.interfaceName) {
        std::memset(hw.AccessPoint, 0, sizeof hw.AccessPoint);
        std::snprintf(hw.AccessPoint, sizeof hw.AccessPoint, "%s", options.interfaceName->c_str());
    }
    const uint32_t bitrate = options.bitrate.value_or(co.Baud);
    // Not value_or: the default would make the recordings folder even when
    // the output is given.
    const std::string output = options.output ? *options.output : defaultOutput();
    const qelcopn::trace::TraceFormat format = record::outputFormat(options, output);
    const std::string recording = record::recordingPathFor(output, format);

    uint32_t h = 0;
    if (!OpenInterface(&h, &hw)) {
        const int error = errno;
        std::fprintf(stderr, "tarnwick-record: %s: %s\n", hw.AccessPoint, openFailure(error).c_str());
        UnloadDriver();
        return 1;
    }
    // Going online sends nothing: the library speaks only when asked to.
    if (!SetBaud(h, bitrate) || !SetOnline(h, 1)) {
        char why[QELCOPN_TEXT_SIZE] = {};
        GetFailureText(why);
        std::fprintf(stderr, "tarnwick-record: %s: could not go online at %u bit/s%s%s\n", hw.AccessPoint,
                     unsigned(bitrate), why[0] != '\0' ? ": " : "", why);
        CloseInterface(h);
        UnloadDriver();
        return 1;
    }
    if (!Trace_Start(h, recording.c_str())) {
        const int error = errno;
        std::fprintf(stderr, "tarnwick-record: %s: %s\n", recording.c_str(), std::strerror(error));
        CloseInterface(h);
        UnloadDriver();
        return 1;
    }
    std::fprintf(stderr, "tarnwick-record: recording %s into %s\n", hw.AccessPoint, recording.c_str());

    TraceStatus status{};
    BusStatistics bus{};
    const timespec tick{0, 100 * 1000 * 1000};
    long tenths = 0;
    uint32_t toldError = 0;
    bool adapterLost = false;
    while (stopSignal == 0 && (!options.seconds || tenths < long(*options.seconds) * 10)) {
        nanosleep(&tick, nullptr);
        ++tenths;
        if (!Trace_GetStatus(h, &status))
            continue;
        // Each new reason is said once, when it happens, not only at the end.
        if (status.LastError != 0 && status.LastError != toldError) {
            toldError = status.LastError;
            std::fprintf(stderr, "tarnwick-record: writing %s failed: %s; frames are being lost\n", recording.c_str(),
                         std::strerror(int(status.LastError)));
        }
        if (GetBusStatistics(h, &bus) && bus.State == QELCOPN_BUS_OFFLINE) {
            adapterLost = true;
            break;
        }
        if (tenths % 10 == 0)
            printProgress(status, tenths / 10);
    }
    Trace_Stop(h);
    Trace_GetStatus(h, &status);
    CloseInterface(h);
    UnloadDriver();
    printProgress(status, tenths / 10);
    // What was recorded goes into the format asked for, whatever ended it.
    const int converted = record::convertRecording(recording, output, format);
    if (adapterLost) {
        std::fprintf(stderr, "tarnwick-record: %s: the adapter was lost; the recording holds what came before\n",
                     hw.AccessPoint);
        return 1;
    }
    if (status.FramesLost != 0 || status.LastError != 0) {
        std::fprintf(stderr, "tarnwick-record: %llu frames lost%s%s\n",
                     static_cast<unsigned long long>(status.FramesLost), status.LastError != 0 ? ": " : "",
                     status.LastError != 0 ? std::strerror(int(status.LastError)) : "");
        return EXIT_FRAMES_LOST;
    }
    return converted;
}
