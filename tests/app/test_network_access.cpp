// Start and Stop Network Access against the recording double: what is
// asked of the library and in which order, every failure's message, and the
// controls each outcome leaves.
#include "test_network_support.h"

#include "SpinEdit.h"

#include <QApplication>
#include <QCursor>
#include <QStatusBar>

#include <cerrno>

namespace {

using namespace network_test;
using qeldouble::Call;

std::vector<Call> StartCalls(uint8_t ownNodeId, uint32_t baud)
{
    // The black box is sized (0: the default) before frames flow.
    std::vector<Call> calls = {{"OpenInterface", {}, {}},
                               {"Trace_SetBlackBoxMinutes", {HANDLE, 0}, {}},
                               {"SetNodeID", {HANDLE, ownNodeId}, {}},
                               {"SetBaud", {HANDLE, baud}, {}},
                               {"SetOnline", {HANDLE, 1}, {}}};
    for (uint64_t node = 1; node <= 99; ++node)
        calls.push_back({"AddNode", {HANDLE, node}, {}});
    return calls;
}

void ExpectCalls(const std::vector<Call> &actual, const std::vector<Call> &expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].name, expected[i].name) << "call " << i;
        // OpenInterface's and GetFailureText's arguments are addresses; the
        // rest are values.
        if (expected[i].name != "OpenInterface" && expected[i].name != "GetFailureText") {
            EXPECT_EQ(actual[i].args, expected[i].args) << "call " << i << " " << actual[i].name;
        }
    }
}

using NetworkAccess = NetworkWindow;

TEST_F(NetworkAccess, StartOpensGoesOnlineAndAddsNodesOneTo99)
{
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("12"));
    const std::vector<std::string> blocking = {"OpenInterface", "Trace_SetBlackBoxMinutes", "SetOnline", "AddNode"};
    const auto cursors = WatchCursor(blocking);
    StartAccess();
    ExpectHourglassIn(*cursors, blocking);

    // InterfaceNodeID 0x105 reaches the library as its low byte.
    ExpectCalls(qeldouble::Calls(), StartCalls(5, 250000));
    const auto open = qeldouble::CallsTo("OpenInterface").at(0);
    EXPECT_EQ(open.args.at(0), uint64_t(reinterpret_cast<uintptr_t>(&CopnInterface->InterfaceHandle)));
    EXPECT_EQ(CopnInterface->InterfaceHandle, HANDLE);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone";

    // Listen Only: the spin edit names the gateway and the monitor can open.
    EXPECT_EQ(Shown(), (Controls{false, true, true, true, false, false, true}));
    EXPECT_EQ(form->GatewayNodeId, 12);
    EXPECT_TRUE(form->Button_NetworkBrowse->isHidden());
}

TEST_F(NetworkAccess, StartInCyclicOrCosModeLeavesTheMonitorButtonToTheBrowse)
{
    for (QRadioButton *mode : {form->RadioButton_Cyclic, form->RadioButton_COS}) {
        SCOPED_TRACE(mode->text().toStdString());
        mode->click();
        form->GatewayNodeId = 33; // as an earlier browse left it
        StartAccess();
        EXPECT_EQ(Shown(), (Controls{false, true, true, false, false, false, true}));
        EXPECT_EQ(form->GatewayNodeId, 33);
        EXPECT_FALSE(form->Button_NetworkBrowse->isHidden());
        StopAccess();
        EXPECT_EQ(Shown(), AT_START_UP);
    }
}

