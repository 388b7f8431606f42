// Network Browse against the recording double: the two questions and what
// each answer leads to, the gateway rule, and browsing again while the
// receive threads run.
#include "test_network_support.h"

#include <QLabel>

namespace {

using namespace network_test;

const QString FIRST_QUESTION = QStringLiteral(
    "!!!Warning!!!\r\nThis Network Search will cause all nodes to be Reset using the Reset Communication "
    "command.\r\n Is it safe to issue this command?");
const QString SECOND_QUESTION = QStringLiteral("!!!Warning!!!\r\nDo you want to search using SDO reads??");
constexpr QMessageBox::StandardButtons YES_NO_CANCEL = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;

class NetworkBrowse : public NetworkWindow {
protected:
    void SetUp() override
    {
        NetworkWindow::SetUp();
        form->RadioButton_Cyclic->click();
        StartAccess();
        qeldouble::ClearCalls();
    }

    void Browse(std::initializer_list<QMessageBox::StandardButton> answers)
    {
        boxes.answers.assign(answers.begin(), answers.end());
        boxes.boxes.clear();
        form->Button_NetworkBrowse->click();
        EXPECT_TRUE(boxes.answers.empty()) << "every scripted answer was asked for";
    }

    QString NodeFoundText() const { return form->StaticText_NodeFound->text(); }

    // The calls that follow the survey when a gateway is found.
    static std::vector<std::string> StartAndMonitorCalls()
    {
        return {"NMT_StartRemoteNode", "AddPDO", "COP_PDO_Get_Event", "SDO_Download_UNSIGNED16"};
    }

    static std::vector<std::string> AfterSurvey(const std::vector<std::string> &names)
    {
        std::vector<std::string> after;
        bool surveyed = false;
        for (const std::string &name : names) {
            if (name == "NMT_StartRemoteNode")
                surveyed = true;
            if (surveyed)
                after.push_back(name);
        }
        return after;
    }
};

TEST_F(NetworkBrowse, CancelAtTheFirstQuestionChangesNothing)
{
    form->NodeFound = 1;
    Browse({QMessageBox::Cancel});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, FIRST_QUESTION);
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("WARNING"));
    EXPECT_EQ(boxes.boxes[0].buttons, YES_NO_CANCEL);
    EXPECT_TRUE(qeldouble::Calls().empty());
    EXPECT_EQ(form->NodeFound, 1);
    EXPECT_EQ(NodeFoundText(), QStringLiteral("None"));
    EXPECT_EQ(Shown(), (Controls{false, true, true, false, false, false, true}));
}

TEST_F(NetworkBrowse, NoThenAnythingButYesSendsNothingAndSurveysNothing)
{
    for (QMessageBox::StandardButton second : {QMessageBox::No, QMessageBox::Cancel}) {
        form->NodeFound = 1;
        Browse({QMessageBox::No, second});
        ASSERT_EQ(boxes.boxes.size(), 2u);
        EXPECT_EQ(boxes.boxes[1].text, SECOND_QUESTION);
        EXPECT_EQ(boxes.boxes[1].caption, QStringLiteral("ERROR"));
        EXPECT_EQ(boxes.boxes[1].buttons, YES_NO_CANCEL);
        EXPECT_TRUE(qeldouble::Calls().empty());
        EXPECT_EQ(form->NodeFound, 0) << "cleared once past the first question";
        EXPECT_EQ(NodeFoundText(), QStringLiteral("None"));
        EXPECT_EQ(Shown(), (Controls{false, true, true, false, false, false, true}));
    }
}

