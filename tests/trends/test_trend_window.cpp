// The trend window fed through the decoder: a ramp, a step and a missing
// value come back from the chart's series, every value in order with its
// time; and the monitor's grid opens it ("Plot Trend", a double click on a
// row number) and adds to the open window.
#include "TForm_MTU.h"
#include "TForm_Trend.h"
#include "StringGrid.h"

#include <QAction>
#include <QHeaderView>
#include <QLineSeries>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>

#include "../monitor/MonitorTestSupport.h"

#include <gtest/gtest.h>

using namespace monitor_test;

namespace {

constexpr int64_t WALL0 = 1765292400000000; // µs since the epoch
// The monotonic counter when the window opens: the receipts below cross the
// wrap of its low 32 bits.
constexpr int64_t MONO0 = (int64_t(5) << 32) - 300000;

struct FakeClocks {
    int64_t mono = MONO0;
    TForm_Trend::Clocks Clocks()
    {
        return {[this] { return mono; }, [this] { return WALL0 + (mono - MONO0); }};
    }
};

void SendMtu(TMonitorModel &model, uint8_t row, int32_t value, int64_t mono)
{
    Decode(model, Pdo(GATEWAY_INDEX_MTU_PARAMETER, row, uint32_t(value)), 1, uint32_t(mono));
}

std::vector<std::vector<QPointF>> Drawn(const TForm_Trend &window, int row)
{
    std::vector<std::vector<QPointF>> lines;
    for (QLineSeries *series : window.SeriesOf(row))
        if (series->count() > 0) {
            const QList<QPointF> points = series->points();
            lines.emplace_back(points.begin(), points.end());
        }
    return lines;
}

double WallMs(int64_t mono) { return double(WALL0 + (mono - MONO0)) / 1000.0; }

TEST(TrendWindow, EveryDecodedValueComesBackFromTheSeriesInOrderWithItsTime)
{
    TMonitorModel model;
    FakeClocks clocks;
    TForm_Trend window(model, nullptr, clocks.Clocks());
    window.AddParameters({2, 22});
    window.show();

    // A ramp on row 2 every 10 ms (across the stamp's wrap), then a missing
    // value and one more; a step on row 22; row 3 is not plotted.
    std::vector<std::pair<int64_t, int32_t>> ramp;
    for (int i = 0; i < 60; ++i)
        ramp.emplace_back(MONO0 + 1000 + i * 10000, 1000 + 25 * i);
    for (const auto &[at, value] : ramp)
        SendMtu(model, 2, value, at);
    const int64_t gapAt = MONO0 + 700000, afterGap = MONO0 + 800000;
    SendMtu(model, 2, GATEWAY_MTU_MISSING_DATA, gapAt);
    SendMtu(model, 2, 1200, afterGap);
    SendMtu(model, 22, 150, MONO0 + 5000);
    SendMtu(model, 22, 480, MONO0 + 400000);
    SendMtu(model, 3, 77, MONO0 + 5000);

    clocks.mono = MONO0 + 900000;
    window.Collect();
    window.Redraw();

    std::vector<QPointF> rampLine;
    for (size_t i = 0; i < ramp.size(); ++i) {
        if (i > 0)
            rampLine.emplace_back(WallMs(ramp[i].first), ramp[i - 1].second);
        rampLine.emplace_back(WallMs(ramp[i].first), ramp[i].second);
    }
    rampLine.emplace_back(WallMs(gapAt), ramp.back().second);
    const std::vector<std::vector<QPointF>> expected2 = {
        rampLine, {{WallMs(afterGap), 1200}, {WallMs(clocks.mono), 1200}}};
    EXPECT_EQ(Drawn(window, 2), expected2);
    const std::vector<std::vector<QPointF>> expected22 = {{{WallMs(MONO0 + 5000), 150},
                                                           {WallMs(MONO0 + 400000), 150},
                                                           {WallMs(MONO0 + 400000), 480},
                                                           {WallMs(clocks.mono), 480}}};
    EXPECT_EQ(Drawn(window, 22), expected22);
    EXPECT_EQ(window.Store().IndexOf(3), -1);
    EXPECT_EQ(model.MtuPlotted[3].load(), 0);
    EXPECT_LE(window.ValueAxis()->min(), 150);
    EXPECT_GE(window.ValueAxis()->max(), 2475);
}

TEST(TrendWindow, PauseFreezesTheViewButKeepsCollectingAndRemovingStopsTheFeed)
{
    TMonitorModel model;
    FakeClocks clocks;
    TForm_Trend window(model, nullptr, clocks.Clocks());
    window.AddParameters({2});
    SendMtu(model, 2, 5, MONO0 + 1000);
    clocks.mono = MONO0 + 2000;
    window.Collect();
    window.SetPaused(true);
    SendMtu(model, 2, 6, MONO0 + 3000);
    clocks.mono = MONO0 + 4000;
    window.Collect();
    window.Redraw();
    EXPECT_EQ(Drawn(window, 2).at(0).back(), QPointF(WallMs(MONO0 + 2000), 5)); // frozen at the pause
    EXPECT_EQ(window.Store().PointCount(), 2u);
    window.SetPaused(false);
    EXPECT_EQ(Drawn(window, 2).at(0).back(), QPointF(WallMs(MONO0 + 4000), 6));

    window.RemoveParameter(2);
    EXPECT_EQ(model.MtuPlotted[2].load(), 0);
    SendMtu(model, 2, 7, MONO0 + 5000);
    TTrendSample sample;
    EXPECT_FALSE(model.TrendQueue.Pop(sample));
    EXPECT_TRUE(window.SeriesOf(2).isEmpty());
}

TEST(TrendWindow, TheMonitorGridOpensOneWindowAndAddsToIt)
{
    TForm_MTU form;
    QObject::connect(&form, &TForm_MTU::PlotTrendRequested, &form,
                     [&form](const QList<int> &rows) { PlotTrend(form, &form, rows); });
    QSignalSpy asked(&form, &TForm_MTU::PlotTrendRequested);

    TStringGrid *grid = form.AdvStringGrid_MTU_Data;
    grid->selectionModel()->select(QItemSelection(grid->model()->index(1, 1), grid->model()->index(2, 1)),
                                   QItemSelectionModel::Select);
    QAction *plot = form.MtuDataMenu->actions().value(0);
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->text(), QStringLiteral("Plot Trend"));
    plot->trigger();
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).value<QList<int>>(), (QList<int>{2, 3}));

    QHeaderView *numbers = grid->verticalHeader();
    emit numbers->sectionDoubleClicked(21); // the row numbered 22
    ASSERT_EQ(asked.count(), 2);
    EXPECT_EQ(asked.at(1).at(0).value<QList<int>>(), (QList<int>{22}));

    auto windows = form.findChildren<TForm_Trend *>();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->Parameters(), (QList<int>{2, 3, 22}));
    EXPECT_EQ(form.MtuPlotted[22].load(), 1);
    PlotTrend(form, &form, {30, 31, 32, 33, 34, 35, 36});
    EXPECT_EQ(windows[0]->Parameters().size(), TTrendStore::MAX_SERIES);
    EXPECT_TRUE(windows[0]->StatusText().contains(QStringLiteral("at most 8")));
    EXPECT_EQ(windows[0]->SeriesOf(2).value(0)->name(), QStringLiteral("2 Engine Speed"));
}

} // namespace
