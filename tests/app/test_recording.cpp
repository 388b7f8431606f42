// The "Recording" menu against the recording double: when each item can be
// used, what is asked of the library and in which order, the status shown,
// the session file completed, and a replay chosen as this session's
// interface without the stored configuration being touched.
#include "test_network_support.h"

#include "BlackBoxControl.h"
#include "Platform.h"
#include "Dialogs.h"
#include "RecordingControl.h"
#include "RecordingSession.h"
#include "SpinEdit.h"

#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenuBar>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>

#include <algorithm>
#include <cerrno>

namespace {

using namespace network_test;

struct Chosen {
    bool forSaving;
    QString proposed;
};

class Recording : public NetworkWindow {
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", directory.FilePath(QStringLiteral("data")).toLocal8Bit());
        NetworkWindow::SetUp();
        qeldouble::SetInterfaceName(QELCOPN_KIND_RECORDING, "Recording file");
        SetFileDialogHook([this](bool forSaving, const QString &, const QString &proposed, const QString &) {
            dialogs.push_back({forSaving, proposed});
            return answer;
        });
    }
    void TearDown() override
    {
        SetFileDialogHook(nullptr);
        NetworkWindow::TearDown();
        qunsetenv("XDG_DATA_HOME");
    }

    TRecordingControl &control() { return *form->Recording; }

    struct Enabled {
        bool start, stop, saveLastMinutes, replay;
        bool operator==(const Enabled &) const = default;
    };
    Enabled Actions()
    {
        return {control().StartRecording->isEnabled(), control().StopRecording->isEnabled(),
                control().SaveLastMinutes->isEnabled(), control().ReplayRecording->isEnabled()};
    }

    QString StartRecordingAs(const QString &path)
    {
        answer = path;
        control().StartRecording->trigger();
        return control().RecordingPath();
    }

    void WriteFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QJsonObject ReadJson(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    size_t IndexOfCall(const std::string &name)
    {
        const auto names = WindowCallNames();
        return size_t(std::find(names.begin(), names.end(), name) - names.begin());
    }

    QString answer;
    std::vector<Chosen> dialogs;
};

TEST_F(Recording, MenuSitsBetweenNetworkAndHelpAndFollowsNetworkAccess)
{
    const QList<QAction *> menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[1]->text(), QStringLiteral("Recording"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("Help"));
    QStringList items;
    for (QAction *action : control().Menu->actions())
        if (!action->isSeparator())
            items << action->text();
    EXPECT_EQ(items, (QStringList{"Start Recording...", "Stop Recording", "Save Last Minutes...",
                                  "Automatic Black Box", "Replay Recording...", "Export Recording As..."}));

    EXPECT_EQ(Actions(), (Enabled{false, false, false, true}));
    StartAccess();
    EXPECT_EQ(Actions(), (Enabled{true, false, true, false}));
    ASSERT_FALSE(StartRecordingAs(directory.FilePath(QStringLiteral("a.log"))).isEmpty());
    EXPECT_EQ(Actions(), (Enabled{false, true, true, false}));
    control().StopRecording->trigger();
    EXPECT_EQ(Actions(), (Enabled{true, false, true, false}));
    StopAccess();
    EXPECT_EQ(Actions(), (Enabled{false, false, false, true}));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Recording, StartProposesADatedNameInTheRecordingsFolderAndShowsTheFrameCount)
{
    StartAccess();
    const QString chosen = directory.FilePath(QStringLiteral("engine run"));
    StartRecordingAs(chosen);

    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].forSaving);
    const QString folder = directory.FilePath(QStringLiteral("data/Quelbrook/Tarnwick/recordings"));
    EXPECT_TRUE(QDir(folder).exists()) << "made when missing";
    EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(folder) +
                                   QStringLiteral("/\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.log"))
                    .match(dialogs[0].proposed)
                    .hasMatch())
        << dialogs[0].proposed.toStdString();
    // The suffix is added, so that the session file can sit beside it.
    ASSERT_EQ(qeldouble::CallsTo("Trace_Start").size(), 1u);
    EXPECT_EQ(QString::fromStdString(qeldouble::CallsTo("Trace_Start")[0].text), chosen + ".log");

    qeldouble::SetTraceProgress(12345);
    control().RefreshStatus();
    QLabel *monitorLabel = TRecordingControl::MonitorStatusLabel();
    ASSERT_NE(monitorLabel, nullptr);
    for (QLabel *label : {control().StatusLabel, monitorLabel}) {
        EXPECT_EQ(label->text(), QStringLiteral("Recording: engine run (12345 frames)"));
        EXPECT_FALSE(label->isHidden());
    }
    // A disk that filled up: the library goes on recording, and the status
    // says what is being lost and why.
    qeldouble::SetTraceProgress(4062, ENOSPC, true, 4965);
    control().RefreshStatus();
    EXPECT_EQ(control().StatusLabel->text(),
              QStringLiteral("Recording: engine run, 4062 frames, 4965 lost: No space left on device"));
    EXPECT_EQ(monitorLabel->text(), QStringLiteral("Recording: 4062 frames, 4965 lost: No space left on device"))
        << "the monitor's narrow bar leaves the name out";
    EXPECT_EQ(monitorLabel->toolTip(), control().StatusLabel->text());
    EXPECT_TRUE(boxes.boxes.empty()) << "a recording that goes on shows no box";
    StopAccess();
    EXPECT_TRUE(control().StatusLabel->isHidden());
    EXPECT_TRUE(monitorLabel->isHidden());
}

