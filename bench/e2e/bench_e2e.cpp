// Monitoring end to end, measured: the application's windows, the real
// CANopen library and the gateway simulator on a private virtual bus.
// Prints three figures:
//   browse   from the Yes to the warning until "Node Found" shows the
//            gateway, one gateway on the bus (first and later browses)
//   latency  from the library's receive stamp of a PDO to the display pass
//            that writes its cell (median, 99th percentile)
//   cpu      the application's CPU while the simulator sends 9,000 PDOs/s,
//            beside Qt's canbusutil listening to the same stream
//   underload  (run on its own by scripts/bench.sh) one CPU-bound process
//            per core at normal priority while 9,000 PDOs/s come for 15 s,
//            the monitor and a trend of MTU parameter 1 showing, a
//            recording running: PDOs lost, the trend's values against an
//            independent listener's count, every queue's losses, receipt
//            to cell, and the CPU beside canbusutil's
//   recording  (only when asked for: it takes two minutes) at 9,000 PDOs/s,
//            the application's CPU for a minute without and a minute with a
//            recording, frames written and lost; tarnwick-record and
//            canbusutil -l listening to the same stream all along
// Without an argument it runs each in a process of its own (one application
// session per process); with one it runs that one.
#include "AppOnBus.h"

#include "Main.h"
#include "Platform.h"
#include "ProcessFigures.h"
#include "QEL_COPN_Interface.h"
#include "StringGrid.h"
#include "TForm_MTU.h"
#include "TForm_Trend.h"

#include <QApplication>
#include <QLabel>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <regex>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr uint8_t GATEWAY = 7;
constexpr int LATENCY_SECONDS = 10;
constexpr int CPU_SECONDS = 10;
constexpr int BURST_RATE = 9000;
constexpr int BROWSES = 3;
constexpr int RECORD_SECONDS = 60;
constexpr int UNDER_LOAD_SECONDS = 15;
const char CANBUSUTIL[] = "/usr/lib/qt6/bin/canbusutil";

// quiet: output to /dev/null; output: standard output into that file.
pid_t Spawn(const std::vector<std::string> &args, bool quiet, const std::string &output = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet || !output.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.empty() ? "/dev/null" : output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Percentile(std::vector<double> sorted, double fraction)
{
    if (sorted.empty())
        return 0;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, size_t(fraction * double(sorted.size())))];
}

// Starts the simulator or says why not; 0 on success.
int StartSimulator(AppOnBus &app, const std::vector<std::string> &options)
{
    const std::string error = app.StartSimulator(options);
    if (error.empty())
        return 0;
    std::printf("cannot start the simulator: %s\n", error.c_str());
    return 1;
}

int MeasureBrowse()
{
    AppOnBus app;
    if (StartSimulator(app, {"--scenario", "table"}) != 0)
        return 1;
    int64_t answeredAt = 0; // the last box's answer
    app.boxes.onShow = [&](const ShownBox &) { answeredAt = MonotonicMicros(); };
    std::vector<double> ms[2]; // with the reset, without
    bool allFound = true;
    app.Run([&] {
        app.Choose(MainForm->RadioButton_Cyclic);
        app.StartNetworkAccess();
        for (int i = 0; i < 2 * BROWSES; ++i) {
            const bool reset = i < BROWSES;
            MainForm->StaticText_NodeFound->setText(QStringLiteral("None"));
            app.Browse(reset);
            ms[reset ? 0 : 1].push_back(double(MonotonicMicros() - answeredAt) / 1000.0);
            allFound = allFound && MainForm->StaticText_NodeFound->text() == QStringLiteral("7");
        }
    });
    app.StopSimulator();
    std::printf("browse, last answer to \"Node Found: 7\" (one gateway, 127 nodes surveyed):\n");
    for (int kind = 0; kind < 2; ++kind)
        for (size_t i = 0; i < ms[kind].size(); ++i)
            std::printf("  %s browse %zu  %8.0f ms\n", kind == 0 ? "reset first, " : "without reset,", i + 1,
                        ms[kind][i]);
    std::printf("  gateway found every time: %s\n", allFound ? "yes" : "NO");
    return allFound ? 0 : 1;
}

