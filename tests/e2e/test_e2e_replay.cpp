// Recordings replayed in the application as the technician does it:
// Recording > Replay Recording..., Start, and the monitor, each case in a
// fresh session (the monitor keeps its cells between showings). A recording
// of the table scenario, made by tarnwick-record with the gateway held still
// for a while, shows the table and the largest gaps the recording holds;
// a log that python-can's CanutilsLogWriter wrote shows every value.
#include "AppOnBus.h"

#include "Dialogs.h"
#include "GatewayObjects.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "RecordingControl.h"
#include "SimulatorProcess.h"
#include "SpinEdit.h"
#include "StringGrid.h"
#include "TableValues.h"
#include "TForm_MTU.h"
#include "trace/CandumpLine.h"

#include <QApplication>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <map>

namespace trace = qelcopn::trace;

using namespace gatewaysim::testing;

namespace {

constexpr uint8_t GATEWAY = 7;
constexpr int MTU_ROWS = 254;
constexpr int DINBUS_BYTES = 36;
constexpr int MAX_GAP_COLUMN = 5;
// The gateway is held still this long: longer than any gap it makes itself.
constexpr int PAUSE_MS = 1200;

const bool applicationInstalled = InstallAppOnBusApplication();

std::string Hex(int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", uint32_t(value));
    return text;
}

std::string ByteText(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string MtuValue(int n) { return Form_MTU->AdvStringGrid_MTU_Data->Cell(2, n); }
std::string MtuHex(int n) { return Form_MTU->AdvStringGrid_MTU_Data->Cell(3, n); }
std::string DinBus(int n) { return Form_MTU->AdvStringGrid_DinBus->Cell(2, n); }

double MaxGapMs(int n)
{
    const std::string text = Form_MTU->AdvStringGrid_MTU_Data->Cell(MAX_GAP_COLUMN, n);
    return text.empty() ? 0.0 : std::stod(text);
}

bool EveryRowHasAGapOver(double ms)
{
    for (int n = 1; n <= MTU_ROWS; ++n)
        if (MaxGapMs(n) < ms)
            return false;
    return true;
}

bool EveryRowShows(const std::function<int32_t(int)> &mtu, const std::function<uint8_t(int)> &dinBus)
{
    for (int n = 1; n <= MTU_ROWS; ++n)
        if (MtuHex(n) != Hex(mtu(n)))
            return false;
    for (int n = 1; n <= DINBUS_BYTES; ++n)
        if (DinBus(n) != ByteText(dinBus(n)))
            return false;
    return true;
}

// The largest gap between two receipts of each MTU parameter in a recording.
std::map<int, double> RecordedMaxGapsMs(const QString &path)
{
    std::map<int, double> gaps;
    std::map<int, int64_t> last;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return gaps;
    while (!file.atEnd()) {
        trace::TraceRecord r;
        if (trace::parseLine(file.readLine().toStdString(), &r) != trace::ParseResult::Frame || r.sent
            || r.frame.id != 0x480u + GATEWAY || r.frame.length != 8
            || (r.frame.data[1] | r.frame.data[2] << 8) != GATEWAY_INDEX_MTU_PARAMETER)
            continue;
        const int n = r.frame.data[3];
        if (last.count(n) != 0)
            gaps[n] = std::max(gaps[n], double(r.wallMicros - last[n]) / 1000.0);
        last[n] = r.wallMicros;
    }
    return gaps;
}

int LineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

class Replay : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetFileDialogHook([this](bool, const QString &, const QString &, const QString &) { return chosen; });
    }
    void TearDown() override
    {
        SetFileDialogHook(nullptr);
        EXPECT_EQ(CopnInterface, nullptr) << "the library was released";
    }

    // Replay Recording... with `path` chosen, Start, and the monitor.
    void ReplayShows(const QString &path, const std::function<void()> &look)
    {
        MainForm->AdvSpinEdit_NodeID->SetValue(GATEWAY);
        chosen = path;
        MainForm->Recording->ReplayRecording->trigger();
        ASSERT_TRUE(MainForm->RadioButton_ListenOnly->isChecked());
        app.StartNetworkAccess();
        ASSERT_TRUE(app.boxes.boxes.empty()) << app.boxes.boxes.front().text.toStdString();
        EXPECT_TRUE(app.WhileMonitorShows(look));
        app.StopNetworkAccess();
        EXPECT_TRUE(app.boxes.boxes.empty());
    }

    AppOnBus app;
    QTemporaryDir folder;
    QString chosen;
};

} // namespace