TEST_F(Recording, StopAccessEndsTheRecordingFirstAndCompletesTheSessionFile)
{
    form->AdvSpinEdit_NodeID->SetValue(21);
    StartAccess();
    const QString log = directory.FilePath(QStringLiteral("run.log"));
    StartRecordingAs(log);
    // As the library leaves it: its own keys, ours still missing.
    WriteFile(directory.FilePath(QStringLiteral("run.json")), R"({"tool":"tarnwick","frames_written":7})");
    form->GatewayProductCode = 1104;
    qeldouble::ClearCalls();
    StopAccess();

    EXPECT_LT(IndexOfCall("Trace_Stop"), IndexOfCall("SetOnline"));
    EXPECT_LT(IndexOfCall("Trace_Stop"), IndexOfCall("CloseInterface"));
    const QJsonObject session = ReadJson(directory.FilePath(QStringLiteral("run.json")));
    EXPECT_EQ(session.value("tool").toString(), QStringLiteral("tarnwick"));
    EXPECT_EQ(session.value("frames_written").toInt(), 7);
    EXPECT_EQ(session.value("gateway_node_id").toInt(), 21);
    EXPECT_EQ(session.value("product_code").toInt(), 1104);
    EXPECT_FALSE(QFile::exists(directory.FilePath(QStringLiteral("run.json.tmp"))));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Recording, ClosingTheApplicationEndsTheRecordingBeforeTheAdapterGoes)
{
    StartAccess();
    StartRecordingAs(directory.FilePath(QStringLiteral("closing.log")));
    qeldouble::ClearCalls();
    form->FormClose();
    ASSERT_EQ(qeldouble::CallCount("Trace_Stop"), 1u);
    EXPECT_LT(IndexOfCall("Trace_Stop"), IndexOfCall("SetOnline"));
    EXPECT_LT(IndexOfCall("Trace_Stop"), IndexOfCall("CloseCard"));
}

TEST_F(Recording, FailuresAreShownWithTheirCause)
{
    StartAccess();
    // Cancel: nothing asked of the library.
    StartRecordingAs(QString());
    EXPECT_EQ(qeldouble::CallCount("Trace_Start"), 0u);

    qeldouble::QueueResults("Trace_Start", {0});
    qeldouble::SetLastErrorOnReturn("Trace_Start", EACCES);
    const QString denied = directory.FilePath(QStringLiteral("denied.log"));
    EXPECT_TRUE(StartRecordingAs(denied).isEmpty());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Cannot Start Recording\r\n" + denied + "\r\n" + strerror(EACCES));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(Actions(), (Enabled{true, false, true, false}));

    // The library ends a recording on a full disk: the user is told, and
    // the menu is ready for another.
    const QString full = directory.FilePath(QStringLiteral("full.log"));
    ASSERT_FALSE(StartRecordingAs(full).isEmpty());
    qeldouble::SetTraceProgress(99, ENOSPC, false);
    control().RefreshStatus();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, "Recording Stopped\r\n" + full + "\r\n" + strerror(ENOSPC));
    EXPECT_EQ(Actions(), (Enabled{true, false, true, false}));
    EXPECT_TRUE(control().StatusLabel->isHidden());

    // A session file that is not JSON is left as it was, and said so.
    StartRecordingAs(directory.FilePath(QStringLiteral("broken.log")));
    WriteFile(directory.FilePath(QStringLiteral("broken.json")), "{\"tool\":");
    control().StopRecording->trigger();
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_TRUE(boxes.boxes[2].text.startsWith(QStringLiteral("Cannot Write Session File")));
    QFile broken(directory.FilePath(QStringLiteral("broken.json")));
    ASSERT_TRUE(broken.open(QIODevice::ReadOnly));
    EXPECT_EQ(broken.readAll(), QByteArray("{\"tool\":"));
}

