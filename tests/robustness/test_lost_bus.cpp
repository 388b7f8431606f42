// The bus goes away while the monitor shows live data: the gateway simulator
// is killed, or the separate process that hosted the virtual bus is. The
// application keeps running and keeps showing the last values, reports
// nothing (no message box, not even when the user stops network access),
// and once a gateway is back, Stop, Start and Browse bring live values again.
#include "RobustnessSupport.h"

#include "Main.h"
#include "PeerThread.h"
#include "TForm_MTU.h"
#include "TThread_Emergency.h"
#include "TThread_PdoData.h"

#include <QPushButton>
#include <QRadioButton>

#include <csignal>

namespace {

const std::vector<std::string> TABLE = {"--scenario", "table"};
// Display ticks to let the last receipts be drawn, and to watch the picture hold.
constexpr int SETTLE_TICKS = 3;
constexpr int HOLD_TICKS = 10;

bool ShowsTheTable()
{
    return MtuCell(3, 2) == "0x000005dc" && MtuCell(3, 254) == "0x12345678" && DinBusCell(36) == "c4" &&
           Form_MTU->StatusText() == QStringLiteral("MTU Status: Online") && FaultCell(400) == "Fault Active";
}

void WaitTicks(AppOnBus &app, int ticks)
{
    DisplayTicks counted;
    EXPECT_TRUE(app.Until([&] { return counted.count() >= ticks; })) << "the display stopped ticking";
}

// The whole story around one loss of the bus. `loseBus` takes it away;
// `bringBack` waits until a gateway is on the bus again.
void SurviveLossAndRecover(AppOnBus &app, const std::function<void()> &loseBus,
                           const std::function<bool()> &bringBack)
{
    ASSERT_TRUE(FoundGateway(app, MainForm->RadioButton_Cyclic));

    std::vector<std::string> picture;
    ASSERT_TRUE(app.WhileMonitorShows([&] {
        ASSERT_TRUE(app.Until(ShowsTheTable));
        loseBus();
        ASSERT_TRUE(app.Until([] { return !LibraryOnline(); })) << "the library did not notice";
        WaitTicks(app, SETTLE_TICKS);
        picture = MonitorPicture();
        WaitTicks(app, HOLD_TICKS);
        EXPECT_EQ(MonitorPicture(), picture) << "the monitor changed without a bus";
        EXPECT_TRUE(ShowsTheTable()) << "the last values are gone";
    }));
    EXPECT_TRUE(app.boxes.boxes.empty()) << "the loss was reported: " << app.boxes.boxes.front().text.toStdString();
    EXPECT_NE(PdoDataThread, nullptr) << "monitoring goes on until Stop";

    // Opened again without a bus: the showing's reads fail, nothing changes.
    ASSERT_TRUE(app.WhileMonitorShows([&] {
        EXPECT_EQ(MonitorPicture(), picture);
        WaitTicks(app, SETTLE_TICKS);
        EXPECT_EQ(MonitorPicture(), picture);
    }));

    app.StopNetworkAccess();
    EXPECT_TRUE(app.boxes.boxes.empty()) << "Stop reported \"" << app.boxes.boxes.front().text.toStdString() << '"';
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(EmergencyThread, nullptr);
    ASSERT_TRUE(MainForm->Button_NetworkStartAccess->isEnabled());

    ASSERT_TRUE(bringBack()) << "no gateway came back";
    ASSERT_TRUE(FoundGateway(app, MainForm->RadioButton_Cyclic));
    ASSERT_TRUE(app.WhileMonitorShows([&] {
        // Two fresh receipts of the same parameter: values flow again.
        for (int receipt = 0; receipt < 2; ++receipt) {
            const std::string time = MtuCell(4, 2);
            EXPECT_TRUE(app.Until([&] { return MtuCell(4, 2) != time; })) << "receipt " << receipt;
        }
        EXPECT_GT(GatewayPdoCounts(app).received, 0u);
        EXPECT_TRUE(ShowsTheTable());
    }));
    app.StopNetworkAccess();
    EXPECT_TRUE(app.boxes.boxes.empty());
}

TEST(LostBus, SimulatorKilledMidStreamAndStartedAgain)
{
    AppOnBus app;
    ASSERT_EQ(app.StartSimulator(TABLE), "");
    std::unique_ptr<SimulatorProcess> restarted;
    app.Run([&] {
        SurviveLossAndRecover(
            app, [&] { EXPECT_EQ(app.Simulator().stop(SIGKILL), -1) << "killed, not ended"; },
            [&] {
                std::string error;
                restarted = StartSimulatorOn(app.BusUrl(), TABLE, &error);
                EXPECT_EQ(error, "");
                return restarted != nullptr;
            });
    });
    ASSERT_NE(restarted, nullptr);
    EXPECT_EQ(restarted->stop(SIGTERM), 0) << restarted->errorOutput();
}

TEST(LostBus, HostOfTheBusEndedWhileMonitoring)
{
    AppOnBus app;
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    std::string error;
    // The bus's host first, then the simulator, then the application.
    std::unique_ptr<SimulatorProcess> host = StartBusActor("host", url, {}, &error);
    ASSERT_NE(host, nullptr) << error;
    std::unique_ptr<SimulatorProcess> simulator = StartSimulatorOn(url, TABLE, &error);
    ASSERT_NE(simulator, nullptr) << error;
    ASSERT_EQ(StoreBusConfiguration(url), "");

    const auto said = [&](const char *line) {
        simulator->collect();
        return simulator->saw(line);
    };
    app.Run([&] {
        SurviveLossAndRecover(
            app, [&] { EXPECT_EQ(host->stop(SIGKILL), -1) << "killed, not ended"; },
            // The simulator notices too, and hosts the bus itself when it reconnects.
            [&] { return app.Until([&] { return said("bus lost") && said("bus reconnected"); }); });
    });
    EXPECT_EQ(simulator->stop(SIGTERM), 0) << simulator->errorOutput();
}

} // namespace
