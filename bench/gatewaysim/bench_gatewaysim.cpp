// What each scenario puts on the bus, against what the bus carries at
// 250 kbit/s and 1 Mbit/s:
//   1. the core in simulated time (60 s per case): exactly what the
//      gateway asks of the bus, by kind of frame;
//   2. the core's own speed: frames it produces per second of CPU;
//   3. the program on a private virtual bus: frames a listener receives.
#include "BusBudget.h"
#include "Gateway.h"
#include "GatewayMessages.h"
#include "PeerThread.h"
#include "Platform.h"
#include "protocol/Cia301.h"
#include "SimulatorProcess.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::CanBusPort;

using namespace gatewaysim;

namespace {

struct CountingSink : GatewaySink {
    uint64_t pdos = 0, emergencies = 0, others = 0;
    void send(const CanFrame &frame) override
    {
        if (cia301::functionOf(frame.id) == cia301::COB_TPDO4)
            ++pdos;
        else if (cia301::functionOf(frame.id) == cia301::COB_EMCY)
            ++emergencies;
        else
            ++others;
    }
    void note(const std::string &) override {}
};

// Runs an operational gateway from 0 to seconds in simulated time.
CountingSink simulate(ScenarioKind scenario, uint32_t bitrate, uint16_t eventTimerMs, double seconds,
                      double rate = 0)
{
    GatewayConfig config;
    config.scenario = scenario;
    config.pdoRate = rate > 0 ? rate
                              : (scenario == ScenarioKind::Burst ? defaultBurstRate(bitrate) : defaultPdoRate(bitrate));
    CountingSink sink;
    Gateway gateway(config, sink);
    gateway.powerOn(0);
    gateway.receive(makeFrame(cia301::COB_NMT, {cia301::NMT_START_REMOTE_NODE, config.node}), 0);
    gateway.receive(makeFrame(cia301::COB_SDO_RX + config.node,
                              {0x2B, 0x03, 0x18, 5, uint8_t(eventTimerMs), uint8_t(eventTimerMs >> 8), 0, 0}),
                    0);
    sink = CountingSink{};
    const auto end = int64_t(seconds * 1e6);
    for (int64_t due = gateway.nextDueUs(); due <= end; due = gateway.nextDueUs())
        gateway.poll(due);
    return sink;
}

const ScenarioKind SCENARIOS[] = {ScenarioKind::Live, ScenarioKind::Table, ScenarioKind::Flap, ScenarioKind::Burst,
                                  ScenarioKind::Silent};

void coreInSimulatedTime()
{
    std::printf("1. What each scenario asks of the bus (core, 60 s simulated, MTU gateway 1101)\n");
    std::printf("%-8s %-9s %-13s %9s %7s %9s %8s %8s\n", "bit/s", "scenario", "mode", "PDO/s", "EMCY/s", "other/s",
                "%full", "%worst");
    for (uint32_t bitrate : {250000u, 1000000u}) {
        for (ScenarioKind scenario : SCENARIOS) {
            for (uint16_t timer : {uint16_t(10), uint16_t(0)}) {
                if (scenario == ScenarioKind::Burst && timer == 0)
                    continue; // burst ignores the event timer
                const double seconds = 60;
                const CountingSink s = simulate(scenario, bitrate, timer, seconds);
                const double total = double(s.pdos + s.emergencies + s.others) / seconds;
                std::printf("%-8u %-9s %-13s %9.1f %7.2f %9.2f %7.1f%% %7.1f%%\n", bitrate, scenarioName(scenario),
                            scenario == ScenarioKind::Burst ? "burst" : timer ? "cyclic 10 ms" : "change",
                            double(s.pdos) / seconds, double(s.emergencies) / seconds, double(s.others) / seconds,
                            100 * total / fullBusFramesPerSecond(bitrate),
                            100 * total / worstCaseFramesPerSecond(bitrate));
            }
        }
        std::printf("         capacity at %u bit/s: %.0f frames/s full (111 bits), %.0f worst case (135 bits), "
                    "default PDO budget %.0f\n",
                    bitrate, fullBusFramesPerSecond(bitrate), worstCaseFramesPerSecond(bitrate),
                    defaultPdoRate(bitrate));
    }
}

void coreSpeed()
{
    const double rate = 1e6, seconds = 10;
    const int64_t start = MonotonicMicros();
    const CountingSink s = simulate(ScenarioKind::Burst, 1000000, 10, seconds, rate);
    const double cpu = double(MonotonicMicros() - start) / 1e6;
    std::printf("\n2. Core speed: %llu frames of the live engine in %.3f s: %.0f frames/s (a full 1 Mbit/s bus is "
                "%.0f)\n",
                static_cast<unsigned long long>(s.pdos), cpu, double(s.pdos) / cpu, fullBusFramesPerSecond(1000000));
}

struct BusCase {
    const char *scenario;
    const char *rate; // nullptr: the default
};

void programOnTheBus()
{
    std::printf("\n3. The program on a private virtual bus at 250 kbit/s (listener counts for 3 s)\n");
    std::printf("%-9s %-8s %11s %8s\n", "scenario", "--rate", "frames/s", "%full");
    const BusCase cases[] = {{"live", nullptr},  {"table", nullptr}, {"flap", nullptr},  {"silent", nullptr},
                             {"burst", nullptr}, {"burst", "9000"},  {"burst", "100000"}};
    // One listener hosts the bus for every case: Qt's virtual bus binds its
    // server to the first thread of a process that uses it.
    const QString url = privateBusUrl(freeLocalPort());
    PeerThread listener;
    if (!listener.open(url)) {
        std::printf("cannot open the listener on %s\n", qPrintable(url));
        return;
    }
    std::atomic<uint64_t> frames{0};
    listener.setResponder([&frames](CanBusPort &, const CanFrame &) {
        frames.fetch_add(1, std::memory_order_relaxed);
        return false;
    });
    for (const BusCase &c : cases) {
        std::vector<std::string> args = {"--interface", url.toStdString(), "--scenario", c.scenario,
                                         "--heartbeat", "100"};
        if (c.rate)
            args.insert(args.end(), {"--rate", c.rate});
        SimulatorProcess sim(args);
        if (sim.waitLine("ready ").empty()) {
            std::printf("%-9s the simulator did not get ready: %s\n", c.scenario, sim.errorOutput().c_str());
            continue;
        }
        // A frame from the simulator shows the bus server has taken it in;
        // a command sent before that would not reach it.
        frames.store(0);
        for (int waited = 0; frames.load() == 0 && waited < 10000; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        listener.send(makeFrame(cia301::COB_NMT, {cia301::NMT_START_REMOTE_NODE, 7}));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const uint64_t before = frames.load();
        const int64_t start = MonotonicMicros();
        for (int i = 0; i < 30; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            sim.collect();
        }
        const double elapsed = double(MonotonicMicros() - start) / 1e6;
        const double perSecond = double(frames.load() - before) / elapsed;
        sim.stop(SIGTERM);
        std::printf("%-9s %-8s %11.0f %7.1f%%\n", c.scenario, c.rate ? c.rate : "default", perSecond,
                    100 * perSecond / fullBusFramesPerSecond(250000));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // the listener's thread runs a Qt event loop
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    coreInSimulatedTime();
    coreSpeed();
    programOnTheBus();
    return 0;
}