int MeasureLatency()
{
    AppOnBus app;
    if (StartSimulator(app, {"--scenario", "live", "--self-start"}) != 0)
        return 1;
    std::vector<double> latencyMs;
    std::vector<double> passMs;
    app.Run([&] {
        app.StartNetworkAccess();
        // The display timer drives the same pass, measured around it.
        QObject::disconnect(Form_MTU->Timer1, nullptr, Form_MTU, nullptr);
        QObject::connect(Form_MTU->Timer1, &QTimer::timeout, Form_MTU, [&] {
            uint32_t before[256];
            std::memcpy(before, Form_MTU->MtuRxTime2Shown, sizeof before);
            const int64_t start = MonotonicMicros();
            Form_MTU->Timer1Timer();
            const int64_t written = MonotonicMicros();
            passMs.push_back(double(written - start) / 1000.0);
            for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n)
                if (Form_MTU->MtuRxTime2Shown[n] != before[n])
                    latencyMs.push_back(double(uint32_t(written) - Form_MTU->MtuRxTime2Shown[n]) / 1000.0);
        });
        app.WhileMonitorShows([&] {
            app.Until([&] { return !latencyMs.empty(); });
            latencyMs.clear();
            passMs.clear();
            app.RunFor(LATENCY_SECONDS * 1000);
        });
    });
    app.StopSimulator();
    std::printf("receipt to grid: library receive stamp to the display pass's cell write (live engine, "
                "listen-only, %d s, %zu cell writes):\n",
                LATENCY_SECONDS, latencyMs.size());
    std::printf("  median %8.1f ms   99th percentile %8.1f ms   max %8.1f ms\n", Percentile(latencyMs, 0.5),
                Percentile(latencyMs, 0.99), Percentile(latencyMs, 1.0));
    std::printf("  display pass: median %.3f ms, 99th percentile %.3f ms (%zu passes)\n", Percentile(passMs, 0.5),
                Percentile(passMs, 0.99), passMs.size());
    return latencyMs.empty() ? 1 : 0;
}

int MeasureCpu()
{
    AppOnBus app;
    if (StartSimulator(app, {"--scenario", "burst", "--rate", std::to_string(BURST_RATE), "--self-start"}) != 0)
        return 1;
    const pid_t listener = Spawn({CANBUSUTIL, "-l", "virtualcan", app.BusUrl()}, true);
    if (listener <= 0) {
        std::printf("cannot start %s\n", CANBUSUTIL);
        return 1;
    }
    double appCpu = 0, listenerCpu = 0, seconds = 0;
    uint32_t received = 0, dropped = 0;
    app.Run([&] {
        app.StartNetworkAccess();
        app.WhileMonitorShows([&] {
            // Settled: the grids have drawn the stream once.
            app.Until([] { return Form_MTU->AdvStringGrid_MTU_Data->Cell(2, 2) != "Missing Data"; });
            app.RunFor(1000);
            uint32_t receivedBefore = 0;
            app.PdoCounts(GATEWAY, &receivedBefore, &dropped);
            const int64_t wallStart = MonotonicMicros();
            const int64_t appStart = ProcessCpuMicros();
            const int64_t listenerStart = ProcessCpuMicros(listener);
            app.RunFor(CPU_SECONDS * 1000);
            seconds = double(MonotonicMicros() - wallStart) / 1e6;
            appCpu = double(ProcessCpuMicros() - appStart) / 1e6;
            listenerCpu = double(ProcessCpuMicros(listener) - listenerStart) / 1e6;
            app.PdoCounts(GATEWAY, &received, &dropped);
            received -= receivedBefore;
        });
    });
    kill(listener, SIGTERM);
    WaitFor(listener);
    app.StopSimulator();
    std::printf("CPU at %d PDOs/s (burst scenario, listen-only, monitor window showing, %.1f s):\n", BURST_RATE,
                seconds);
    std::printf("  PDOs received %u (%.0f/s), dropped by the library %u\n", received, received / seconds, dropped);
    std::printf("  tarnwick (whole process)  %5.1f %% of one core\n", 100 * appCpu / seconds);
    std::printf("  canbusutil -l             %5.1f %% of one core\n", 100 * listenerCpu / seconds);
    std::printf("  ratio tarnwick / canbusutil  %.2f\n", listenerCpu > 0 ? appCpu / listenerCpu : 0.0);
    return dropped == 0 ? 0 : 1;
}