TEST_F(Recording, ReplayBecomesThisSessionsListenOnlyInterfaceWithoutSavingIt)
{
    form->RadioButton_Cyclic->click();
    const QString log = directory.FilePath(QStringLiteral("table.log"));
    WriteFile(log, "(1733750000.123456) can0 487#00 R\n");
    WriteFile(directory.FilePath(QStringLiteral("table.json")), R"({"gateway_node_id":9,"product_code":1104})");
    answer = log;
    control().ReplayRecording->trigger();

    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].forSaving);
    EXPECT_TRUE(boxes.boxes.empty());
    const HardwareConfiguration &hw = CopnInterface->HardwareConfiguration;
    EXPECT_EQ(hw.InterfaceType, QELCOPN_KIND_RECORDING);
    EXPECT_EQ(QString::fromLocal8Bit(hw.AccessPoint), QFileInfo(log).absoluteFilePath());
    EXPECT_TRUE(form->RadioButton_ListenOnly->isChecked());
    EXPECT_EQ(form->AdvSpinEdit_NodeID->Value(), 9);
    EXPECT_EQ(form->GatewayProductCode, 1104);
    EXPECT_EQ(form->StaticText_InterfaceType->text(), QStringLiteral("Recording file"));
    EXPECT_EQ(form->StaticText_InterfaceConfig1->text(), QFileInfo(log).absoluteFilePath());

    StartAccess();
    EXPECT_EQ(form->GatewayNodeId, 9);
    EXPECT_EQ(qeldouble::CallCount("OpenInterface"), 1u);
    StopAccess();
    EXPECT_EQ(qeldouble::CallCount("SaveConfiguration"), 0u);
    EXPECT_FALSE(qeldouble::LastSavedConfiguration().has_value());

    // The configuration window is about the stored adapter again.
    qeldouble::SetResult("CANopenConfigurationWindow", 0);
    form->MenuItem_NetworkConfiguration->trigger();
    EXPECT_EQ(CopnInterface->HardwareConfiguration.InterfaceType, 2u);
    EXPECT_STREQ(CopnInterface->HardwareConfiguration.AccessPoint, "can0");
    EXPECT_TRUE(control().ReplayPath().isEmpty());
}

TEST_F(Recording, ReplayToleratesAMissingOrBrokenSessionFileAndRefusesAMissingLog)
{
    form->AdvSpinEdit_NodeID->SetValue(7);
    form->GatewayProductCode = 1101; // as an earlier browse left it
    const QString log = directory.FilePath(QStringLiteral("bare.log"));
    WriteFile(log, "");
    for (const QByteArray &session : {QByteArray(), QByteArray("not json"),
                                      QByteArray(R"({"gateway_node_id":7.5,"product_code":"1104"})"),
                                      QByteArray(R"({"gateway_node_id":200})")}) {
        SCOPED_TRACE(session.toStdString());
        QFile::remove(directory.FilePath(QStringLiteral("bare.json")));
        if (!session.isEmpty())
            WriteFile(directory.FilePath(QStringLiteral("bare.json")), session);
        answer = log;
        control().ReplayRecording->trigger();
        EXPECT_EQ(control().ReplayPath(), QFileInfo(log).absoluteFilePath());
        EXPECT_EQ(form->AdvSpinEdit_NodeID->Value(), 7);
        EXPECT_EQ(form->GatewayProductCode, 0) << "not this recording's gateway";
    }
    EXPECT_TRUE(boxes.boxes.empty());

    control().EndReplaySession();
    answer = directory.FilePath(QStringLiteral("gone.log"));
    control().ReplayRecording->trigger();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Cannot Open Recording\r\n" + answer);
    EXPECT_EQ(CopnInterface->HardwareConfiguration.InterfaceType, 2u);
}

