// Monitoring end to end: the application's own windows, the real CANopen
// library and the gateway simulator on a private virtual bus. Each case is
// one application session in a process of its own; nothing is timed, every
// wait is for a condition with a generous limit.
#include "AppOnBus.h"

#include "HistoryTab.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "StringGrid.h"
#include "TForm_MTU.h"
#include "TThread_Emergency.h"
#include "TThread_PdoData.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr uint8_t GATEWAY = 7;

const bool applicationInstalled = InstallAppOnBusApplication();

std::string MtuValue(int parameter)
{
    return Form_MTU->AdvStringGrid_MTU_Data->Cell(2, parameter);
}

std::string MtuHex(int parameter)
{
    return Form_MTU->AdvStringGrid_MTU_Data->Cell(3, parameter);
}

std::string DinBus(int byte)
{
    return Form_MTU->AdvStringGrid_DinBus->Cell(2, byte);
}

std::string J1939(int slot)
{
    return Form_MTU->AdvStringGrid_J1939->Cell(2, slot + 1);
}

// One grid cell and the text it should come to show.
struct Shows {
    std::string (*cell)(int);
    int row;
    const char *text;
};

// Waits until every cell shows its text, then checks each, so that a cell
// still wrong at the limit is named. Joining a running bus can miss a
// round's first frames and a slot fills over several PDOs: the table comes
// round again, so a test waits for exactly what it checks.
void ExpectComesToShow(AppOnBus &app, std::initializer_list<Shows> cells)
{
    app.Until([&] {
        return std::all_of(cells.begin(), cells.end(), [](const Shows &c) { return c.cell(c.row) == c.text; });
    });
    for (const Shows &c : cells)
        EXPECT_EQ(c.cell(c.row), c.text) << "row " << c.row;
}

std::vector<QString> VisibleTabs()
{
    std::vector<QString> tabs;
    for (int i = 0; i < Form_MTU->PageControl1->count(); ++i)
        if (Form_MTU->PageControl1->isTabVisible(i))
            tabs.push_back(Form_MTU->PageControl1->tabText(i));
    return tabs;
}

class EndToEnd : public ::testing::Test {
protected:
    void Start(const std::vector<std::string> &simulatorOptions)
    {
        const std::string error = app.StartSimulator(simulatorOptions);
        ASSERT_EQ(error, "");
    }

    void TearDown() override
    {
        EXPECT_EQ(PdoDataThread, nullptr) << "the session's end stopped the receive threads";
        EXPECT_EQ(EmergencyThread, nullptr);
        EXPECT_EQ(CopnInterface, nullptr) << "the library was released";
        EXPECT_EQ(app.StopSimulator(), 0) << app.Simulator().errorOutput();
    }

    // Cyclic or COS, Start, Browse (Yes): the gateway on node 7 is found.
    void FindGateway(QRadioButton *mode, int32_t productCode)
    {
        app.Choose(mode);
        app.StartNetworkAccess();
        ASSERT_TRUE(app.boxes.boxes.empty()) << app.boxes.boxes.front().text.toStdString();
        app.Browse();
        EXPECT_EQ(MainForm->StaticText_NodeFound->text(), QStringLiteral("7"));
        EXPECT_EQ(MainForm->GatewayNodeId, GATEWAY);
        EXPECT_EQ(MainForm->GatewayProductCode, productCode);
        EXPECT_TRUE(MainForm->Button_OpenMonitorWindow->isEnabled());
        EXPECT_NE(PdoDataThread, nullptr);
    }

    AppOnBus app;
};

