// The "CANopen Network" window without a bus: emergencies in words, the
// node table's rows and the cells it tells the view about, the list's bound
// and export, and a row's menu, which sends nothing it may not.
#include "EmergencyListModel.h"
#include "EmergencyText.h"
#include "NetworkWindow.h"
#include "NodeTableModel.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

namespace {

using namespace network;

TEST(EmergencyText, ClassesWellKnownCodesAndRegisterBits)
{
    EXPECT_EQ(emergencyMeaning(0x8110), "Monitoring: communication: CAN overrun (objects lost)");
    EXPECT_EQ(emergencyMeaning(0x8120), "Monitoring: communication: CAN in error passive mode");
    EXPECT_EQ(emergencyMeaning(0x8140), "Monitoring: communication: recovered from bus-off");
    EXPECT_EQ(emergencyMeaning(0x8250), "Monitoring: protocol error: RPDO time-out");
    EXPECT_EQ(emergencyMeaning(0x8101), "Monitoring: communication");
    EXPECT_EQ(emergencyMeaning(0xFF12), "Device specific");
    EXPECT_EQ(emergencyMeaning(0x0000), "Error reset or no error");
    EXPECT_EQ(emergencyMeaning(0x2310), "Current: current, device output side");
    EXPECT_EQ(emergencyMeaning(0x5030), "Device hardware");
    EXPECT_EQ(emergencyMeaning(0x1000), "Generic error");
    EXPECT_EQ(emergencyMeaning(0xA000), "Unknown class");
    EXPECT_EQ(errorRegisterText(0x00), "0x00");
    EXPECT_EQ(errorRegisterText(0x91), "0x91 Generic, Communication, Manufacturer");
    const uint8_t bytes[] = {0x00, 0x2A, 0xFF};
    EXPECT_EQ(hexBytes(bytes, 3), "00 2A FF");
}

NodeStatus Heard(uint8_t state, uint32_t periodMs, uint32_t silentMs)
{
    NodeStatus status{};
    status.Heard = 1;
    status.State = state;
    status.HeartbeatPeriodMs = periodMs;
    status.SilentMs = silentMs;
    status.LastEmergencyAgeMs = QELCOPN_NEVER_HEARD;
    return status;
}

TEST(NodeTableModelTest, RowsInNodeOrderAndOnlyChangedCellsTold)
{
    NodeStatus statuses[QELCOPN_NODE_TABLE_SIZE] = {};
    NodeIdentity identities[QELCOPN_NODE_TABLE_SIZE] = {};
    statuses[20] = Heard(0x7F, 1003, 230);
    statuses[3] = Heard(0xFF, 0, 40);
    identities[50].Online = 1; // found by the survey, not heard since
    identities[50].ValidFields = VALID_VENDOR_ID | VALID_PRODUCT_CODE | VALID_REVISION_NUMBER | VALID_DEVICE_NAME;
    identities[50].VendorId = 0x141;
    identities[50].ProductCode = 1101;
    identities[50].RevisionNumber = 0x00010006;
    std::strcpy(identities[50].DeviceName, "MTU Engine Gateway 1101");

    NodeTableModel model;
    model.update(statuses, identities);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.nodeAt(0), 3);
    EXPECT_EQ(model.nodeAt(2), 50);
    EXPECT_EQ(model.text(0, NodeTableModel::STATE), QStringLiteral("Heard"));
    EXPECT_EQ(model.text(1, NodeTableModel::STATE), QStringLiteral("Pre-operational"));
    EXPECT_EQ(model.text(1, NodeTableModel::HEARTBEAT), QStringLiteral("1000 ms"));
    EXPECT_EQ(model.text(1, NodeTableModel::LAST_HEARD), QStringLiteral("0.2 s"));
    EXPECT_EQ(model.text(2, NodeTableModel::STATE), QString());
    EXPECT_EQ(model.text(2, NodeTableModel::VENDOR), QStringLiteral("0x141"));
    EXPECT_EQ(model.text(2, NodeTableModel::REVISION), QStringLiteral("1.6"));
    EXPECT_EQ(model.text(2, NodeTableModel::NAME), QStringLiteral("MTU Engine Gateway 1101"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    statuses[20].SilentMs = 260; // the same tenth: nothing to tell
    model.update(statuses, identities);
    EXPECT_EQ(model.changedCells(), 0u);
    statuses[20].Lost = 1;
    statuses[20].SilentMs = 2300;
    statuses[3].SilentMs = 2400;
    statuses[20].Emergencies = 2;
    statuses[20].LastEmergency[0] = 0x30;
    statuses[20].LastEmergency[1] = 0x81;
    identities[50].ValidFields |= VALID_SERIAL_NUMBER;
    identities[50].SerialNumber = 42;
    model.update(statuses, identities);
    EXPECT_EQ(model.changedCells(), 6u);
    // Last Heard changed in rows 0 and 1: one signal for both.
    ASSERT_EQ(changed.count(), 5);
    const auto lastHeard = std::find_if(changed.begin(), changed.end(), [](const QList<QVariant> &signal) {
        return signal[0].toModelIndex().column() == NodeTableModel::LAST_HEARD;
    });
    ASSERT_NE(lastHeard, changed.end());
    EXPECT_EQ((*lastHeard)[0].toModelIndex().row(), 0);
    EXPECT_EQ((*lastHeard)[1].toModelIndex().row(), 1);
    EXPECT_EQ(model.text(2, NodeTableModel::SERIAL), QStringLiteral("42"));
    EXPECT_EQ(model.text(1, NodeTableModel::STATE), QStringLiteral("Lost"));
    EXPECT_EQ(model.text(1, NodeTableModel::LAST_EMERGENCY), QStringLiteral("0x8130"));

    // A node heard later takes its place in node order.
    statuses[9] = Heard(0x05, 47, 0);
    model.update(statuses, identities);
    EXPECT_EQ(model.rowOf(9), 1);
    EXPECT_EQ(model.rowOf(20), 2);
    EXPECT_EQ(model.text(1, NodeTableModel::STATE), QStringLiteral("Operational"));
    EXPECT_EQ(model.text(1, NodeTableModel::HEARTBEAT), QStringLiteral("47 ms"));
}

EmergencyRow Emergency(uint8_t node, uint16_t code, int64_t wallUs)
{
    EmergencyRow row;
    row.node = node;
    row.length = 8;
    row.wallUs = wallUs;
    row.data[0] = uint8_t(code);
    row.data[1] = uint8_t(code >> 8);
    row.data[2] = 0x11;
    row.data[7] = 0x2A;
    return row;
}

TEST(EmergencyListModelTest, NewestFirstWithinItsBoundAndExportedOldestFirst)
{
    EmergencyListModel list(3);
    list.Add({Emergency(10, 0x8110, 1'000'000), Emergency(11, 0x8130, 2'000'000)});
    list.Add({Emergency(12, 0xFF01, 3'000'000), Emergency(13, 0x0000, 4'000'000)});
    ASSERT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.text(0, EmergencyListModel::NODE), QStringLiteral("13"));
    EXPECT_EQ(list.text(2, EmergencyListModel::NODE), QStringLiteral("11"));
    EXPECT_EQ(list.Log().Dropped(), 1u);
    EXPECT_EQ(list.text(1, EmergencyListModel::DATA), QStringLiteral("00 00 00 00 2A"));

    const std::string csv = list.csv();
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "Time,Node,Code,Register,Data,Meaning");
    EXPECT_LT(csv.find(",11,0x8130,"), csv.find(",13,0x0000,"));
    EXPECT_NE(csv.find("\"0x11 Generic, Communication\""), std::string::npos);
    EXPECT_EQ(csv.find(",10,"), std::string::npos);
}