// The MTU parameter 1 PDOs in canbusutil -l's output ("487   [8]  07 00 42 01 ...").
size_t CountParameterOnePdos(const std::string &path, uint8_t node)
{
    char id[8];
    std::snprintf(id, sizeof id, "%03X", 0x480 + node);
    const std::regex line(std::string("^\\s*") + id + "\\s+\\[8\\]\\s+[0-9A-F]{2} 00 42 01 ");
    std::ifstream in(path);
    size_t count = 0;
    for (std::string text; std::getline(in, text);)
        count += std::regex_search(text, line);
    return count;
}

// A busy laptop: one process per core that only computes, at normal priority.
std::vector<pid_t> StartCpuHogs()
{
    std::vector<pid_t> hogs;
    for (long core = 0; core < sysconf(_SC_NPROCESSORS_ONLN); ++core)
        hogs.push_back(Spawn({"/proc/self/exe", "spin"}, true));
    return hogs;
}

void StopCpuHogs(const std::vector<pid_t> &hogs)
{
    for (pid_t hog : hogs) {
        kill(hog, SIGKILL);
        WaitFor(hog);
    }
}

int Spin()
{
    volatile uint64_t n = 0;
    for (;;)
        n = n + 1;
}

int MeasureUnderLoad()
{
    AppOnBus app;
    // Not self-starting: the stream begins with our NMT start, once the
    // trend is plotted, so the trend can hold every value sent.
    if (StartSimulator(app, {"--scenario", "burst", "--rate", std::to_string(BURST_RATE)}) != 0)
        return 1;
    QTemporaryDir folder;
    const std::string heard = QFile::encodeName(folder.filePath(QStringLiteral("heard.txt"))).toStdString();
    const std::string recording = QFile::encodeName(folder.filePath(QStringLiteral("load.log"))).toStdString();
    const pid_t counter = Spawn({CANBUSUTIL, "-l", "virtualcan", app.BusUrl()}, false, heard);
    const pid_t listener = Spawn({CANBUSUTIL, "-l", "virtualcan", app.BusUrl()}, true);
    if (counter <= 0 || listener <= 0) {
        std::printf("cannot start %s\n", CANBUSUTIL);
        return 1;
    }
    std::vector<double> latencyMs;
    double seconds = 0, appCpu = 0, listenerCpu = 0;
    double load[3] = {0, 0, 0};
    uint32_t received = 0, dropped = 0;
    size_t plotted = 0;
    uint64_t historyLost = 0, trendDropped = 0;
    BusStatistics bus{};
    TraceStatus trace{};
    std::vector<pid_t> hogs;
    app.Run([&] {
        app.StartNetworkAccess();
        app.WhileMonitorShows([&] {
            TForm_Trend *trend = PlotTrend(*Form_MTU, Form_MTU, {1});
            QObject::connect(Form_MTU->Timer1, &QTimer::timeout, Form_MTU, [&] {
                // After the monitor's own pass: the cells it just wrote.
                const uint32_t now = uint32_t(MonotonicMicros());
                static uint32_t shown[256];
                for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n)
                    if (Form_MTU->MtuRxTime2Shown[n] != shown[n]) {
                        shown[n] = Form_MTU->MtuRxTime2Shown[n];
                        latencyMs.push_back(double(now - shown[n]) / 1000.0);
                    }
            });
            hogs = StartCpuHogs();
            app.RunFor(1000);
            CopnInterface->Trace_Start(recording.c_str());
            const int64_t wallStart = MonotonicMicros();
            const int64_t appStart = ProcessCpuMicros();
            const int64_t listenerStart = ProcessCpuMicros(listener);
            latencyMs.clear();
            CopnInterface->NMT_StartRemoteNode(GATEWAY);
            app.RunFor(UNDER_LOAD_SECONDS * 1000);
            // Back to pre-operational: the stream ends; what is queued drains.
            CopnInterface->NMT_ResetCommunication(GATEWAY);
            seconds = double(MonotonicMicros() - wallStart) / 1e6;
            appCpu = double(ProcessCpuMicros() - appStart) / 1e6;
            listenerCpu = double(ProcessCpuMicros(listener) - listenerStart) / 1e6;
            getloadavg(load, 3);
            app.RunFor(2000);
            CopnInterface->Trace_Stop();
            CopnInterface->Trace_GetStatus(&trace);
            CopnInterface->GetBusStatistics(&bus);
            app.PdoCounts(GATEWAY, &received, &dropped);
            const int series = trend->Store().IndexOf(1);
            plotted = series < 0 ? 0 : trend->Store().AllSeries()[size_t(series)].Size();
            historyLost = Form_MTU->HistoryFeed.Lost();
            trendDropped = Form_MTU->TrendQueue.Dropped();
            delete trend;
        });
    });
    StopCpuHogs(hogs);
    for (pid_t each : {counter, listener}) {
        kill(each, SIGTERM);
        WaitFor(each);
    }
    app.StopSimulator();
    const size_t sent = CountParameterOnePdos(heard, GATEWAY);
    std::printf("under load: %zu CPU-bound processes at normal priority, %d PDOs/s for %.1f s (burst), "
                "monitor and a trend of MTU parameter 1 showing, recording; load average %.2f %.2f %.2f:\n",
                hogs.size(), BURST_RATE, seconds, load[0], load[1], load[2]);
    std::printf("  PDOs received %u (%.0f/s), dropped by the library %u\n", received, received / seconds, dropped);
    std::printf("  MTU parameter 1: %zu values heard on the bus, %zu in the trend\n", sent, plotted);
    std::printf("  lost: recording %llu (%llu written), emergency queue %llu, history queue %llu, trend queue %llu\n",
                static_cast<unsigned long long>(trace.FramesLost), static_cast<unsigned long long>(trace.FramesWritten),
                static_cast<unsigned long long>(bus.EmcyFramesLost), static_cast<unsigned long long>(historyLost),
                static_cast<unsigned long long>(trendDropped));
    std::printf("  receipt to cell: median %.1f ms, 99th percentile %.1f ms (%zu cell writes)\n",
                Percentile(latencyMs, 0.5), Percentile(latencyMs, 0.99), latencyMs.size());
    std::printf("  tarnwick (whole process)  %5.1f %% of one core\n", 100 * appCpu / seconds);
    std::printf("  canbusutil -l             %5.1f %% of one core\n", 100 * listenerCpu / seconds);
    std::printf("  ratio tarnwick / canbusutil  %.2f\n", listenerCpu > 0 ? appCpu / listenerCpu : 0.0);
    const bool whole = dropped == 0 && sent > 0 && plotted == sent && trace.FramesLost == 0
        && bus.EmcyFramesLost == 0 && historyLost == 0 && trendDropped == 0;
    return whole ? 0 : 1;
}