TEST_F(EndToEnd, ListenOnlyShowsTheTableWithoutSendingAnythingToTheGateway)
{
    Start({"--scenario", "table", "--self-start", "--node", "7"});
    const size_t afterReady = app.SimulatorLines().size();
    app.Run([&] {
        EXPECT_EQ(MainForm->StaticText_InterfaceConfig1->text().toStdString(), app.BusUrl());
        EXPECT_TRUE(MainForm->RadioButton_ListenOnly->isChecked());
        app.StartNetworkAccess();
        ASSERT_TRUE(app.boxes.boxes.empty()) << app.boxes.boxes.front().text.toStdString();
        ASSERT_TRUE(MainForm->Button_OpenMonitorWindow->isEnabled());

        const bool shown = app.WhileMonitorShows([&] {
            EXPECT_EQ(Form_MTU->ListenOnly, 1);
            EXPECT_EQ(Form_MTU->StatusText(), QStringLiteral("MTU Status: Offline!!!!!!!!!!"));
            ExpectComesToShow(app, {{MtuValue, 2, "1500"},
                                    {MtuHex, 2, "0x000005dc"},
                                    {MtuValue, 108, "-12"},
                                    {MtuHex, 108, "0xfffffff4"},
                                    {MtuValue, 121, "Sensor Defect"},
                                    {MtuValue, 200, "20000"},
                                    {MtuHex, 254, "0x12345678"},
                                    {DinBus, 1, "a1"},
                                    {DinBus, 10, "a"},
                                    {DinBus, 23, "0"},
                                    {DinBus, 36, "c4"}});
        });
        EXPECT_TRUE(shown);
        // Nothing went to the gateway: no NMT command, no SDO transfer.
        EXPECT_EQ(app.SimulatorLinesFrom(afterReady, {"nmt", "sdo", "mode", "heartbeat "}),
                  std::vector<std::string>{});

        // Stop: the threads end, the gateway is reset, the interface closes.
        app.StopNetworkAccess();
        EXPECT_TRUE(app.boxes.boxes.empty());
        EXPECT_EQ(PdoDataThread, nullptr);
        EXPECT_EQ(EmergencyThread, nullptr);
        EXPECT_FALSE(MainForm->VersionInformation1->isEnabled());
        EXPECT_TRUE(MainForm->Button_NetworkStartAccess->isEnabled());
        EXPECT_TRUE(app.Until([&] { return app.SimulatorSaid("nmt reset-communication"); }));

        // Started again, the interface opens afresh and PDOs flow again.
        app.StartNetworkAccess();
        EXPECT_TRUE(app.boxes.boxes.empty());
        EXPECT_TRUE(app.WhileMonitorShows([&] {
            uint32_t received = 0, dropped = 0;
            EXPECT_TRUE(app.Until([&] { return app.PdoCounts(GATEWAY, &received, &dropped) && received > 0; }));
        }));
    });
}

TEST_F(EndToEnd, CyclicBrowseFindsTheGatewaySetsTenMillisecondsAndValuesKeepComing)
{
    Start({"--scenario", "table"});
    app.Run([&] {
        FindGateway(MainForm->RadioButton_Cyclic, 1101);
        EXPECT_TRUE(app.Until([&] { return app.SimulatorSaid("mode cyclic 10 ms"); }));
        const auto lines = app.SimulatorLinesFrom(0, {"nmt reset-communication", "nmt start", "sdo write"});
        EXPECT_EQ(lines, (std::vector<std::string>{"nmt reset-communication", "nmt start", "sdo write 0x1803:5 = 10"}));

        const bool shown = app.WhileMonitorShows([&] {
            // The showing read the MTU state and the fault bitmap.
            EXPECT_EQ(Form_MTU->StatusText(), QStringLiteral("MTU Status: Online"));
            for (int fault : {1, 2, 17, 255, 400})
                EXPECT_EQ(Form_MTU->AdvStringGrid_MTU_FaultCodes->Cell(1, fault), "Fault Active") << fault;
            EXPECT_EQ(Form_MTU->AdvStringGrid_MTU_FaultCodes->Cell(1, 3), "0");
            EXPECT_EQ(VisibleTabs(), (std::vector<QString>{QStringLiteral("MTU Engine Data"),
                                                           QStringLiteral("MTU Fault Codes"),
                                                           QStringLiteral("DinBus"),
                                                           QStringLiteral("History")}));
            ASSERT_TRUE(app.Until([] { return MtuHex(2) == "0x000005dc" && MtuHex(254) == "0x12345678"; }));

            // Every 10 ms a batch: over a second, hundreds of receipts.
            uint32_t before = 0, after = 0, dropped = 0;
            ASSERT_TRUE(app.PdoCounts(GATEWAY, &before, &dropped));
            app.RunFor(1000);
            ASSERT_TRUE(app.PdoCounts(GATEWAY, &after, &dropped));
            EXPECT_GT(after - before, 100u);
            EXPECT_EQ(dropped, 0u);
        });
        EXPECT_TRUE(shown);
        EXPECT_NE(PdoDataThread, nullptr) << "closing the monitor leaves monitoring on";
    });
}

TEST_F(EndToEnd, CosBrowseAsksForChangesOnlyAndTheTableArrivesOnce)
{
    Start({"--scenario", "table"});
    app.Run([&] {
        FindGateway(MainForm->RadioButton_COS, 1101);
        EXPECT_TRUE(app.Until([&] { return app.SimulatorSaid("mode change-of-state"); }));
        EXPECT_TRUE(app.SimulatorSaid("sdo write 0x1803:5 = 0"));
        EXPECT_FALSE(app.SimulatorSaid("sdo write 0x1803:5 = 10"));
        const bool shown = app.WhileMonitorShows([&] {
            ExpectComesToShow(app, {{MtuHex, 254, "0x12345678"}, {DinBus, 36, "c4"}, {MtuValue, 2, "1500"}});
        });
        EXPECT_TRUE(shown);
    });
}