TEST_F(NetworkAccess, FailedOpenNamesTheCauseAndChangesNoControl)
{
    const std::pair<uint32_t, const char *> cases[] = {
        {0x20000000, "Interface is not in correct mode!"},
        {ENODEV, "Cannot Open Interface"},
        {0x20000001, "Cannot Open Interface"},
        {0, "Cannot Open Interface"},
    };
    qeldouble::SetResult("OpenInterface", 0);
    // The box waits for the user: the pointer says so, not the hourglass.
    std::vector<int> cursors;
    boxes.onShow = [&cursors](const ShownBox &) {
        const QCursor *cursor = QApplication::overrideCursor();
        cursors.push_back(cursor != nullptr ? int(cursor->shape()) : -1);
    };
    for (const auto &[lastError, text] : cases) {
        SCOPED_TRACE(text);
        boxes.boxes.clear();
        qeldouble::ClearCalls();
        qeldouble::SetLastErrorOnReturn("OpenInterface", lastError);
        StartAccess();
        EXPECT_EQ(qeldouble::CallNames(), (std::vector<std::string>{"OpenInterface", "GetFailureText"}));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, QString::fromLatin1(text));
        EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(boxes.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(Shown(), AT_START_UP);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(cursors, std::vector<int>(std::size(cases), Qt::ArrowCursor));
    EXPECT_TRUE(form->StatusLine->currentMessage().isEmpty()) << "the library gave no reason";

    // The library's reason goes beside the box, into the status line, whole
    // in its tooltip; the next start clears it.
    const QString reason = QStringLiteral("'can0' runs at 500000 bit/s, not 250000; set it as root with: ip link set "
                                          "can0 down && ip link set can0 type can bitrate 250000 && ip link set can0 up");
    qeldouble::SetFailureText(reason.toStdString());
    boxes.boxes.clear();
    StartAccess();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Cannot Open Interface"));
    EXPECT_EQ(form->StatusLine->toolTip(), reason);
    const QString shown = form->StatusLine->currentMessage();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("'can0' runs at"))) << shown.toStdString();
    EXPECT_LE(form->StatusLine->fontMetrics().horizontalAdvance(shown), form->StatusLine->width()) << "it fits";
    qeldouble::SetFailureText("");
    qeldouble::SetResult("OpenInterface", 1);
    StartAccess();
    EXPECT_TRUE(form->StatusLine->currentMessage().isEmpty());
    EXPECT_TRUE(form->StatusLine->toolTip().isEmpty());
}

TEST_F(NetworkAccess, FailureOnTheWayOnlineStopsThereAndLeavesTheInterfaceOpen)
{
    const std::tuple<const char *, const char *, size_t> cases[] = {
        {"SetNodeID", "Cannot Set Node ID", 3},
        {"SetBaud", "Cannot Set Baud", 4},
        {"SetOnline", "Cannot Go Online", 5},
    };
    const std::vector<Call> fullStart = StartCalls(5, 250000);
    for (const auto &[failing, text, callsMade] : cases) {
        SCOPED_TRACE(failing);
        boxes.boxes.clear();
        qeldouble::ClearCalls();
        qeldouble::QueueResults(failing, {0});
        StartAccess();
        std::vector<Call> made(fullStart.begin(), fullStart.begin() + long(callsMade));
        made.push_back({"GetFailureText", {}, {}});
        ExpectCalls(qeldouble::Calls(), made);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, QString::fromLatin1(text));
        EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("ERROR"));
        EXPECT_EQ(boxes.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // Open, not online: the buttons look closed, Version Information is on.
        Controls openNotOnline = AT_START_UP;
        openNotOnline.versionInformation = true;
        EXPECT_EQ(Shown(), openNotOnline);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    // The next Start opens again, without closing first, and succeeds.
    qeldouble::ClearCalls();
    StartAccess();
    ExpectCalls(qeldouble::Calls(), fullStart);
    EXPECT_EQ(qeldouble::CallCount("CloseInterface"), 0u);
    EXPECT_EQ(Shown(), (Controls{false, true, true, true, false, false, true}));
}

