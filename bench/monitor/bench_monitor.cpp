// How fast the monitor takes in and draws the gateway's data:
//  - DecodePdoData and DecodeEmergency per message (ns);
//  - one display pass (Timer1Timer) with every row changed, and with 16 MTU
//    rows changed (us); "Painted" adds the repaint of the visible window;
//  - one display pass during an emergency flood of 20,000 messages/s (2,000
//    per 100 ms tick, every one a change for the history) with the history
//    at its bound of 100,000, so each pass also drops 2,000 (us).
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "HistoryTab.h"
#include "TForm_MTU.h"
#include "WindowBenchmarks.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr uint8_t NODE = 7;
// A receive stamp as the library delivers it; its value changes no decoding cost.
constexpr uint32_t STAMP = 0x1000;
using Message = std::array<uint8_t, 8>;

Message Pdo(uint16_t index, uint8_t sub, uint32_t field)
{
    return {0, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(field), uint8_t(field >> 8), uint8_t(field >> 16),
            uint8_t(field >> 24)};
}

// The gateway's mix: mostly MTU parameters, some DinBus bytes and J1939 elements.
std::vector<Message> PdoMix()
{
    std::vector<Message> mix;
    for (uint32_t i = 0; i < 1024; ++i) {
        if (i % 4 < 2)
            mix.push_back(Pdo(GATEWAY_INDEX_MTU_PARAMETER, uint8_t(1 + i % 254), i * 37));
        else if (i % 4 == 2)
            mix.push_back(Pdo(GATEWAY_INDEX_DINBUS_BYTE, uint8_t(1 + i % 36), i));
        else
            mix.push_back(Pdo(uint16_t(0x3200 + ((i / 4) % 3) * 0x100 + i % 32), uint8_t(1 + i % 2), i));
    }
    return mix;
}