struct NetworkWindowTest : ::testing::Test {
    void SetUp() override
    {
        qeldouble::Reset();
        CopnInterface = new TQEL_COPN_Interface;
        NodeStatus status = Heard(0x7F, 1000, 100);
        qeldouble::SetNodeStatus(10, status);
    }
    void TearDown() override
    {
        delete CopnInterface;
        CopnInterface = nullptr;
    }
    NetworkWindow::Hooks hooks()
    {
        return {[this] { return maySend; },
                [this](const QString &question) {
                    questions.push_back(question);
                    return answer;
                },
                [](const QString &) {}};
    }
    QAction *item(QMenu *menu, const char *text)
    {
        for (QAction *action : menu->actions())
            if (action->text() == QLatin1String(text))
                return action;
        return nullptr;
    }

    bool maySend = false;
    bool answer = false;
    std::vector<QString> questions;
};

TEST_F(NetworkWindowTest, ARowsMenuSendsOnlyWhenAllowedAndConfirmed)
{
    NetworkWindow window(hooks());
    window.refresh();
    ASSERT_EQ(window.nodes().rowCount(), 1);
    QMenu *menu = window.menuFor(10);
    ASSERT_NE(menu, nullptr);
    for (const char *text : {"Objects...", "Read Identity", "Start", "Stop", "Pre-operational", "Reset Node",
                             "Reset Communication"}) {
        ASSERT_NE(item(menu, text), nullptr) << text;
        EXPECT_FALSE(item(menu, text)->isEnabled()) << text;
    }
    // Even called directly, nothing goes out while sending is not allowed.
    window.act(NetworkWindow::NodeAction::Stop, 10);
    window.act(NetworkWindow::NodeAction::ReadIdentity, 10);
    EXPECT_TRUE(questions.empty());

    maySend = true;
    menu = window.menuFor(10);
    EXPECT_FALSE(item(menu, "Objects...")->isEnabled());
    EXPECT_TRUE(item(menu, "Stop")->isEnabled());
    item(menu, "Stop")->trigger();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], QStringLiteral("Send Stop to node 10?"));
    answer = true;
    window.act(NetworkWindow::NodeAction::PreOperational, 10);
    window.act(NetworkWindow::NodeAction::ResetCommunication, 0); // never the whole network
    EXPECT_EQ(window.menuFor(0), nullptr);
    EXPECT_EQ(qeldouble::CallCount("NMT_StopRemoteNode"), 0u);
    EXPECT_EQ(qeldouble::CallCount("NMT_ResetCommunication"), 0u);
    const auto sent = qeldouble::CallsTo("NMT_EnterPreOperational");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].args[1], 10u);
}

} // namespace

namespace {

TEST_F(NetworkWindowTest, TakesEveryLoggedEmergencyOnceAndSaysWhatWasMissed)
{
    for (uint64_t sequence : {5, 6, 7}) {
        EmergencyRecord record{};
        record.Sequence = sequence;
        record.Node = uint8_t(sequence);
        record.Length = 8;
        record.Data[1] = 0x10; // 0x1000, low byte first
        qeldouble::LogEmergency(record);
    }
    NetworkWindow window(hooks());
    window.refresh();
    window.refresh();
    ASSERT_EQ(window.emergencies().rowCount(), 3);
    EXPECT_EQ(window.emergencies().text(0, EmergencyListModel::NODE), QStringLiteral("7"));
    EXPECT_EQ(window.emergencies().text(0, EmergencyListModel::MEANING), QStringLiteral("Generic error"));
    EXPECT_EQ(window.missedEmergencies(), 4u);
    EXPECT_EQ(window.noticeText(), QStringLiteral("4 missed: the library keeps the last 4,096."));
}

} // namespace
