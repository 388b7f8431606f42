// What the gateway puts on the bus stays within what the bus carries: the
// round-robin per period, the token bucket after a late wake-up, and the
// burst scenario's full bus.
#include "BusBudget.h"
#include "GatewayHarness.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

using namespace gatewaysim;
using namespace gatewaysim::testing;

namespace {

struct Load {
    size_t frames = 0;
    size_t mostInOnePoll = 0;
    std::map<int, int> perSub; // how often each MTU parameter went out
};

// Runs an operational gateway for the given time and counts its PDOs.
Load measure(GatewayConfig config, uint16_t eventTimerMs, int64_t runUs)
{
    Harness h(config);
    h.nmt(cia301::NMT_START_REMOTE_NODE, config.node);
    if (eventTimerMs != config.eventTimerMs) {
        EXPECT_EQ(h.downloadU16(0x1803, 5, eventTimerMs), 0u);
    }
    h.takeFrames();
    Load load;
    const int64_t end = h.now + runUs;
    while (h.gateway.nextDueUs() <= end) {
        h.now = std::max(h.now, h.gateway.nextDueUs());
        h.gateway.poll(h.now);
        size_t pdos = 0;
        for (const CanFrame &f : h.takeFrames()) {
            if (f.id != 0x487)
                continue;
            ++pdos;
            if ((f.data[1] | f.data[2] << 8) == 0x4200)
                ++load.perSub[f.data[3]];
        }
        load.frames += pdos;
        load.mostInOnePoll = std::max(load.mostInOnePoll, pdos);
    }
    return load;
}

GatewayConfig at(uint32_t bitrate, ScenarioKind scenario = ScenarioKind::Table)
{
    GatewayConfig config = tableConfig();
    config.scenario = scenario;
    config.pdoRate = scenario == ScenarioKind::Burst ? defaultBurstRate(bitrate) : defaultPdoRate(bitrate);
    return config;
}

TEST(BusBudgetTest, CyclicPeriodsCarryWhatTheBusAllows)
{
    for (uint32_t bitrate : {250000u, 1000000u}) {
        const double rate = defaultPdoRate(bitrate);
        const Load load = measure(at(bitrate), 10, 10'000'000);
        EXPECT_LE(double(load.frames), rate * 10 + rate * 0.01 + 1) << bitrate;
        EXPECT_GE(double(load.frames), rate * 10 * 0.95) << bitrate; // and uses it
        EXPECT_LE(double(load.mostInOnePoll), rate * 0.01 + 1) << bitrate;
    }
}

TEST(BusBudgetTest, SlowEventTimerSendsEachItemOncePerPeriod)
{
    GatewayConfig config = at(1000000);
    config.eventTimerMs = 1000;
    const Load load = measure(config, 1000, 10'000'000);
    EXPECT_EQ(load.frames, 11u * (254 + 36)); // periods at 0, 1, ..., 10 s
    for (const auto &[sub, count] : load.perSub)
        EXPECT_EQ(count, 11) << sub;
}

TEST(BusBudgetTest, TinyBudgetsStillComeOutRightOnAverage)
{
    GatewayConfig config = at(10000); // 37 frames/s: under one per 10 ms period
    const Load load = measure(config, 10, 10'000'000);
    EXPECT_NEAR(double(load.frames), config.pdoRate * 10, 3 + config.pdoRate * 0.01);
    EXPECT_LE(load.mostInOnePoll, 1u);
}

TEST(BusBudgetTest, BurstFillsTheBusOrTheGivenRate)
{
    const Load full = measure(at(250000, ScenarioKind::Burst), 10, 5'000'000);
    EXPECT_NEAR(double(full.frames), fullBusFramesPerSecond(250000) * 5, fullBusFramesPerSecond(250000) * 0.02);

    GatewayConfig fast = at(250000, ScenarioKind::Burst);
    fast.pdoRate = 20000;
    const Load given = measure(fast, 0, 2'000'000); // burst ignores change of state
    EXPECT_NEAR(double(given.frames), 40000, 400);
}

TEST(BusBudgetTest, LateWakeUpDoesNotFloodTheBus)
{
    GatewayConfig config = at(250000, ScenarioKind::Burst);
    Harness h(config);
    h.nmt(cia301::NMT_START_REMOTE_NODE, 7);
    h.runFor(100'000);
    h.takeFrames();
    h.now += 5'000'000; // the process was not scheduled for five seconds
    h.gateway.poll(h.now);
    const auto frames = h.takeFrames();
    const auto pdos = std::count_if(frames.begin(), frames.end(), [](const CanFrame &f) { return f.id == 0x487; });
    EXPECT_LE(double(pdos), config.pdoRate * 0.01 + 1);
}

} // namespace