TEST_F(NetworkBrowse, YesResetsAllWaitsSurveysThenStartsAndMonitorsTheGateway)
{
    ScriptNode(5, GATEWAY_VENDOR, 1101);
    const auto cursors = WatchCursor({"NMT_ResetCommunication", "GetNodeOnline"});
    Browse({QMessageBox::Yes});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    ExpectHourglassIn(*cursors, {"NMT_ResetCommunication", "GetNodeOnline"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_GE(Between("NMT_ResetCommunication", "GetNodeOnline"), std::chrono::milliseconds(1000))
        << "every node has its second to boot again before the survey";

    const auto calls = WindowCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].name, "NMT_ResetCommunication");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{HANDLE, 0}));
    // The survey asks every node from 1 to 127 in order, nothing else is reset.
    std::vector<uint64_t> asked;
    for (const auto &call : qeldouble::CallsTo("GetNodeOnline"))
        asked.push_back(call.args.at(1));
    std::vector<uint64_t> everyNode;
    for (uint64_t node = 1; node <= 127; ++node)
        everyNode.push_back(node);
    EXPECT_EQ(asked, everyNode);
    EXPECT_EQ(qeldouble::CallCount("NMT_ResetCommunication"), 1u);

    EXPECT_EQ(AfterSurvey(WindowCallNames()), StartAndMonitorCalls());
    EXPECT_EQ(qeldouble::CallsTo("NMT_StartRemoteNode").at(0).args, (std::vector<uint64_t>{HANDLE, 5}));
    EXPECT_EQ(qeldouble::CallsTo("AddPDO").at(0).args, (std::vector<uint64_t>{HANDLE, 5, 16, 3, 1000}));
    const auto event = qeldouble::CallsTo("COP_PDO_Get_Event").at(0).args;
    EXPECT_EQ(std::vector<uint64_t>(event.begin(), event.begin() + 4), (std::vector<uint64_t>{HANDLE, 5, 18, 3}));
    // Cyclic: the gateway sends every 10 ms.
    EXPECT_EQ(qeldouble::CallsTo("SDO_Download_UNSIGNED16").at(0).args,
              (std::vector<uint64_t>{HANDLE, 5, 0x1803, 5, 10}));

    EXPECT_EQ(form->NodeFound, 1);
    EXPECT_EQ(form->GatewayNodeId, 5);
    EXPECT_EQ(form->GatewayProductCode, 1101);
    EXPECT_EQ(NodeFoundText(), QStringLiteral("5"));
    EXPECT_EQ(Shown(), (Controls{false, true, true, true, false, false, true}));
    ASSERT_NE(PdoDataThread, nullptr);
    ASSERT_NE(EmergencyThread, nullptr);
    EXPECT_EQ(PdoDataThread->PdoNodeId, 5);
}

TEST_F(NetworkBrowse, NoThenYesSurveysWithoutAnyResetAndMonitorsInCosMode)
{
    StopAccess();
    form->RadioButton_COS->click();
    StartAccess();
    qeldouble::ClearCalls();
    ScriptNode(9, GATEWAY_VENDOR, 1104);
    const auto cursors = WatchCursor({"GetNodeOnline"});

    Browse({QMessageBox::No, QMessageBox::Yes});
    ExpectHourglassIn(*cursors, {"GetNodeOnline"});
    EXPECT_EQ(qeldouble::CallCount("NMT_ResetCommunication"), 0u);
    EXPECT_EQ(WindowCalls().at(0).name, "GetNodeOnline");
    EXPECT_EQ(AfterSurvey(WindowCallNames()), StartAndMonitorCalls());
    // COS: the gateway sends on change.
    EXPECT_EQ(qeldouble::CallsTo("SDO_Download_UNSIGNED16").at(0).args,
              (std::vector<uint64_t>{HANDLE, 9, 0x1803, 5, 0}));
    EXPECT_EQ(NodeFoundText(), QStringLiteral("9"));
    EXPECT_EQ(form->GatewayProductCode, 1104);
}

TEST_F(NetworkBrowse, TheLowestQualifyingNodeWinsAndLookalikesAreNoGateways)
{
    ScriptNode(2, GATEWAY_VENDOR, 1102);      // right vendor, other product
    ScriptNode(3, GATEWAY_VENDOR + 1, 1101);  // right product, other vendor
    ScriptNode(4, GATEWAY_VENDOR, 1101);      // online, but its device type never answers
    qeldouble::FailObject(4, 0x1000, 0);
    ScriptNode(5, GATEWAY_VENDOR, 1104);
    ScriptNode(12, GATEWAY_VENDOR, 1101);
    Browse({QMessageBox::Yes});
    EXPECT_EQ(form->GatewayNodeId, 5);
    EXPECT_EQ(form->GatewayProductCode, 1104) << "the winner's own product code";
    EXPECT_EQ(NodeFoundText(), QStringLiteral("5"));
    EXPECT_EQ(qeldouble::CallsTo("NMT_StartRemoteNode").size(), 1u) << "only the gateway is started";

    // Without 5 and 12 only lookalikes are left: none of them is a gateway.
    qeldouble::SetNodeOnline(5, 0);
    qeldouble::SetNodeOnline(12, 0);
    qeldouble::ClearCalls();
    Browse({QMessageBox::Yes});
    EXPECT_EQ(form->NodeFound, 0);
    EXPECT_EQ(NodeFoundText(), QStringLiteral("None"));
    EXPECT_EQ(qeldouble::CallCount("NMT_StartRemoteNode"), 0u);
    EXPECT_EQ(qeldouble::CallCount("AddPDO"), 0u);
}

