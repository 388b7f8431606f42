// The automatic black box end to end: the MTU of the simulator's flap
// scenario goes offline, and the capture saved by itself (with a span of a
// few seconds in place of minutes) holds what the bus carried before it and
// reads back with python-can.
#include "AppOnBus.h"

#include "BlackBoxControl.h"
#include "GatewayObjects.h"
#include "Main.h"
#include "ReadTraceLog.h"
#include "RecordingSession.h"
#include "TForm_MTU.h"
#include "trace/CandumpLine.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trace = qelcopn::trace;

namespace {

constexpr int BEFORE_SECONDS = 3;
constexpr int AFTER_MS = 300;
constexpr int64_t SECOND_US = 1000000;

const bool applicationInstalled = InstallAppOnBusApplication();


bool IsOfflineReport(const trace::TraceRecord &r)
{
    return r.frame.id == 0x87 && r.frame.length >= 4 && uint16_t(r.frame.data[0] | r.frame.data[1] << 8) ==
        GATEWAY_EMCY_MTU_OFFLINE && r.frame.data[3] == GATEWAY_EMCY_KIND_STATE;
}

// How many frames python-can's reader gives, or nothing without it.
std::optional<int> FramesPythonCanReads(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QStringLiteral("import sys\ntry:\n import can\nexcept ImportError:\n sys.exit(3)\n"
                                                       "print(sum(1 for _ in can.CanutilsLogReader(sys.argv[1])))"),
                  path});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return std::nullopt;
    return python.readAllStandardOutput().trimmed().toInt();
}

TEST(EndToEndBlackBox, TheMtuGoingOfflineIsCapturedWithTheSpanBeforeIt)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    AppOnBus app;
    ASSERT_EQ(app.StartSimulator({"--scenario", "flap"}), "");
    QString capture;
    app.Run([&] {
        app.Choose(MainForm->RadioButton_Cyclic);
        app.StartNetworkAccess();
        app.Browse();
        ASSERT_EQ(MainForm->GatewayNodeId, 7);
        TBlackBoxControl &blackBox = *MainForm->BlackBox;
        EXPECT_TRUE(blackBox.AutomaticBlackBox->isChecked()) << "on by default";
        blackBox.SetCaptureSpans(BEFORE_SECONDS, AFTER_MS);
        ASSERT_TRUE(app.WhileMonitorShows([&] {
            // The black box holds more than the span before by now.
            app.RunFor((BEFORE_SECONDS + 1) * 1000);
            const QString before = blackBox.LastSaved();
            ASSERT_TRUE(app.Until([&] {
                return blackBox.LastSaved() != before && blackBox.LastSaved().endsWith("_mtu-offline.log");
            }));
            capture = blackBox.LastSaved();
        }));
        app.StopNetworkAccess();
    });
    EXPECT_EQ(app.StopSimulator(), 0);

    EXPECT_EQ(QFileInfo(capture).absolutePath(), QFileInfo(BlackBoxFolder()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo::exists(SessionFilePath(capture)));
    const std::vector<trace::TraceRecord> records = ReadTraceLog(capture);
    ASSERT_FALSE(records.empty());
    const auto offline = std::find_if(records.rbegin(), records.rend(), IsOfflineReport);
    ASSERT_NE(offline, records.rend()) << "the event itself is in it";
    // The gateway's PDOs of the span before, from its start on.
    const int64_t spanStart = offline->wallMicros - (BEFORE_SECONDS - 1) * SECOND_US;
    EXPECT_LE(records.front().wallMicros, spanStart);
    const auto pdosBefore = std::count_if(records.begin(), records.end(), [&](const trace::TraceRecord &r) {
        return r.frame.id == 0x487 && r.wallMicros < offline->wallMicros - SECOND_US;
    });
    EXPECT_GT(pdosBefore, 50);

    const std::optional<int> read = FramesPythonCanReads(capture);
    if (!read)
        GTEST_SKIP() << "no python3 with python-can";
    EXPECT_EQ(*read, int(records.size()));
}

} // namespace