TEST_F(NetworkAccess, StopEndsTheThreadsResetsTheGatewayWaitsThenGoesOfflineAndCloses)
{
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("12"));
    StartAccess();
    ASSERT_TRUE(OpenAndCloseMonitor());
    ASSERT_NE(PdoDataThread, nullptr);
    ASSERT_TRUE(qeldouble::WaitForCalls("CheckEmergency", 1));
    qeldouble::ClearCalls();

    StopAccess();
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(EmergencyThread, nullptr);
    // Nothing polls any more once the threads have gone: the reset is the
    // first call after the threads' last reads, and none follow it.
    const auto calls = qeldouble::Calls();
    size_t firstWindowCall = calls.size();
    for (size_t i = 0; i < calls.size(); ++i)
        if (!IsReceiveThreadRead(calls[i].name)) {
            firstWindowCall = i;
            break;
        }
    for (size_t i = firstWindowCall; i < calls.size(); ++i)
        EXPECT_FALSE(IsReceiveThreadRead(calls[i].name)) << "a receive thread read after the reset";
    ExpectCalls(WindowCalls(), {{"NMT_ResetCommunication", {HANDLE, 12}, {}},
                                {"SetOnline", {HANDLE, 0}, {}},
                                {"CloseInterface", {HANDLE}, {}}});
    EXPECT_GE(Between("NMT_ResetCommunication", "SetOnline"), std::chrono::milliseconds(100))
        << "the reset has its time on the bus before the adapter goes offline";
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Shown(), AT_START_UP);
    EXPECT_EQ(form->StaticText_NodeFound->text(), QStringLiteral("None"));
}

// The gateway's communication is reset in every mode, Listen Only too; a
// typed node ID that is no node's (0 addresses them all, 256 keeps 0 in its
// low byte) sends no NMT command, and Stop goes on with the rest.
TEST_F(NetworkAccess, StopResetsOnlyAGatewayNodeIdThatNamesOneNodeInEveryMode)
{
    for (QRadioButton *mode : {form->RadioButton_ListenOnly, form->RadioButton_Cyclic}) {
        for (const char *typed : {"12", "0", "256", "128"}) {
            const std::string which = mode->text().toStdString() + ", node ID " + typed;
            mode->click();
            form->AdvSpinEdit_NodeID->SetText(QString::fromLatin1(typed));
            StartAccess();
            // Listen Only takes it at Start; the other modes when the monitor
            // window opens, as here.
            form->GatewayNodeId = uint8_t(form->AdvSpinEdit_NodeID->Value());
            qeldouble::ClearCalls();
            StopAccess();
            if (std::string(typed) == "12")
                ExpectCalls(WindowCalls(), {{"NMT_ResetCommunication", {HANDLE, 12}, {}},
                                            {"SetOnline", {HANDLE, 0}, {}},
                                            {"CloseInterface", {HANDLE}, {}}});
            else
                ExpectCalls(WindowCalls(), {{"SetOnline", {HANDLE, 0}, {}}, {"CloseInterface", {HANDLE}, {}}});
            EXPECT_EQ(Shown(), AT_START_UP) << which;
        }
    }
}

TEST_F(NetworkAccess, StopThatCannotGoOfflineKeepsTheInterfaceAndMayBePressedAgain)
{
    StartAccess();
    ASSERT_TRUE(OpenAndCloseMonitor());
    const Controls online = Shown();
    qeldouble::ClearCalls();
    qeldouble::QueueResults("SetOnline", {0});

    StopAccess();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Cannot Go Offline"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"NMT_ResetCommunication", "SetOnline"}));
    EXPECT_EQ(Shown(), online) << "Stop stays enabled";
    EXPECT_EQ(PdoDataThread, nullptr) << "the receive threads have ended all the same";
    EXPECT_EQ(EmergencyThread, nullptr);

    // Pressed again, Stop repeats every step and this time completes.
    qeldouble::ClearCalls();
    StopAccess();
    EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"NMT_ResetCommunication", "SetOnline", "CloseInterface"}));
    EXPECT_EQ(Shown(), AT_START_UP);
}

TEST_F(NetworkAccess, WithoutTheBindingStartAndStopCallNothingAndChangeNoControl)
{
    delete CopnInterface;
    CopnInterface = nullptr;
    qeldouble::ClearCalls();
    StartAccess();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Shown(), AT_START_UP);
    // Stop is disabled here; its handler is called as a shortcut would.
    form->Button_NetworkStopAccessClick();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Shown(), AT_START_UP);
    EXPECT_EQ(form->OpenNetworkInterface(), 0);
    EXPECT_EQ(form->GoOffline(), 1);
    EXPECT_EQ(form->CloseNetworkInterface(), 0);
    EXPECT_TRUE(qeldouble::Calls().empty());
}

} // namespace