// The black box: what is asked of the library, when, and what is reported.
class BlackBox : public Recording {
protected:
    TBlackBoxControl &blackBox() { return *form->BlackBox; }
    // Lets the event loop run until the saves asked for so far have ended.
    bool SavesEnd()
    {
        return WaitUntil([this] { return blackBox().SavesRunning() == 0 && !blackBox().CapturePending(); });
    }
    bool WaitUntil(const std::function<bool()> &condition)
    {
        for (int i = 0; i < 30000 && !condition(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::msleep(1);
        }
        return condition();
    }
};

TEST_F(BlackBox, SaveLastMinutesAsksHowManyAndWhereAndTheLibraryWritesThem)
{
    StartAccess();
    ASSERT_EQ(qeldouble::CallsTo("Trace_SetBlackBoxMinutes").size(), 1u) << "sized when the adapter opened";
    const QString path = directory.FilePath(QStringLiteral("kept.log"));
    QString proposed;
    int most = 0;
    WhenModalShows([&](QWidget *modal) {
        auto *minutes = modal->findChild<QSpinBox *>(QStringLiteral("SpinBox_Minutes"));
        auto *where = modal->findChild<QLineEdit *>(QStringLiteral("Edit_Path"));
        ASSERT_TRUE(minutes && where);
        proposed = where->text();
        most = minutes->maximum();
        minutes->setValue(3);
        where->setText(path);
        static_cast<QDialog *>(modal)->accept();
    });
    blackBox().SaveLastMinutes->trigger();
    ASSERT_TRUE(SavesEnd());
    EXPECT_TRUE(proposed.startsWith(BlackBoxFolder() + "/")) << proposed.toStdString();
    EXPECT_TRUE(proposed.endsWith("_saved.log")) << proposed.toStdString();
    EXPECT_EQ(most, 10) << "what the black box keeps by default";
    const auto saves = qeldouble::CallsTo("Trace_SaveRecent");
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].text, path.toStdString());
    EXPECT_EQ(saves[0].args[2], 180u);
    EXPECT_EQ(blackBox().LastSaved(), path);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(BlackBox, AnEventInsideTheSpanAfterJoinsTheCaptureAndAFailureIsToldOnce)
{
    StartAccess();
    EXPECT_TRUE(blackBox().AutomaticBlackBox->isChecked()) << "on by default";
    blackBox().SetCaptureSpans(5, 200);
    blackBox().NoteEvents({{0, 1, 17, THistoryKind::FaultActive}, {0, 0, 17, THistoryKind::FaultCleared}});
    QThread::msleep(100);
    QCoreApplication::processEvents();
    blackBox().NoteEvent(QStringLiteral("mtu-offline"));
    ASSERT_TRUE(blackBox().CapturePending());
    ASSERT_TRUE(SavesEnd());
    auto saves = qeldouble::CallsTo("Trace_SaveRecent");
    ASSERT_EQ(saves.size(), 1u) << "one capture for both events";
    const QString capture = QString::fromStdString(saves[0].text);
    EXPECT_TRUE(capture.startsWith(BlackBoxFolder() + "/")) << saves[0].text;
    EXPECT_TRUE(capture.endsWith("_fault-17.log")) << saves[0].text;
    // 5 s before the first event and 200 ms after it.
    EXPECT_GE(saves[0].args[2], 6u);
    EXPECT_EQ(blackBox().LastSaved(), capture);
    auto *label = form->StatusLine->findChild<QLabel *>(QStringLiteral("BlackBoxStatusLine"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Black box: " + RecordingDisplayName(capture));

    // A full disk: told once, however many captures fail; the next event
    // tries again.
    qeldouble::SetResult("Trace_SaveRecent", 0);
    qeldouble::SetLastErrorOnReturn("Trace_SaveRecent", ENOSPC);
    for (int i = 0; i < 2; ++i) {
        blackBox().NoteEvent(QStringLiteral("mtu-offline"));
        ASSERT_TRUE(SavesEnd());
    }
    EXPECT_EQ(qeldouble::CallsTo("Trace_SaveRecent").size(), 3u);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith("Cannot Save Black Box\r\n")) << boxes.boxes[0].text.toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.endsWith(strerror(ENOSPC)));

    // Switched off, and remembered so.
    blackBox().AutomaticBlackBox->trigger();
    EXPECT_FALSE(QSettings(QStringLiteral("FORM.INI"), QSettings::IniFormat).value("BlackBox/Automatic", true).toBool());
    blackBox().NoteEvent(QStringLiteral("mtu-offline"));
    EXPECT_FALSE(blackBox().CapturePending());
}