TEST_F(Replay, ARecordingOfTheTableShowsTheTableAndTheRecordedLargestGaps)
{
    ASSERT_EQ(app.StartSimulator({"--scenario", "table", "--self-start", "--rate", "400"}), "");
    const QString recording = folder.filePath(QStringLiteral("table.log"));
    app.Run([&] {
        // A round of the table, the gateway held still, another round.
        SimulatorProcess recorder(TARNWICK_RECORD, {"--kind", "2", "--interface", app.BusUrl(), "--output",
                                                    recording.toStdString()});
        ASSERT_TRUE(app.Until([&] { return LineCount(recording) > 400; }));
        ::kill(app.Simulator().pid(), SIGSTOP);
        app.RunFor(PAUSE_MS);
        ::kill(app.Simulator().pid(), SIGCONT);
        const int beforeRound = LineCount(recording);
        ASSERT_TRUE(app.Until([&] { return LineCount(recording) > beforeRound + 400; }));
        ASSERT_EQ(recorder.stop(SIGTERM), 0) << recorder.errorOutput();
        EXPECT_EQ(app.StopSimulator(), 0);
        const std::map<int, double> recorded = RecordedMaxGapsMs(recording);
        ASSERT_EQ(recorded.size(), size_t(MTU_ROWS));

        ReplayShows(recording, [&] {
            // The rows fill in the recording's order: wait for every value and
            // gap checked below.
            const auto gapsAsRecorded = [&] {
                return std::all_of(recorded.begin(), recorded.end(),
                                   [](const auto &row) { return std::abs(MaxGapMs(row.first) - row.second) <= 1.0; });
            };
            ASSERT_TRUE(app.Until([&] {
                return EveryRowHasAGapOver(PAUSE_MS) && EveryRowShows(tableMtuValue, tableDinBusByte) &&
                       gapsAsRecorded();
            }));
            EXPECT_EQ(MtuValue(2), "1500");
            EXPECT_EQ(MtuValue(108), "-12");
            EXPECT_EQ(MtuValue(120), "Missing Data");
            EXPECT_EQ(MtuValue(121), "Sensor Defect");
            for (const auto &[n, gap] : recorded)
                EXPECT_NEAR(MaxGapMs(n), gap, 1.0) << "parameter " << n;
        });
    });
}

TEST_F(Replay, ALogWrittenByPythonCanShowsEveryValue)
{
    // Run as the simulator is, not through QProcess: its way of starting a
    // child leaves ThreadSanitizer blind to this thread's locks afterwards.
    if (SimulatorProcess("/usr/bin/python3", {"-c", "import can"}).wait() != 0)
        GTEST_SKIP() << "python-can is not installed";
    // Two rounds of every MTU parameter and DinBus byte, 2 ms apart.
    const QString log = folder.filePath(QStringLiteral("python-can.log"));
    const std::string script = (
        "import sys, struct, can\n"
        "writer = can.CanutilsLogWriter(sys.argv[1], channel='can0')\n"
        "t = 1733750000.0\n"
        "for rounds in range(2):\n"
        "    for n in range(1, 255):\n"
        "        t += 0.002\n"
        "        data = struct.pack('<BHBi', 7, 0x4200, n, 1000 * n - 77777)\n"
        "        writer.on_message_received(can.Message(timestamp=t, arbitration_id=0x487, data=data,\n"
        "                                               is_extended_id=False))\n"
        "    for n in range(1, 37):\n"
        "        t += 0.002\n"
        "        data = struct.pack('<BHBBxxx', 7, 0x3501, n, (7 * n) & 0xFF)\n"
        "        writer.on_message_received(can.Message(timestamp=t, arbitration_id=0x487, data=data,\n"
        "                                               is_extended_id=False))\n"
        "writer.stop()\n");
    ASSERT_EQ(SimulatorProcess("/usr/bin/python3", {"-c", script, log.toStdString()}).wait(), 0);
    ASSERT_GT(LineCount(log), 500);
    app.Run([&] {
        ReplayShows(log, [&] {
            EXPECT_TRUE(app.Until([] {
                return EveryRowShows([](int n) { return 1000 * n - 77777; },
                                     [](int n) { return uint8_t(7 * n); });
            })) << "parameter 1 shows " << MtuHex(1) << ", DinBus byte 36 " << DinBus(36);
            EXPECT_EQ(MtuValue(1), "-76777");
            EXPECT_EQ(MtuValue(254), "176223");
        });
    });
}