TEST_F(NetworkBrowse, ASecondGatewayFoundWhileMonitoringTakesOverTheRunningThreads)
{
    ScriptNode(5, GATEWAY_VENDOR, 1101);
    Browse({QMessageBox::Yes});
    TThread_PdoData *const pdoThread = PdoDataThread;
    TThread_Emergency *const emergencyThread = EmergencyThread;
    ASSERT_NE(pdoThread, nullptr);
    ASSERT_TRUE(WaitUntil([] {
        for (const auto &call : qeldouble::CallsTo("COP_PDO_Read_Data_wTime"))
            if (call.args.at(1) == 5)
                return true;
        return false;
    }));

    // The gateway moves to node 9.
    qeldouble::SetNodeOnline(5, 0);
    ScriptNode(9, GATEWAY_VENDOR, 1101);
    qeldouble::ClearCalls();
    Browse({QMessageBox::Yes});
    EXPECT_EQ(PdoDataThread, pdoThread) << "no new thread";
    EXPECT_EQ(EmergencyThread, emergencyThread);
    EXPECT_EQ(PdoDataThread->PdoNodeId, 9);
    EXPECT_EQ(qeldouble::CallsTo("SDO_Download_UNSIGNED16").at(0).args,
              (std::vector<uint64_t>{HANDLE, 9, 0x1803, 5, 10}));
    EXPECT_EQ(NodeFoundText(), QStringLiteral("9"));
    // From its next pass the thread reads the new node's PDO only.
    qeldouble::ClearCalls();
    ASSERT_TRUE(qeldouble::WaitForCalls("COP_PDO_Read_Data_wTime", 3));
    const auto reads = qeldouble::CallsTo("COP_PDO_Read_Data_wTime");
    for (size_t i = 1; i < reads.size(); ++i)
        EXPECT_EQ(reads[i].args.at(1), 9u);
}

TEST_F(NetworkBrowse, ABrowseThatFindsNothingLeavesEarlierMonitoringRunning)
{
    ScriptNode(5, GATEWAY_VENDOR, 1101);
    Browse({QMessageBox::Yes});
    TThread_PdoData *const pdoThread = PdoDataThread;
    ASSERT_NE(pdoThread, nullptr);

    qeldouble::SetNodeOnline(5, 0);
    Browse({QMessageBox::Yes});
    EXPECT_EQ(NodeFoundText(), QStringLiteral("None"));
    EXPECT_EQ(form->NodeFound, 0);
    EXPECT_FALSE(form->Button_OpenMonitorWindow->isEnabled());
    EXPECT_FALSE(form->GroupBox_Mode->isEnabled());
    EXPECT_EQ(form->GatewayNodeId, 5) << "kept from the last gateway found";
    EXPECT_EQ(form->GatewayProductCode, 1101);
    EXPECT_EQ(PdoDataThread, pdoThread);
    // Still polling: new reads keep coming after the browse.
    qeldouble::ClearCalls();
    EXPECT_TRUE(qeldouble::WaitForCalls("CheckEmergency", 2));
    EXPECT_TRUE(qeldouble::WaitForCalls("COP_PDO_Read_Data_wTime", 2));

    // Stop still ends them, and resets the last gateway.
    qeldouble::ClearCalls();
    StopAccess();
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(qeldouble::CallsTo("NMT_ResetCommunication").at(0).args, (std::vector<uint64_t>{HANDLE, 5}));
}

} // namespace