// A fault that keeps coming: each capture ends a span after its first event,
// so captures keep being written, and the first holds the lead-up.
TEST_F(BlackBox, AFaultThatKeepsComingGivesACaptureEachSpan)
{
    StartAccess();
    blackBox().SetCaptureSpans(5, 300);
    for (int i = 0; i < 15; ++i) {
        blackBox().NoteEvent(QStringLiteral("mtu-offline"));
        WaitUntil([start = MonotonicMicros()] { return MonotonicMicros() - start >= 100000; });
    }
    const auto whileFlapping = qeldouble::CallsTo("Trace_SaveRecent");
    ASSERT_GE(whileFlapping.size(), 2u) << "captures while the events go on";
    EXPECT_GE(whileFlapping[0].args[2], 5u) << "the first capture holds the span before the first event";
    EXPECT_NE(whileFlapping[0].text, whileFlapping[1].text);
    ASSERT_TRUE(SavesEnd());
}

TEST_F(BlackBox, StopAccessSavesACaptureUnderWayBeforeTheAdapterClosesAndTellsItsEnd)
{
    StartAccess();
    blackBox().NoteEvent(QStringLiteral("mtu-offline"));
    ASSERT_TRUE(blackBox().CapturePending());
    qeldouble::ClearCalls();
    StopAccess();
    EXPECT_LT(IndexOfCall("Trace_SaveRecent"), IndexOfCall("CloseInterface"));
    const auto saves = qeldouble::CallsTo("Trace_SaveRecent");
    const uint64_t seconds = saves.at(0).args[2];
    EXPECT_GE(seconds, 120u) << "the span before, and what came after";
    EXPECT_LT(seconds, 180u) << "without waiting for the span after";
    EXPECT_FALSE(blackBox().CapturePending());
    EXPECT_EQ(blackBox().LastSaved(), QString::fromStdString(saves[0].text)) << "the end is announced";
    EXPECT_TRUE(boxes.boxes.empty());

    // The same save failing is told, as any other capture's failure is.
    StartAccess();
    blackBox().NoteEvent(QStringLiteral("mtu-offline"));
    qeldouble::SetResult("Trace_SaveRecent", 0);
    qeldouble::SetLastErrorOnReturn("Trace_SaveRecent", ENOSPC);
    StopAccess();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith("Cannot Save Black Box\r\n")) << boxes.boxes[0].text.toStdString();
    EXPECT_EQ(blackBox().SavesRunning(), 0);
}

TEST_F(BlackBox, AFolderThatCannotBeMadeIsToldOnceAndNothingStops)
{
    // The data folder is a file: nothing can be made below it.
    WriteFile(directory.FilePath(QStringLiteral("data")), "not a folder");
    StartAccess();
    for (int i = 0; i < 3; ++i)
        blackBox().NoteEvent(QStringLiteral("fault-1"));
    EXPECT_FALSE(blackBox().CapturePending());
    EXPECT_EQ(qeldouble::CallCount("Trace_SaveRecent"), 0u);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith("Cannot Create Folder\r\n" + BlackBoxFolder()));
    EXPECT_TRUE(form->Button_NetworkStopAccess->isEnabled());
}

TEST_F(BlackBox, TheFolderIsKeptUnderItsCapOldestFirst)
{
    StartAccess();
    const QString folder = BlackBoxFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    // Three earlier captures of 400 bytes each, oldest first.
    for (int i = 0; i < 3; ++i) {
        const QString name = folder + QStringLiteral("/old-%1").arg(i);
        WriteFile(name + ".log", QByteArray(300, 'x'));
        WriteFile(name + ".json", QByteArray(100, 'y'));
        const QDateTime when = QDateTime::currentDateTime().addSecs(-3600 + i * 60);
        for (const QString &suffix : {".log", ".json"}) {
            QFile file(name + suffix);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(when, QFileDevice::FileModificationTime);
        }
    }
    blackBox().SetFolderCap(1000);
    blackBox().SetCaptureSpans(1, 10);
    // The double writes nothing: the capture is as large as its name says.
    blackBox().NoteEvent(QStringLiteral("mtu-offline"));
    ASSERT_TRUE(SavesEnd());
    const QString capture = blackBox().LastSaved();
    WriteFile(capture, QByteArray(300, 'z'));
    blackBox().NoteEvent(QStringLiteral("mtu-offline")); // prunes after it
    ASSERT_TRUE(SavesEnd());
    QStringList left = QDir(folder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(left, (QStringList{QFileInfo(capture).fileName(), "old-2.json", "old-2.log"}));
}

} // namespace
