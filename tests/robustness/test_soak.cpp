// The soak: cycle after cycle of what a technician does all day long - Start
// Network Access, Network Browse (Yes), the monitor window opened on fresh
// data and closed, Stop Network Access - against the gateway simulator. What
// the process holds after the first cycle and after the last must be the
// same: open descriptors, threads, and resident memory within an allowance.
// TARNWICK_SOAK_CYCLES sets the number of cycles (scripts/soak.sh: 200).
#include "RobustnessSupport.h"

#include "Main.h"
#include "TThread_Emergency.h"
#include "TThread_PdoData.h"

#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int DEFAULT_CYCLES = 30;
// What resident memory may grow between the end of the warm-up and the last
// cycle. The heap and Qt's caches settle over the first cycles (by about
// 1.4 MiB, most of it in the first five); a leak of a few KiB a cycle shows
// over a long soak.
constexpr int WARM_UP_CYCLES = 5;
constexpr int64_t MEMORY_ALLOWANCE_KIB = 2048;
constexpr int SIMULATOR_SECONDS_PER_CYCLE = 60;

double SecondsSince(std::chrono::steady_clock::time_point began)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

TEST(Soak, CycleAfterCycleOfAccessBrowseMonitorAndStopLeavesNothingBehind)
{
    const int cycles = EnvironmentNumber("TARNWICK_SOAK_CYCLES", DEFAULT_CYCLES);
    AppOnBus app;
    const std::string lifetime = std::to_string(600 + cycles * SIMULATOR_SECONDS_PER_CYCLE);
    ASSERT_EQ(app.StartSimulator({"--scenario", "table", "--seconds", lifetime}), "");

    ProcessFigures first, last;
    double totalSeconds = 0;
    app.Run([&] {
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            const auto began = std::chrono::steady_clock::now();
            ASSERT_TRUE(FoundGateway(app, MainForm->RadioButton_Cyclic)) << "cycle " << cycle;

            const std::string timeBefore = MtuCell(4, 2);
            bool fresh = false;
            ASSERT_TRUE(app.WhileMonitorShows([&] {
                // This cycle's own receipts reach the grid.
                fresh = app.Until([&] {
                    return GatewayPdoCounts(app).received > 0 && MtuCell(4, 2) != timeBefore &&
                           MtuCell(3, 254) == "0x12345678";
                });
            })) << "cycle " << cycle;
            ASSERT_TRUE(fresh) << "cycle " << cycle << ": no fresh data in the monitor";
            EXPECT_EQ(GatewayPdoCounts(app).dropped, 0u) << "cycle " << cycle;

            app.StopNetworkAccess();
            ASSERT_TRUE(app.boxes.boxes.empty()) << "cycle " << cycle << ": "
                                                 << app.boxes.boxes.front().text.toStdString();
            ASSERT_EQ(PdoDataThread, nullptr);
            ASSERT_EQ(EmergencyThread, nullptr);
            ASSERT_TRUE(MainForm->Button_NetworkStartAccess->isEnabled());

            const double seconds = SecondsSince(began);
            totalSeconds += seconds;
            last = MeasureSettledProcess(app);
            if (cycle == std::min(cycles, WARM_UP_CYCLES))
                first = last;
            std::printf("soak cycle %d: %.1f s, %s\n", cycle, seconds, Describe(last).c_str());
            if (cycle > WARM_UP_CYCLES && last.threads != first.threads)
                std::printf("  threads: %s\n", JoinedThreadNames().c_str());
            std::fflush(stdout);
        }
    });
    ASSERT_FALSE(HasFatalFailure());

    std::printf("soak: %d cycles, %.1f s per cycle; after cycle %d: %s; after cycle %d: %s; memory %+lld KiB "
                "(allowance %lld KiB)\n",
                cycles, totalSeconds / cycles, std::min(cycles, WARM_UP_CYCLES), Describe(first).c_str(), cycles,
                Describe(last).c_str(),
                static_cast<long long>(last.residentKiB - first.residentKiB),
                static_cast<long long>(MEMORY_ALLOWANCE_KIB));
    EXPECT_EQ(last.fds, first.fds) << "open descriptors";
    EXPECT_EQ(last.threads, first.threads) << "threads";
    if (RESIDENT_MEMORY_TELLS) {
        EXPECT_LE(last.residentKiB - first.residentKiB, MEMORY_ALLOWANCE_KIB) << "resident memory";
    }
    EXPECT_EQ(app.StopSimulator(), 0) << app.Simulator().errorOutput();
}

} // namespace