// The application's, tarnwick-record's and canbusutil's CPU over one stretch.
struct CpuStretch {
    double seconds = 0, app = 0, recorder = 0, listener = 0;
    double Percent(double cpu) const { return seconds > 0 ? 100 * cpu / seconds : 0; }
};

CpuStretch MeasureStretch(AppOnBus &app, pid_t recorder, pid_t listener, int ms)
{
    const int64_t wall = MonotonicMicros(), own = ProcessCpuMicros();
    const int64_t rec = ProcessCpuMicros(recorder), lis = ProcessCpuMicros(listener);
    app.RunFor(ms);
    CpuStretch stretch;
    stretch.seconds = double(MonotonicMicros() - wall) / 1e6;
    stretch.app = double(ProcessCpuMicros() - own) / 1e6;
    stretch.recorder = double(ProcessCpuMicros(recorder) - rec) / 1e6;
    stretch.listener = double(ProcessCpuMicros(listener) - lis) / 1e6;
    return stretch;
}

int MeasureRecording()
{
    AppOnBus app;
    if (StartSimulator(app, {"--scenario", "burst", "--rate", std::to_string(BURST_RATE), "--self-start"}) != 0)
        return 1;
    QTemporaryDir folder;
    const std::string recorderLog = QFile::encodeName(folder.filePath(QStringLiteral("recorder.log"))).toStdString();
    const std::string appLog = QFile::encodeName(folder.filePath(QStringLiteral("app.log"))).toStdString();
    const pid_t recorder =
        Spawn({RECORD_PROGRAM, "--kind", "virtualcan", "--interface", app.BusUrl(), "--output", recorderLog}, true);
    const pid_t listener = Spawn({CANBUSUTIL, "-l", "virtualcan", app.BusUrl()}, true);
    if (recorder <= 0 || listener <= 0) {
        std::printf("cannot start %s or %s\n", RECORD_PROGRAM, CANBUSUTIL);
        return 1;
    }
    CpuStretch plain, recording;
    TraceStatus status{};
    int32_t started = 0; // the export gives 0 on failure
    app.Run([&] {
        app.StartNetworkAccess();
        app.WhileMonitorShows([&] {
            app.Until([] { return Form_MTU->AdvStringGrid_MTU_Data->Cell(2, 2) != "Missing Data"; });
            app.RunFor(1000);
            plain = MeasureStretch(app, recorder, listener, RECORD_SECONDS * 1000);
            started = CopnInterface->Trace_Start(appLog.c_str());
            recording = MeasureStretch(app, recorder, listener, RECORD_SECONDS * 1000);
            CopnInterface->Trace_Stop();
            CopnInterface->Trace_GetStatus(&status);
        });
    });
    kill(recorder, SIGTERM);
    const int recorderExit = WaitFor(recorder);
    kill(listener, SIGTERM);
    WaitFor(listener);
    app.StopSimulator();
    QFile session(folder.filePath(QStringLiteral("recorder.json")));
    session.open(QIODevice::ReadOnly);
    const QJsonObject recorded = QJsonDocument::fromJson(session.readAll()).object();
    const double lost = recorded.value(QStringLiteral("frames_lost")).toDouble(-1);
    std::printf("recording at %d PDOs/s (burst scenario, listen-only, monitor window showing, %d s each):\n",
                BURST_RATE, RECORD_SECONDS);
    std::printf("  tarnwick, not recording   %5.1f %% of one core\n", plain.Percent(plain.app));
    std::printf("  tarnwick, recording       %5.1f %% of one core (%+.1f), %llu frames written, %llu lost\n",
                recording.Percent(recording.app), recording.Percent(recording.app) - plain.Percent(plain.app),
                static_cast<unsigned long long>(status.FramesWritten),
                static_cast<unsigned long long>(status.FramesLost));
    const double both = plain.seconds + recording.seconds;
    std::printf("  tarnwick-record           %5.1f %% of one core, %.0f frames written, %.0f lost (exit %d)\n",
                100 * (plain.recorder + recording.recorder) / both,
                recorded.value(QStringLiteral("frames_written")).toDouble(-1), lost, recorderExit);
    std::printf("  canbusutil -l             %5.1f %% of one core\n", 100 * (plain.listener + recording.listener) / both);
    return started != 0 && status.FramesLost == 0 && lost == 0 && recorderExit == 0 ? 0 : 1;
}

int RunOne(int argc, char **argv, int (*measure)())
{
    PinTimeZone(); // as the application's main does
    UsePrivateConfigurationFolder();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int status = measure();
    std::fflush(stdout);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "browse")
        return RunOne(argc, argv, MeasureBrowse);
    if (mode == "latency")
        return RunOne(argc, argv, MeasureLatency);
    if (mode == "cpu")
        return RunOne(argc, argv, MeasureCpu);
    if (mode == "recording")
        return RunOne(argc, argv, MeasureRecording);
    if (mode == "underload")
        return RunOne(argc, argv, MeasureUnderLoad);
    if (mode == "spin")
        return Spin();
    if (!mode.empty()) {
        std::fprintf(stderr, "usage: %s [browse|latency|cpu|recording|underload]\n", argv[0]);
        return 2;
    }
    int failures = 0;
    for (const char *each : {"browse", "latency", "cpu"}) {
        std::fflush(stdout);
        const pid_t child = Spawn({"/proc/self/exe", each}, false);
        failures += child <= 0 || WaitFor(child) != 0;
        std::printf("\n");
    }
    return failures == 0 ? 0 : 1;
}