void BM_DecodePdoData(benchmark::State &state)
{
    auto model = std::make_unique<TMonitorModel>();
    const std::vector<Message> mix = PdoMix();
    uint32_t i = 0;
    for (auto _ : state) {
        const Message &message = mix[i % mix.size()];
        model->DecodePdoData(NODE, 8, message.data(), i, i);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodePdoData);

void BM_DecodeEmergency(benchmark::State &state)
{
    auto model = std::make_unique<TMonitorModel>();
    model->NodeId = NODE;
    std::vector<Message> mix;
    for (uint16_t i = 0; i < 1024; ++i)
        mix.push_back({0x00, 0xFF, 0, 1, uint8_t(1 + i % 400), uint8_t((1 + i % 400) >> 8), uint8_t(i & 1), 0});
    uint32_t i = 0;
    for (auto _ : state)
        model->DecodeEmergency(NODE, mix[i++ % mix.size()].data(), STAMP);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeEmergency);

// Every grid row changed: 254 MTU rows, 400 faults, 36 DinBus bytes, 32 J1939 slots.
void ChangeEverything(TForm_MTU &form, uint32_t round)
{
    const uint32_t base = uint32_t(uint64_t(form.CounterBase));
    for (int n = 1; n <= GATEWAY_MTU_PARAMETER_LAST; ++n) {
        const Message m = Pdo(GATEWAY_INDEX_MTU_PARAMETER, uint8_t(n), round * 1000 + n);
        form.DecodePdoData(NODE, 8, m.data(), round, base + round * 10000);
    }
    for (int n = 1; n <= FAULT_LAST_ROW; ++n) {
        const Message m = {0x00, 0xFF, 0, 1, uint8_t(n), uint8_t(n >> 8), uint8_t(round & 1), 0};
        form.DecodeEmergency(NODE, m.data(), STAMP);
    }
    for (int n = 1; n <= GATEWAY_DINBUS_BYTE_LAST; ++n) {
        const Message m = Pdo(GATEWAY_INDEX_DINBUS_BYTE, uint8_t(n), round + n);
        form.DecodePdoData(NODE, 8, m.data(), 0, 0);
    }
    for (int s = 0; s < GATEWAY_J1939_SLOTS; ++s) {
        const Message m = Pdo(uint16_t(0x3400 + s), 1, round * 7 + s);
        form.DecodePdoData(NODE, 8, m.data(), 0, 0);
    }
}

void ChangeMtuRows(TForm_MTU &form, uint32_t round, int rows)
{
    const uint32_t base = uint32_t(uint64_t(form.CounterBase));
    for (int n = 1; n <= rows; ++n) {
        const Message m = Pdo(GATEWAY_INDEX_MTU_PARAMETER, uint8_t(n * 15 % 254 + 1), round * 1000 + n);
        form.DecodePdoData(NODE, 8, m.data(), round, base + round * 10000);
    }
}

// One display pass after `change`; with `painted`, the shown window repaints
// too, open on `page`. `warmUp` brings the form to the state measured.
template <typename Change, typename Page, typename WarmUp>
void DisplayPass(benchmark::State &state, Change change, bool painted, Page page, WarmUp warmUp)
{
    TForm_MTU form;
    form.Timer1->stop();
    form.NodeId = NODE;
    if (painted) {
        form.show();
        form.PageControl1->setCurrentWidget(page(form));
        QCoreApplication::processEvents();
    }
    uint32_t round = 1;
    warmUp(form, round);
    for (auto _ : state) {
        state.PauseTiming();
        change(form, round++);
        state.ResumeTiming();
        form.Timer1Timer();
        if (painted) {
            form.repaint();
            QCoreApplication::processEvents();
        }
    }
    state.counters["history"] = double(form.TabSheet_History->Log().Size());
    state.counters["lost"] = double(form.HistoryFeed.Lost());
    form.hide();
}

template <typename Change> void DisplayPass(benchmark::State &state, Change change, bool painted)
{
    DisplayPass(
        state, change, painted, [](TForm_MTU &form) { return form.TabSheet_MTU_Data; },
        [](TForm_MTU &, uint32_t &) {});
}

void BM_DisplayPass_EveryRow(benchmark::State &state) { DisplayPass(state, ChangeEverything, false); }
void BM_DisplayPass_16MtuRows(benchmark::State &state)
{
    DisplayPass(state, [](TForm_MTU &form, uint32_t round) { ChangeMtuRows(form, round, 16); }, false);
}
void BM_DisplayPass_254MtuRows(benchmark::State &state)
{
    DisplayPass(state, [](TForm_MTU &form, uint32_t round) { ChangeMtuRows(form, round, 254); }, false);
}
void BM_DisplayPassPainted_EveryRow(benchmark::State &state) { DisplayPass(state, ChangeEverything, true); }
void BM_DisplayPassPainted_16MtuRows(benchmark::State &state)
{
    DisplayPass(state, [](TForm_MTU &form, uint32_t round) { ChangeMtuRows(form, round, 16); }, true);
}
// A 100 ms tick's worth of a 20,000/s flood: faults over the table toggling
// and the MTU flapping, each message a change the history keeps.
void EmergencyFlood(TForm_MTU &form, uint32_t round)
{
    constexpr int PER_TICK = 2000;
    for (int i = 0; i < PER_TICK; ++i) {
        const uint32_t k = round * PER_TICK + uint32_t(i);
        if (i % 100 == 0) {
            const Message m = {0x00, uint8_t(k / 100 % 2 ? 0xFF : 0x00), 0, 0, 0, 0, 0, 0};
            form.DecodeEmergency(NODE, m.data(), STAMP);
            continue;
        }
        const uint16_t code = uint16_t(1 + k % 400);
        const Message m = {0x00, 0x00, 0, 1, uint8_t(code), uint8_t(code >> 8), uint8_t(k / 400 % 2), 0};
        form.DecodeEmergency(NODE, m.data(), STAMP);
    }
}

void FloodPass(benchmark::State &state, bool painted)
{
    // The history at its bound: from here on each pass drops as much as it adds.
    const auto fill = [](TForm_MTU &form, uint32_t &round) {
        while (form.TabSheet_History->Log().Size() < form.TabSheet_History->Log().Bound()) {
            EmergencyFlood(form, round++);
            form.Timer1Timer();
        }
    };
    DisplayPass(
        state, EmergencyFlood, painted, [](TForm_MTU &form) { return form.TabSheet_History; }, fill);
}

void BM_DisplayPass_EmergencyFlood(benchmark::State &state) { FloodPass(state, false); }
void BM_DisplayPassPainted_EmergencyFlood(benchmark::State &state) { FloodPass(state, true); }

BENCHMARK(BM_DisplayPass_EveryRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayPass_254MtuRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayPass_16MtuRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayPassPainted_EveryRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayPassPainted_16MtuRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayPass_EmergencyFlood)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayPassPainted_EmergencyFlood)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) { return RunWindowBenchmarks(argc, argv); }
