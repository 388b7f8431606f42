// Load beyond any real bus. An emergency flood from every other node while
// the gateway flaps its MTU state: the monitor follows the gateway's own
// reports and none of the flood's, its display keeps ticking, and Stop ends
// the receive threads while the flood goes on. A PDO stream at what the
// virtual bus carries: nothing lost on the way to the library, the grids end
// on the last values sent, memory stays flat. (That nothing is dropped at a
// full real bus depends on the CPU the machine leaves: bench_e2e's cpu and
// underload runs show it.) A tap on the bus counts what the gateway sent;
// the gateway is stopped (NMT) to end its stream. Longer or harder runs by
// hand: TARNWICK_FLOOD_SECONDS, TARNWICK_FLOOD_RATE, TARNWICK_BURST_SECONDS,
// TARNWICK_BURST_RATE.
#include "RobustnessSupport.h"

#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "TForm_MTU.h"
#include "trace/BlackBox.h"

#include <QPushButton>
#include <QRadioButton>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace trace = qelcopn::trace;

namespace {

using Clock = std::chrono::steady_clock;

// What resident memory may grow while the stream runs, after the first
// receipts have warmed the caches up, beside the black box, which keeps
// every frame up to its cap by design.
constexpr int64_t MEMORY_ALLOWANCE_KIB = 4096;
constexpr uint32_t WARM_UP_PDOS = 10000;
constexpr int WARM_UP_TICKS = 5;
// About what Qt's virtual bus carries between two processes here.
constexpr int VIRTUAL_BUS_PDOS_PER_SECOND = 100000;
// The flood runs at least this long and until the display has ticked this often.
constexpr int FLOOD_TICKS = 20;
// Whatever the flood says, the gateway's own fault (live engine) is this one.
constexpr int GATEWAY_FAULT = 23;
constexpr int LIMIT_BEYOND_DURATION_MS = 120000;

// The gateway's MTU state changes it announced from line `first` on, up to
// its NMT stop (a stopped gateway sends no emergency).
std::vector<std::string> GatewayStateChanges(const std::vector<std::string> &lines, size_t first)
{
    std::vector<std::string> changes;
    for (size_t i = first; i < lines.size() && lines[i] != "nmt stop"; ++i)
        if (lines[i] == "mtu offline" || lines[i] == "mtu online")
            changes.push_back(lines[i]);
    return changes;
}

double SecondsSince(Clock::time_point began)
{
    return std::chrono::duration<double>(Clock::now() - began).count();
}

bool GatewayReportedStopped()
{
    uint8_t state = 0;
    return CopnInterface != nullptr && ::GetNodeState(CopnInterface->InterfaceHandle, GATEWAY_NODE, &state) != 0 &&
           state == 0x04;
}

// Ends the gateway's stream and waits until the application has taken in
// all of it; the counts then are final.
void EndStreamAndCompare(AppOnBus &app, SimulatorProcess &tap, TapReport *sent, PdoCounts *counts)
{
    ASSERT_TRUE(StopGatewayAndReadTap(app, tap, sent)) << "the tap gave no account";
    std::vector<std::string> differences;
    EXPECT_TRUE(app.Until([&] {
        differences = DifferencesFromLastSent(*sent);
        return GatewayReportedStopped() && differences.empty();
    }, LIMIT_BEYOND_DURATION_MS)) << differences.size() << " differences, first: "
                                  << (differences.empty() ? "" : differences.front());
    *counts = GatewayPdoCounts(app);
    // PDOs the gateway sent before the monitor registered its PDO are not
    // the library's; every one after the event-timer write is.
    EXPECT_LE(counts->received, sent->pdos);
    EXPECT_GE(counts->received, sent->pdosAfterWrite);
}

TEST(Load, EmergencyFloodFromOtherNodesChangesNothingWhileTheGatewaysOwnReportsGetThrough)
{
    const int seconds = EnvironmentNumber("TARNWICK_FLOOD_SECONDS", 8);
    const int rate = EnvironmentNumber("TARNWICK_FLOOD_RATE", 20000);
    AppOnBus app;
    ASSERT_EQ(app.StartSimulator({"--scenario", "flap"}), "");
    std::string error;
    std::unique_ptr<SimulatorProcess> tap = StartBusActor("tap", app.BusUrl(), {"--node", "7"}, &error);
    ASSERT_NE(tap, nullptr) << error;

    std::unique_ptr<SimulatorProcess> flood;
    int statusChanges = 0, changesShown = 0, ticks = 0, foreignFaults = 0;
    size_t gatewayChanges = 0;
    TapReport sent;
    PdoCounts counts;
    app.Run([&] {
        ASSERT_TRUE(FoundGateway(app, MainForm->RadioButton_Cyclic));
        ASSERT_TRUE(app.WhileMonitorShows([&] {
            QString status = Form_MTU->StatusText();
            DisplayTicks display([&] {
                statusChanges += Form_MTU->StatusText() != status ? 1 : 0;
                status = Form_MTU->StatusText();
                for (int fault = FAULT_FIRST_ROW; fault <= FAULT_LAST_ROW; ++fault)
                    foreignFaults += fault != GATEWAY_FAULT && FaultCell(fault) != "0" ? 1 : 0;
            });
            const size_t linesBefore = app.SimulatorLines().size();
            flood = StartBusActor("flood", app.BusUrl(), {"--spare", "7", "--rate", std::to_string(rate)}, &error);
            ASSERT_NE(flood, nullptr) << error;
            const Clock::time_point began = Clock::now();
            EXPECT_TRUE(app.Until([&] {
                return SecondsSince(began) >= seconds && statusChanges >= 2 && display.count() >= FLOOD_TICKS;
            }, seconds * 1000 + LIMIT_BEYOND_DURATION_MS))
                << "status changes " << statusChanges << ", display ticks " << display.count();
            EndStreamAndCompare(app, *tap, &sent, &counts);
            EXPECT_EQ(counts.dropped, 0u) << "PDOs dropped by the library";
            // The stopped gateway reports nothing more: its last report is
            // shown once the emergency thread and the display have caught up.
            const std::vector<std::string> said = GatewayStateChanges(app.SimulatorLines(), linesBefore);
            ASSERT_FALSE(said.empty());
            const QString last = said.back() == "mtu online" ? QStringLiteral("MTU Status: Online")
                                                             : QStringLiteral("MTU Status: Offline!!!!!!!!!!");
            EXPECT_TRUE(app.Until([&] { return Form_MTU->StatusText() == last; })) << "the last report is lost";
            gatewayChanges = said.size();
            changesShown = statusChanges;
            ticks = display.count();
        }));
        // Stopped while the flood goes on: the emergency thread, which
        // drains its queue before it looks at the stop, still ends.
        app.StopNetworkAccess();
        EXPECT_TRUE(app.boxes.boxes.empty());
        EXPECT_TRUE(MainForm->Button_NetworkStartAccess->isEnabled());
    });
    ASSERT_NE(flood, nullptr);
    EXPECT_EQ(flood->stop(SIGTERM), 0);
    const std::string floodEnd = flood->lines().empty() ? "" : flood->lines().back();
    std::printf("flood: %d s at %d/s: %s; display ticks %d; MTU state changes shown %d, sent by the gateway %zu; "
                "gateway PDOs sent %llu, received %u, dropped %u\n",
                seconds, rate, floodEnd.c_str(), ticks, changesShown, gatewayChanges,
                static_cast<unsigned long long>(sent.pdos), counts.received, counts.dropped);
    // Every change the gateway reported is shown, and no more: the flood's
    // messages alternate offline and online, and taken for the gateway's they
    // would turn the status at nearly every tick. (One change the gateway
    // made just before the count began may be shown after it began.)
    EXPECT_GE(size_t(changesShown), gatewayChanges) << "reports of the gateway lost";
    EXPECT_LE(size_t(changesShown), gatewayChanges + 1) << "reports of other nodes taken for the gateway's";
    EXPECT_EQ(foreignFaults, 0) << "fault rows set by other nodes' messages";
    EXPECT_EQ(tap->stop(SIGTERM), 0);
    EXPECT_EQ(app.StopSimulator(), 0) << app.Simulator().errorOutput();
}

struct BurstResult {
    TapReport sent;
    PdoCounts counts;
    // Once warmed up, at the end of the stream, and once all of it is taken in.
    ProcessFigures warm, loaded, drained;
    uint32_t receivedWarm = 0;
    double receivedPerSecond = 0;
};

// The simulator's burst at `rate` PDOs/s for `seconds`, the monitor window
// open: the grids end on the last values sent, and memory is as it was once
// the first receipts and display passes had warmed it up. (While a stream
// outruns the library's reader, Qt's socket holds the backlog; that is
// shown, and must be gone again once the stream is taken in.)
void RunBurst(int rate, int seconds, BurstResult *result)
{
    AppOnBus app;
    ASSERT_EQ(app.StartSimulator({"--scenario", "burst", "--rate", std::to_string(rate)}), "");
    std::string error;
    std::unique_ptr<SimulatorProcess> tap = StartBusActor("tap", app.BusUrl(), {"--node", "7"}, &error);
    ASSERT_NE(tap, nullptr) << error;
    app.Run([&] {
        ASSERT_TRUE(FoundGateway(app, MainForm->RadioButton_Cyclic));
        ASSERT_TRUE(app.WhileMonitorShows([&] {
            DisplayTicks display;
            ASSERT_TRUE(app.Until([&] {
                return GatewayPdoCounts(app).received >= WARM_UP_PDOS && display.count() >= WARM_UP_TICKS;
            }));
            result->warm = MeasureSettledProcess(app);
            const uint32_t before = GatewayPdoCounts(app).received;
            result->receivedWarm = before;
            const Clock::time_point began = Clock::now();
            app.RunFor(seconds * 1000);
            result->receivedPerSecond = (GatewayPdoCounts(app).received - before) / SecondsSince(began);
            result->loaded = MeasureProcess();
            EndStreamAndCompare(app, *tap, &result->sent, &result->counts);
            result->drained = MeasureSettledProcess(app);
        }));
        app.StopNetworkAccess();
        EXPECT_TRUE(app.boxes.boxes.empty());
    });
    std::printf("burst: %d s, simulator asked for %d/s: gateway PDOs sent %llu, received %u (%.0f/s), dropped %u "
                "(%.2f%%); memory warm %s, at the end of the stream %s, taken in %s\n",
                seconds, rate, static_cast<unsigned long long>(result->sent.pdos), result->counts.received,
                result->receivedPerSecond, result->counts.dropped,
                result->counts.received ? 100.0 * result->counts.dropped / result->counts.received : 0.0,
                Describe(result->warm).c_str(), Describe(result->loaded).c_str(), Describe(result->drained).c_str());
    if (RESIDENT_MEMORY_TELLS) {
        const int64_t blackBoxKiB =
            int64_t(result->counts.received - result->receivedWarm) * int64_t(trace::BlackBox::kRecordBytes) / 1024;
        EXPECT_LE(result->drained.residentKiB - result->warm.residentKiB, MEMORY_ALLOWANCE_KIB + blackBoxKiB)
            << "resident memory";
    }
    EXPECT_EQ(tap->stop(SIGTERM), 0);
    EXPECT_EQ(app.StopSimulator(), 0) << app.Simulator().errorOutput();
}

// As fast as the virtual bus carries, ten times a real bus: nothing is lost
// on the way to the library, and when the PDO thread falls behind, the
// library drops the oldest and counts them, so the grids still end on the
// newest values.
TEST(Load, PdoBurstAtTheVirtualBusMaximumLosesNothingOnTheWayAndEndsOnTheLastValuesSent)
{
    BurstResult result;
    RunBurst(EnvironmentNumber("TARNWICK_BURST_RATE", VIRTUAL_BUS_PDOS_PER_SECOND),
             EnvironmentNumber("TARNWICK_BURST_SECONDS", 10), &result);
    // How many were dropped depends on the CPU the machine leaves the PDO
    // thread; the line above tells.
}

} // namespace
