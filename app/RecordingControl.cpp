#include "RecordingControl.h"

#include "BlackBoxControl.h"
#include "Dialogs.h"
#include "Main.h"
#include "Platform.h"
#include "QEL_COPN_Interface.h"
#include "RecordingExport.h"
#include "RecordingSession.h"
#include "RecordingStatus.h"
#include "SpinEdit.h"
#include "TForm_MTU.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusBar>

#include <cstring>

namespace {

constexpr int STATUS_REFRESH_MS = 1000;
const QString MONITOR_LABEL_NAME = QStringLiteral("RecordingStatus");
const QString RECORDING_FILTER = QStringLiteral("Recordings (*.log)");
} // namespace

TRecordingControl::TRecordingControl(TMainForm *form) : QObject(form), form_(form)
{
    Menu = form->menuBar()->addMenu(QStringLiteral("Recording"));
    StartRecording = Menu->addAction(QStringLiteral("Start Recording..."));
    StopRecording = Menu->addAction(QStringLiteral("Stop Recording"));
    SaveLastMinutes = Menu->addAction(QStringLiteral("Save Last Minutes..."));
    Menu->addSeparator();
    ReplayRecording = Menu->addAction(QStringLiteral("Replay Recording..."));
    ExportRecording = Menu->addAction(QStringLiteral("Export Recording As..."));
    StatusLabel = StatusLabelIn(form->StatusLine, QStringLiteral("RecordingStatusLine"));

    const auto guarded = [this](void (TRecordingControl::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(StartRecording, &QAction::triggered, this, guarded(&TRecordingControl::StartRecordingClick));
    connect(StopRecording, &QAction::triggered, this, guarded(&TRecordingControl::StopRecordingClick));
    connect(ReplayRecording, &QAction::triggered, this, guarded(&TRecordingControl::ReplayRecordingClick));
    connect(ExportRecording, &QAction::triggered, this, [this] { RunGuarded([this] { ExportRecordingAs(form_); }); });
    refresh_.setInterval(STATUS_REFRESH_MS);
    connect(&refresh_, &QTimer::timeout, this, guarded(&TRecordingControl::RefreshStatus));
    connect(form, &TMainForm::NetworkAccessChanged, this, &TRecordingControl::UpdateActions);
    UpdateActions();
}

bool TRecordingControl::NetworkAccessOn() const
{
    return form_->NetworkAccessOn();
}

void TRecordingControl::UpdateActions()
{
    const bool recording = !recordingPath_.isEmpty();
    StartRecording->setEnabled(NetworkAccessOn() && !recording);
    StopRecording->setEnabled(recording);
    if (form_->BlackBox != nullptr)
        form_->BlackBox->UpdateActions(NetworkAccessOn());
    // The mode and the interface are fixed while network access is on.
    ReplayRecording->setEnabled(!NetworkAccessOn() && !recording);
}

QLabel *TRecordingControl::MonitorStatusLabel()
{
    return Form_MTU != nullptr ? StatusLabelIn(Form_MTU->StatusBar1, MONITOR_LABEL_NAME) : nullptr;
}

void TRecordingControl::ShowStatus(const QString &text, const QString &monitorText)
{
    ShowStatusText({StatusLabel}, text);
    // The whole text in the tooltip, where the monitor's bar has no room.
    QLabel *monitorLabel = MonitorStatusLabel();
    ShowStatusText({monitorLabel}, monitorText.isNull() ? text : monitorText);
    if (monitorLabel != nullptr)
        monitorLabel->setToolTip(text);
}

void TRecordingControl::StartRecordingClick()
{
    if (CopnInterface == nullptr || !NetworkAccessOn() || !recordingPath_.isEmpty())
        return;
    const QString folder = RecordingsFolder();
    if (!QDir().mkpath(folder)) {
        ShowFileError(QStringLiteral("Cannot Create Folder"), folder, GetLastError());
        return;
    }
    QString path = ChooseFile(true, QStringLiteral("Start Recording"),
                              folder + QLatin1Char('/') + ProposedRecordingName(QDateTime::currentDateTime()),
                              RECORDING_FILTER);
    if (path.isEmpty())
        return;
    // The session file goes beside NAME.log: the name keeps its suffix.
    path = WithRecordingSuffix(path);
    if (CopnInterface->Trace_Start(QFile::encodeName(path).constData()) == 0) {
        ShowFileError(QStringLiteral("Cannot Start Recording"), path, GetLastError());
        return;
    }
    recordingPath_ = path;
    ShowStatus(RecordingStatusText(path, 0));
    refresh_.start();
    UpdateActions();
}

void TRecordingControl::StopRecordingClick()
{
    EndRecording();
}

void TRecordingControl::RefreshStatus()
{
    if (recordingPath_.isEmpty() || CopnInterface == nullptr)
        return;
    TraceStatus status{};
    if (CopnInterface->Trace_GetStatus(&status) == 0)
        return; // the last status stays; the next second asks again
    if (status.Recording != 0) {
        ShowStatus(RecordingStatusText(recordingPath_, status.FramesWritten, status.FramesLost, status.LastError),
                   RecordingStatusText(recordingPath_, status.FramesWritten, status.FramesLost, status.LastError, false));
        return;
    }
    // The library ended it on its own: what it wrote stays, and the user
    // learns why the recording is over.
    const QString path = recordingPath_;
    EndRecording();
    if (status.LastError != 0)
        ShowFileError(QStringLiteral("Recording Stopped"), path, status.LastError);
}

void TRecordingControl::EndRecording()
{
    if (recordingPath_.isEmpty())
        return;
    refresh_.stop();
    const QString path = recordingPath_;
    recordingPath_.clear();
    ShowStatus(QString());
    UpdateActions();
    if (CopnInterface == nullptr)
        return;
    CopnInterface->Trace_Stop();
    // Known in Listen Only from the start, otherwise once a browse found it.
    GatewayIdentity identity;
    if (form_->RadioButton_ListenOnly->isChecked() || form_->NodeFound != 0)
        identity.nodeId = form_->GatewayNodeId;
    if (form_->GatewayProductCode != 0)
        identity.productCode = form_->GatewayProductCode;
    // A library that wrote no session file leaves nothing to complete.
    const QString sessionPath = SessionFilePath(path);
    if (QFileInfo::exists(sessionPath) && !WriteGatewayIdentity(sessionPath, identity))
        ShowFileError(QStringLiteral("Cannot Write Session File"), sessionPath);
}

void TRecordingControl::ReplayRecordingClick()
{
    if (CopnInterface == nullptr || NetworkAccessOn())
        return;
    const QString folder = RecordingsFolder();
    const QString path = ChooseFile(false, QStringLiteral("Replay Recording"),
                                    QFileInfo::exists(folder) ? folder : QDir::homePath(),
                                    RECORDING_READ_FILTER);
    if (path.isEmpty())
        return;
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable()) {
        ShowFileError(QStringLiteral("Cannot Open Recording"), path);
        return;
    }
    const QString absolute = file.absoluteFilePath();
    const QByteArray accessPoint = QFile::encodeName(absolute);
    if (accessPoint.size() >= QELCOPN_ACCESS_POINT_SIZE) {
        ShowFileError(QStringLiteral("Recording Path Too Long"), absolute);
        return;
    }

    // The records as stored are kept to give back; a second replay keeps
    // the first one's copy, which is still the stored configuration.
    if (!storedRecords_)
        storedRecords_ = std::make_pair(CopnInterface->HardwareConfiguration, CopnInterface->CANopenConfiguration);
    HardwareConfiguration &hw = CopnInterface->HardwareConfiguration;
    hw.InterfaceType = QELCOPN_KIND_RECORDING;
    std::memset(hw.AccessPoint, 0, sizeof hw.AccessPoint);
    std::memcpy(hw.AccessPoint, accessPoint.constData(), size_t(accessPoint.size()));
    replayPath_ = absolute;

    const GatewayIdentity identity = ReadGatewayIdentity(SessionFilePath(absolute));
    if (identity.nodeId)
        form_->AdvSpinEdit_NodeID->SetValue(*identity.nodeId);
    form_->GatewayProductCode = identity.productCode.value_or(0);
    form_->RadioButton_ListenOnly->setChecked(true);
    form_->UpdateModeControls();
    form_->ShowInterfaceConfiguration();
    UpdateActions();
}

void TRecordingControl::EndReplaySession()
{
    if (!storedRecords_ || CopnInterface == nullptr)
        return;
    CopnInterface->HardwareConfiguration = storedRecords_->first;
    CopnInterface->CANopenConfiguration = storedRecords_->second;
    storedRecords_.reset();
    replayPath_.clear();
    form_->ShowInterfaceConfiguration();
}
