// The "CANopen Network" window end to end: the gateway simulator with two
// extra nodes on a private bus, told what to do through its standard input,
// and the application's own window reading the real library. Every wait is
// for a condition with a generous limit.
#include "AppOnBus.h"

#include "Main.h"
#include "NetworkWindow.h"
#include "QEL_COPN_Interface.h"

#include <QAction>
#include <QMenu>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

using network::EmergencyListModel;
using network::NetworkWindow;
using network::NodeTableModel;

const bool applicationInstalled = InstallAppOnBusApplication();

class NetworkEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(app.StartSimulator({"--scenario", "silent", "--extra-node", "10", "--extra-node", "11"}), "");
    }
    void TearDown() override { EXPECT_EQ(app.StopSimulator(), 0) << app.Simulator().errorOutput(); }

    NetworkWindow *OpenWindow()
    {
        MainForm->MenuItem_NetworkNodes->trigger();
        return MainForm->NetworkWindow;
    }
    std::string Cell(uint8_t node, int column) const
    {
        const NodeTableModel &nodes = MainForm->NetworkWindow->nodes();
        return nodes.text(nodes.rowOf(node), column).toStdString();
    }
    bool Shows(uint8_t node, int column, const std::string &text) { return Cell(node, column) == text; }
    // Waits for the state; false (and the state it had) when it never came.
    void ExpectState(uint8_t node, const std::string &state)
    {
        app.Until([&] { return Shows(node, NodeTableModel::STATE, state); });
        EXPECT_EQ(Cell(node, NodeTableModel::STATE), state) << "node " << int(node);
    }
    QAction *MenuAction(uint8_t node, NetworkWindow::NodeAction action)
    {
        QMenu *menu = MainForm->NetworkWindow->menuFor(node);
        const QString text = QString::fromLatin1(NetworkWindow::actionText(action));
        for (QAction *item : menu->actions())
            if (item->text() == text)
                return item;
        return nullptr;
    }
    uint64_t FramesSent()
    {
        BusStatistics statistics{};
        CopnInterface->GetBusStatistics(&statistics);
        return statistics.FramesSent;
    }

    AppOnBus app;
};

TEST_F(NetworkEndToEnd, ListenOnlySeesEveryNodeRebootingAndLostAndSendsNothing)
{
    app.Run([&] {
        ASSERT_TRUE(MainForm->RadioButton_ListenOnly->isChecked());
        app.StartNetworkAccess();
        NetworkWindow *window = OpenWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("CANopen Network"));
        // Heard only once they speak: two heartbeats give the period.
        app.Until([&] {
            return Shows(7, NodeTableModel::HEARTBEAT, "1000 ms") && Shows(10, NodeTableModel::HEARTBEAT, "1000 ms") &&
                   Shows(11, NodeTableModel::HEARTBEAT, "1000 ms");
        });
        for (uint8_t node : {7, 10, 11}) {
            EXPECT_EQ(Cell(node, NodeTableModel::STATE), "Pre-operational") << int(node);
            EXPECT_EQ(Cell(node, NodeTableModel::HEARTBEAT), "1000 ms") << int(node);
        }
        for (auto action : {NetworkWindow::NodeAction::ReadIdentity, NetworkWindow::NodeAction::Start,
                            NetworkWindow::NodeAction::ResetNode})
            EXPECT_FALSE(MenuAction(10, action)->isEnabled()) << NetworkWindow::actionText(action);

        ASSERT_TRUE(app.Simulator().writeLine("reboot 10"));
        ExpectState(10, "Boot-up");
        ExpectState(10, "Pre-operational");

        ASSERT_TRUE(app.Simulator().writeLine("heartbeat 11 stop"));
        ExpectState(11, "Lost");
        ASSERT_TRUE(app.Simulator().writeLine("heartbeat 11 resume"));
        ExpectState(11, "Pre-operational");

        ASSERT_TRUE(app.Simulator().writeLine("emergency 10 0x8130 0x11 1 2 3 4 0xFE"));
        const EmergencyListModel &list = window->emergencies();
        app.Until([&] { return list.rowCount() > 0; });
        ASSERT_EQ(list.rowCount(), 1);
        EXPECT_EQ(list.text(0, EmergencyListModel::NODE), QStringLiteral("10"));
        EXPECT_EQ(list.text(0, EmergencyListModel::CODE), QStringLiteral("0x8130"));
        EXPECT_EQ(list.text(0, EmergencyListModel::REGISTER), QStringLiteral("0x11 Generic, Communication"));
        EXPECT_EQ(list.text(0, EmergencyListModel::DATA), QStringLiteral("01 02 03 04 FE"));
        EXPECT_EQ(list.text(0, EmergencyListModel::MEANING),
                  QStringLiteral("Monitoring: communication: life guard or heartbeat error"));
        EXPECT_EQ(Cell(10, NodeTableModel::EMERGENCIES), "1");
        EXPECT_EQ(Cell(10, NodeTableModel::LAST_EMERGENCY), "0x8130");

        EXPECT_EQ(FramesSent(), 0u) << "Listen Only sent a frame";
        app.StopNetworkAccess();
    });
    EXPECT_TRUE(app.boxes.boxes.empty());
}

TEST_F(NetworkEndToEnd, NmtFromTheMenuOnlyAfterYesAndReadIdentity)
{
    app.Run([&] {
        app.Choose(MainForm->RadioButton_Cyclic);
        app.StartNetworkAccess();
        OpenWindow();
        app.Until([&] { return Shows(10, NodeTableModel::STATE, "Pre-operational"); });

        QAction *start = MenuAction(10, NetworkWindow::NodeAction::Start);
        ASSERT_TRUE(start->isEnabled());
        EXPECT_FALSE(MenuAction(10, NetworkWindow::NodeAction::Objects)->isEnabled());
        app.boxes.answers = {QMessageBox::No};
        start->trigger();
        ASSERT_EQ(app.boxes.boxes.size(), 1u);
        EXPECT_EQ(app.boxes.boxes[0].text, QStringLiteral("Send Start to node 10?"));
        EXPECT_EQ(app.boxes.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(FramesSent(), 0u) << "No sent the command all the same";

        app.boxes.answers = {QMessageBox::Yes};
        MenuAction(10, NetworkWindow::NodeAction::Start)->trigger();
        ExpectState(10, "Operational");
        EXPECT_EQ(Cell(11, NodeTableModel::STATE), "Pre-operational") << "the command went to one node only";
        EXPECT_EQ(Cell(7, NodeTableModel::STATE), "Pre-operational");

        MenuAction(11, NetworkWindow::NodeAction::ReadIdentity)->trigger();
        EXPECT_EQ(Cell(11, NodeTableModel::NAME), "Tarnwick I/O Node");
        EXPECT_EQ(Cell(11, NodeTableModel::PRODUCT), "2001");
        EXPECT_EQ(Cell(11, NodeTableModel::SERIAL), "200011");
        EXPECT_EQ(Cell(11, NodeTableModel::REVISION), "1.2");

        app.boxes.answers = {QMessageBox::Yes};
        MenuAction(11, NetworkWindow::NodeAction::ResetNode)->trigger();
        EXPECT_EQ(app.boxes.boxes.back().text, QStringLiteral("Send Reset Node to node 11 (Tarnwick I/O Node)?"));
        ASSERT_FALSE(app.Simulator().waitLine("node 11 nmt reset-node").empty());
        app.StopNetworkAccess();
    });
}

} // namespace
