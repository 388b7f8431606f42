// The whole network's cost:
//  - the library's node-state tracking per received frame (ns): a busy
//    bus's mix (transmit PDOs of 127 nodes, their heartbeats and SDO
//    replies, one emergency in a thousand), and emergencies alone;
//  - one pass of the "CANopen Network" window (us) with all 127 nodes
//    changing as at 9,000 frames/s: every row's Last Heard and heartbeat,
//    a third of the states and emergency counts, and 90 new emergencies
//    (900 frames a 100 ms tick, one in ten an emergency); "Painted" adds
//    the repaint of the visible window.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "NetworkWindow.h"
#include "WindowBenchmarks.h"
#include "protocol/NodeMonitor.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using qelcopn::CanFrame;
using qelcopn::NodeMonitor;

std::vector<CanFrame> BusMix(bool emergenciesOnly)
{
    std::vector<CanFrame> mix;
    for (uint32_t i = 0; i < 4096; ++i) {
        CanFrame f;
        const uint8_t node = uint8_t(1 + i % 127);
        f.length = 8;
        if (emergenciesOnly || i % 1000 == 999)
            f.id = 0x080 + node;
        else if (i % 50 == 0) {
            f.id = 0x700 + node;
            f.length = 1;
            f.data[0] = 0x05;
        } else if (i % 20 == 1)
            f.id = 0x580 + node;
        else
            f.id = 0x180 + 0x100 * (i % 4) + node;
        f.data[1] = uint8_t(i);
        mix.push_back(f);
    }
    return mix;
}

void TrackFrames(benchmark::State &state, bool emergenciesOnly)
{
    auto monitor = std::make_unique<NodeMonitor>();
    const std::vector<CanFrame> mix = BusMix(emergenciesOnly);
    int64_t now = 1'000'000;
    size_t i = 0;
    for (auto _ : state) {
        monitor->onFrame(mix[i % mix.size()], now);
        now += 111; // 9,000 frames/s
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_NodeTracking_BusMix(benchmark::State &state) { TrackFrames(state, false); }
void BM_NodeTracking_EmergenciesOnly(benchmark::State &state) { TrackFrames(state, true); }
BENCHMARK(BM_NodeTracking_BusMix);
BENCHMARK(BM_NodeTracking_EmergenciesOnly);

// The tables as they stand after tick `round` of a busy network.
void Change(NodeStatus *statuses, std::vector<network::EmergencyRow> &emergencies, uint32_t round)
{
    for (unsigned node = 1; node < QELCOPN_NODE_TABLE_SIZE; ++node) {
        NodeStatus &s = statuses[node];
        s.Heard = 1;
        s.SilentMs = (round * 100 + node * 7) % 1000;
        s.HeartbeatPeriodMs = 999 + (round + node) % 3;
        s.State = (round + node) % 3 == 0 ? 0x05 : 0x7F;
        if ((round + node) % 3 == 0)
            ++s.Emergencies;
        s.LastEmergency[0] = uint8_t(round);
        s.LastEmergency[1] = 0x81;
    }
    emergencies.clear();
    for (uint32_t k = 0; k < 90; ++k) {
        network::EmergencyRow row;
        row.node = uint8_t(1 + (round * 90 + k) % 127);
        row.length = 8;
        row.wallUs = int64_t(round) * 100'000 + k;
        row.data[0] = 0x30;
        row.data[1] = 0x81;
        row.data[2] = 0x11;
        emergencies.push_back(row);
    }
}

void WindowPass(benchmark::State &state, bool painted)
{
    network::NetworkWindow window({});
    NodeStatus statuses[QELCOPN_NODE_TABLE_SIZE] = {};
    NodeIdentity identities[QELCOPN_NODE_TABLE_SIZE] = {};
    std::vector<network::EmergencyRow> emergencies;
    if (painted) {
        window.show();
        QCoreApplication::processEvents();
    }
    uint32_t round = 1;
    // The list at its bound, so each pass also drops as many as it adds.
    while (window.emergencies().rowCount() < int(network::EmergencyListModel::BOUND)) {
        Change(statuses, emergencies, round++);
        window.show(statuses, identities, emergencies);
    }
    size_t cells = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Change(statuses, emergencies, round++);
        state.ResumeTiming();
        window.show(statuses, identities, emergencies);
        cells += window.nodes().changedCells();
        if (painted) {
            window.repaint();
            QCoreApplication::processEvents();
        }
    }
    state.counters["cells"] = double(cells) / double(state.iterations());
    state.counters["rows"] = window.nodes().rowCount();
    window.hide();
}
void BM_NetworkWindowPass_127Nodes(benchmark::State &state) { WindowPass(state, false); }
void BM_NetworkWindowPassPainted_127Nodes(benchmark::State &state) { WindowPass(state, true); }
BENCHMARK(BM_NetworkWindowPass_127Nodes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NetworkWindowPassPainted_127Nodes)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return RunWindowBenchmarks(argc, argv);
}
