// What trends cost:
//  - DecodePdoData per message with no parameter plotted, with 8 plotted in a
//    mix of all 254, and with every message a plotted one (ns);
//  - 8 parameters at 100 values/s for 60 minutes: memory held, and the time
//    to take them from the queue;
//  - one redraw (Redraw plus the repaint of the visible window) over 1, 10
//    and 60 minutes of that hour (ms).
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "MonitorModel.h"
#include "Platform.h"
#include "TForm_Trend.h"
#include "WindowBenchmarks.h"

#include <QApplication>
#include <QChartView>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr uint8_t NODE = 7;
constexpr int PLOTTED = 8;
const uint8_t PLOTTED_ROWS[PLOTTED] = {2, 22, 32, 45, 82, 92, 97, 103};
using Message = std::array<uint8_t, 8>;

Message Mtu(uint8_t row, uint32_t value)
{
    return {0, uint8_t(GATEWAY_INDEX_MTU_PARAMETER), uint8_t(GATEWAY_INDEX_MTU_PARAMETER >> 8), row, uint8_t(value),
            uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

// Batches of 1024 messages; the queue is drained between batches (the
// window's work, not the decoder's) with the clock stopped.
void DecodeBatches(benchmark::State &state, const std::vector<Message> &messages, bool plot)
{
    auto model = std::make_unique<TMonitorModel>();
    if (plot)
        for (uint8_t row : PLOTTED_ROWS)
            model->MtuPlotted[row] = 1;
    uint32_t stamp = 0;
    TTrendSample sample;
    for (auto _ : state) {
        for (const Message &message : messages) {
            model->DecodePdoData(NODE, 8, message.data(), stamp, stamp);
            ++stamp;
        }
        state.PauseTiming();
        while (model->TrendQueue.Pop(sample)) {
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(messages.size()));
    state.counters["dropped"] = double(model->TrendQueue.Dropped());
}

std::vector<Message> AllRows()
{
    std::vector<Message> messages;
    for (uint32_t i = 0; i < 1024; ++i)
        messages.push_back(Mtu(uint8_t(1 + i % 254), i * 37));
    return messages;
}

std::vector<Message> PlottedRowsOnly()
{
    std::vector<Message> messages;
    for (uint32_t i = 0; i < 1024; ++i)
        messages.push_back(Mtu(PLOTTED_ROWS[i % PLOTTED], i * 37));
    return messages;
}

void BM_DecodeMtu_NothingPlotted(benchmark::State &state) { DecodeBatches(state, AllRows(), false); }
void BM_DecodeMtu_8PlottedOfAll254(benchmark::State &state) { DecodeBatches(state, AllRows(), true); }
void BM_DecodeMtu_EveryMessagePlotted(benchmark::State &state) { DecodeBatches(state, PlottedRowsOnly(), true); }
BENCHMARK(BM_DecodeMtu_NothingPlotted);
BENCHMARK(BM_DecodeMtu_8PlottedOfAll254);
BENCHMARK(BM_DecodeMtu_EveryMessagePlotted);

// An hour of 8 parameters at 100 values/s each, fed through the decoder and
// the queue as the PDO thread and the window's timer would, 100 ms at a time.
constexpr int64_t HOUR_US = 3600LL * 1000000;
constexpr int VALUES_PER_SECOND = 100;

struct Hour {
    int64_t mono = int64_t(1) << 40;
    std::unique_ptr<TMonitorModel> model = std::make_unique<TMonitorModel>();
    std::unique_ptr<TForm_Trend> window;
    double collectSeconds = 0;

    Hour()
    {
        TForm_Trend::Clocks clocks{[this] { return mono; }, [this] { return int64_t(1765292400000000) + mono; }};
        window = std::make_unique<TForm_Trend>(*model, nullptr, clocks);
        QList<int> rows;
        for (uint8_t row : PLOTTED_ROWS)
            rows.append(row);
        window->AddParameters(rows);
        const int64_t stepUs = 1000000 / VALUES_PER_SECOND;
        int64_t i = 0;
        for (int64_t tick = 0; tick < HOUR_US / 100000; ++tick) {
            for (int n = 0; n < VALUES_PER_SECOND / 10; ++n, ++i) {
                mono += stepUs;
                for (int p = 0; p < PLOTTED; ++p) {
                    // A slow wave with a step every 10 s, different per parameter.
                    const int32_t value = int32_t(1000 * p + (i % 6000) / 10 + ((i / 1000) % 2) * 200);
                    const Message m = Mtu(PLOTTED_ROWS[p], uint32_t(value));
                    model->DecodePdoData(NODE, 8, m.data(), uint32_t(i), uint32_t(mono));
                }
            }
            const int64_t start = MonotonicMicros();
            window->Collect();
            collectSeconds += double(MonotonicMicros() - start) / 1e6;
        }
    }
};

// Made once, let go before the application.
std::unique_ptr<Hour> hour;
Hour &TheHour()
{
    if (!hour)
        hour = std::make_unique<Hour>();
    return *hour;
}

void BM_Redraw_VisibleWindow(benchmark::State &state)
{
    Hour &hour = TheHour();
    TForm_Trend &window = *hour.window;
    window.resize(1000, 600);
    window.show();
    window.SetSpanMinutes(int(state.range(0)));
    QCoreApplication::processEvents();
    const int part = int(state.range(1)); // 0 both, 1 Redraw only, 2 repaint only
    for (auto _ : state) {
        if (part != 2)
            window.Redraw();
        if (part != 1)
            window.findChild<QChartView *>()->viewport()->repaint();
    }
    state.counters["points"] = double(window.Store().PointCount());
    state.counters["dropped"] = double(hour.model->TrendQueue.Dropped());
}
BENCHMARK(BM_Redraw_VisibleWindow)->ArgsProduct({{1, 10, 60}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

// The store's part of a redraw: the step lines of all 8 over the span, 333 columns.
void BM_StepLines(benchmark::State &state)
{
    const TTrendStore &store = TheHour().window->Store();
    const int64_t end = store.AllSeries()[0].TimesUs.back();
    const int64_t from = end - state.range(0) * 60 * 1000000;
    size_t points = 0;
    for (auto _ : state)
        for (size_t i = 0; i < store.AllSeries().size(); ++i)
            points = store.StepLine(i, from, end, 333).size();
    benchmark::DoNotOptimize(points);
}
BENCHMARK(BM_StepLines)->Arg(1)->Arg(10)->Arg(60)->Unit(benchmark::kMicrosecond);

void ReportHour()
{
    Hour &hour = TheHour();
    const TTrendStore &store = hour.window->Store();
    std::printf("An hour of %d parameters at %d values/s: %zu values held in %.1f MiB "
                "(%.1f bytes a value); taking them from the queue %.3f s in all (%.1f us per 100 ms tick); "
                "%llu lost\n",
                PLOTTED, VALUES_PER_SECOND, store.PointCount(), double(store.MemoryBytes()) / (1024.0 * 1024.0),
                double(store.MemoryBytes()) / double(store.PointCount()), hour.collectSeconds,
                hour.collectSeconds * 1e6 / double(HOUR_US / 100000),
                static_cast<unsigned long long>(hour.model->TrendQueue.Dropped()));
}

} // namespace

int main(int argc, char **argv)
{
    return RunWindowBenchmarks(argc, argv, [] {
        ReportHour();
        hour.reset();
    });
}