TEST_F(EndToEnd, J1939GatewayShowsOnlyDinBusAndJ1939Data)
{
    Start({"--scenario", "table", "--product", "1104"});
    app.Run([&] {
        FindGateway(MainForm->RadioButton_Cyclic, 1104);
        const bool shown = app.WhileMonitorShows([&] {
            EXPECT_EQ(Form_MTU->ProductCode, 1104);
            EXPECT_EQ(VisibleTabs(), (std::vector<QString>{QStringLiteral("DinBus"), QStringLiteral("J1939 Data"),
                                                           QStringLiteral("History")}));
            ExpectComesToShow(app, {{J1939, 0, "ff ff ff e0 2e ff ff ff"},
                                    {J1939, 1, "08 09 0a 0b 0c 0d 0e 0f"},
                                    {J1939, 2, "10 11 12 13 14 15 16 17"},
                                    {J1939, 31, "f8 f9 fa fb fc fd fe ff"}});
        });
        EXPECT_TRUE(shown);
    });
}

// The MTU events of the History tab received from `fromWallUs` on, oldest
// first, in the simulator's words.
std::vector<std::string> HistoryOfMtu(int64_t fromWallUs)
{
    std::vector<std::string> events;
    const THistoryLog &log = Form_MTU->TabSheet_History->Log();
    for (size_t i = log.Size(); i-- > 0;) {
        const THistoryEntry &entry = log.Newest(i);
        if (entry.WallUs < fromWallUs)
            continue;
        if (entry.Kind == THistoryKind::MtuOnline || entry.Kind == THistoryKind::MtuOffline)
            events.push_back(entry.Kind == THistoryKind::MtuOnline ? "mtu online" : "mtu offline");
    }
    return events;
}

int64_t WallNowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST_F(EndToEnd, MtuGoingOfflineFlashesTheIndicatorAndComingBackClearsIt)
{
    Start({"--scenario", "flap"});
    app.Run([&] {
        FindGateway(MainForm->RadioButton_Cyclic, 1101);
        // From here on the adapter is online and the emergency thread runs.
        const size_t monitoring = app.SimulatorLines().size();
        const int64_t monitoringUs = WallNowUs();
        const bool shown = app.WhileMonitorShows([&] {
            QLabel *indicator = Form_MTU->StaticText_MTUOffline;
            const auto offline = [] { return Form_MTU->StatusText() == QStringLiteral("MTU Status: Offline!!!!!!!!!!"); };
            const auto online = [] { return Form_MTU->StatusText() == QStringLiteral("MTU Status: Online"); };
            // Whatever state the showing found, the next offline spell comes.
            if (offline()) {
                ASSERT_TRUE(app.Until(online));
            }
            ASSERT_TRUE(app.Until(offline));
            EXPECT_TRUE(app.Until([&] { return !indicator->isHidden(); })) << "flashes on";
            EXPECT_TRUE(app.Until([&] { return indicator->isHidden() || online(); })) << "and off";
            EXPECT_TRUE(app.Until([] { return MtuValue(2) == "Missing Data"; }));
            ASSERT_TRUE(app.Until(online));
            EXPECT_TRUE(indicator->isHidden());
            EXPECT_TRUE(app.Until([] { return MtuValue(2) != "Missing Data"; }));

            // Every change the simulator made is in the history, in order. Both
            // alternate, so it is the count that shows nothing was missed; a
            // change within a moment of the start may fall on either side.
            std::vector<std::string> changes, history;
            EXPECT_TRUE(app.Until([&] {
                changes = app.SimulatorLinesFrom(monitoring, {"mtu "});
                history = HistoryOfMtu(monitoringUs);
                return changes.size() >= 3 && !history.empty() && history.back() == changes.back();
            }));
            ASSERT_GE(changes.size(), 3u);
            EXPECT_NEAR(double(history.size()), double(changes.size()), 1.0);
            const size_t both = std::min(history.size(), changes.size());
            EXPECT_EQ(std::vector<std::string>(history.end() - long(both), history.end()),
                      std::vector<std::string>(changes.end() - long(both), changes.end()));
        });
        EXPECT_TRUE(shown);
        EXPECT_TRUE(app.SimulatorSaid("mtu offline"));
        EXPECT_TRUE(app.SimulatorSaid("mtu online"));
    });
}

TEST_F(EndToEnd, ClosingTheMainWindowWhileMonitoringEndsEverythingCleanly)
{
    Start({"--scenario", "live"});
    const int result = app.Run([&] {
        FindGateway(MainForm->RadioButton_Cyclic, 1101);
        ASSERT_TRUE(app.WhileMonitorShows([&] {
            ASSERT_TRUE(app.Until([] { return MtuValue(2) != "Missing Data"; }));
        }));
        MainForm->close();
        EXPECT_EQ(PdoDataThread, nullptr);
        EXPECT_EQ(CopnInterface, nullptr);
    });
    EXPECT_EQ(result, 0);
}

} // namespace
