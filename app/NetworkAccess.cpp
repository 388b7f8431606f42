// Start and Stop Network Access: opening the adapter and taking it online
// with the stored node ID and bit rate, and the way back.
#include "BlackBoxControl.h"
#include "BusHealthPanel.h"
#include "Dialogs.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "RecordingControl.h"
#include "SpinEdit.h"
#include "TForm_MTU.h"

#include <QAction>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include <cstdio>

namespace {

// Nodes registered with the library at start; 100 to 127 are not.
constexpr int LAST_NODE_ADDED = 99;
// Lets the reset reach the gateway before the adapter goes offline.
constexpr uint32_t RESET_BEFORE_OFFLINE_MS = 100;

// The library's reason for the failure of this thread's last call, beside
// the message: in the status line (whole in its tooltip) and on standard
// error, so that a wrong SocketCAN rate shows the command that sets it.
void ShowFailureReason(QStatusBar *line)
{
    char text[QELCOPN_TEXT_SIZE] = {};
    if (CopnInterface == nullptr || CopnInterface->GetFailureText(text) == 0)
        return;
    std::fprintf(stderr, "tarnwick: %s\n", text);
    const QString reason = QString::fromUtf8(text);
    line->setToolTip(reason);
    line->showMessage(line->fontMetrics().elidedText(reason, Qt::ElideRight, line->contentsRect().width() - 8));
}

// One library call under the hourglass; false shows the message.
bool CallShowingFailure(const std::function<int32_t()> &call, const char *text, const char *caption,
                        QStatusBar *line)
{
    int32_t result = 0;
    {
        THourglassCursor hourglass;
        result = call();
    }
    if (result == 0) {
        ShowMessageBox(QString::fromLatin1(text), QString::fromLatin1(caption));
        ShowFailureReason(line);
    }
    return result != 0;
}

} // namespace

void TMainForm::Button_NetworkStartAccessClick()
{
    StatusLine->setToolTip(QString());
    StatusLine->clearMessage();
    int32_t started = 0;
    {
        THourglassCursor hourglass;
        started = OpenNetworkInterface();
        if (started != 0)
            started = GoOnline();
    }
    if (started == 0)
        return;
    Button_NetworkStopAccess->setEnabled(true);
    Button_NetworkStartAccess->setEnabled(false);
    Button_NetworkBrowse->setEnabled(true);
    MenuItem_NetworkConfiguration->setEnabled(false);
    GroupBox_Mode->setEnabled(false);
    if (RadioButton_ListenOnly->isChecked()) {
        GatewayNodeId = uint8_t(AdvSpinEdit_NodeID->Value());
        Button_OpenMonitorWindow->setEnabled(true);
    }
    SetNetworkAccessOn(true);
}

int32_t TMainForm::OpenNetworkInterface()
{
    if (CopnInterface == nullptr)
        return 0;
    if (CopnInterface->OpenInterface() != 0) {
        VersionInformation1->setEnabled(true);
        // Sized before frames flow; a library without it keeps its default.
        CopnInterface->Trace_SetBlackBoxMinutes();
        return 1;
    }
    const uint32_t lastError = GetLastError();
    if (lastError == QELCOPN_ERROR_WRONG_MODE)
        ShowMessageBox(QStringLiteral("Interface is not in correct mode!"), QStringLiteral("Error"));
    else
        ShowMessageBox(QStringLiteral("Cannot Open Interface"), QStringLiteral("Error"));
    ShowFailureReason(StatusLine);
    return 0;
}

int32_t TMainForm::GoOnline()
{
    if (!CallShowingFailure([] { return CopnInterface->SetNodeID(); }, "Cannot Set Node ID", "ERROR", StatusLine))
        return 0;
    if (!CallShowingFailure([] { return CopnInterface->SetBaud(); }, "Cannot Set Baud", "ERROR", StatusLine))
        return 0;
    if (!CallShowingFailure([] { return CopnInterface->SetOnline(1); }, "Cannot Go Online", "ERROR", StatusLine))
        return 0;
    for (int node = 1; node <= LAST_NODE_ADDED; ++node)
        CopnInterface->AddNode(uint8_t(node));
    BusHealth->SetActive(true);
    // The history's counts are of this network access.
    if (Form_MTU != nullptr)
        Form_MTU->HistoryFeed.RestartCounts();
    return 1;
}

void TMainForm::Button_NetworkStopAccessClick()
{
    // Everything recorded is written while the interface is still open.
    Recording->EndRecording();
    BlackBox->Finish();
    StopMonitor();
    // Only to one node: 0 (or a typed 256) would reset every node of a
    // running vehicle.
    if (CopnInterface != nullptr && QELCOPN_IsNodeId(GatewayNodeId))
        CopnInterface->NMT_ResetCommunication(GatewayNodeId);
    Sleep(RESET_BEFORE_OFFLINE_MS);
    if (GoOffline() == 0)
        return;
    if (CloseNetworkInterface() == 0)
        return;
    Button_NetworkStartAccess->setEnabled(true);
    Button_NetworkStopAccess->setEnabled(false);
    Button_NetworkBrowse->setEnabled(false);
    Button_OpenMonitorWindow->setEnabled(false);
    MenuItem_NetworkConfiguration->setEnabled(true);
    GroupBox_Mode->setEnabled(true);
    SetNetworkAccessOn(false);
}

void TMainForm::SetNetworkAccessOn(bool on)
{
    if (networkAccessOn_ == on)
        return;
    networkAccessOn_ = on;
    emit NetworkAccessChanged(on);
}

int32_t TMainForm::GoOffline()
{
    BusHealth->SetActive(false);
    if (CopnInterface == nullptr)
        return 1;
    if (CopnInterface->SetOnline(0) == 0) {
        ShowMessageBox(QStringLiteral("Cannot Go Offline"), QStringLiteral("Error"));
        return 0;
    }
    return 1;
}

int32_t TMainForm::CloseNetworkInterface()
{
    if (CopnInterface == nullptr)
        return 0;
    CopnInterface->CloseInterface();
    VersionInformation1->setEnabled(false);
    return 1;
}
