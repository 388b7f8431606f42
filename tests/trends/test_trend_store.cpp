// The trend store without a window: step lines with gaps over a span, the
// thinning of dense data, what is kept, and the CSV export.
#include "CsvFile.h"
#include "MonitorModel.h"
#include "TrendStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// A fixed zone for one test (POSIX rules, no zone files needed), the
// process's own again afterwards.
class TScopedTimeZone {
public:
    explicit TScopedTimeZone(const char *zone)
    {
        const char *old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TScopedTimeZone()
    {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

constexpr int64_t T0 = 1765292400000000; // 2025-12-09T15:00:00Z in µs

std::vector<std::pair<double, double>> Points(const TTrendSegment &segment)
{
    std::vector<std::pair<double, double>> points;
    for (const TTrendPoint &p : segment)
        points.emplace_back(p.TimeMs, p.Value);
    return points;
}

double Ms(int64_t us) { return double(us) / 1000.0; }

TEST(TrendStore, StepLineHoldsEachValueBreaksAtGapsAndStartsAtTheSpansEdge)
{
    TTrendStore store;
    ASSERT_TRUE(store.Add(2, "2 Engine Speed"));
    store.Append(2, T0, 10);                                  // before the span: holds into it
    store.Append(2, T0 + 2000000, 20);
    store.Append(2, T0 + 3000000, GATEWAY_MTU_SENSOR_DEFECT);   // a gap
    store.Append(2, T0 + 4000000, GATEWAY_MTU_MISSING_DATA);         // still a gap
    store.Append(2, T0 + 5000000, 30);
    store.Append(9, T0 + 5000000, 99);                        // not plotted: ignored

    const auto segments = store.StepLine(0, T0 + 1000000, T0 + 6000000, 100);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(Points(segments[0]), (std::vector<std::pair<double, double>>{{Ms(T0 + 1000000), 10},
                                                                           {Ms(T0 + 2000000), 10},
                                                                           {Ms(T0 + 2000000), 20},
                                                                           {Ms(T0 + 3000000), 20}}));
    EXPECT_EQ(Points(segments[1]),
              (std::vector<std::pair<double, double>>{{Ms(T0 + 5000000), 30}, {Ms(T0 + 6000000), 30}}));
    const auto range = TTrendStore::Range(segments);
    ASSERT_TRUE(range);
    EXPECT_EQ(*range, std::make_pair(10.0, 30.0));
    EXPECT_EQ(store.ValueAt(0, T0 + 3500000), GATEWAY_MTU_SENSOR_DEFECT);
    EXPECT_FALSE(store.ValueAt(0, T0 - 1));
}

TEST(TrendStore, DenseDataKeepsEveryColumnsExtremesAndOnlyTheLastHourIsKept)
{
    TTrendStore store;
    store.Add(2, "2");
    // 10,000 receipts over 10 s, a spike of 1000 and a dip of -5 among them,
    // and one missing value.
    for (int i = 0; i < 10000; ++i)
        store.Append(2, T0 + i * 1000, i == 5000 ? 1000 : i == 6403 ? -5 : i == 6550 ? GATEWAY_MTU_MISSING_DATA : i % 7);
    const auto segments = store.StepLine(0, T0, T0 + 10000000, 100);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_LE(segments[0].size() + segments[1].size(), 100u * 4 + 4);
    EXPECT_EQ(segments[0].back().TimeMs, Ms(T0 + 6550 * 1000));
    EXPECT_EQ(segments[1].front().TimeMs, Ms(T0 + 6551 * 1000));
    EXPECT_EQ(TTrendStore::Range(segments), std::make_pair(-5.0, 1000.0));

    store.Append(2, T0 + TTrendStore::KEEP_US + 5000000, 1);
    EXPECT_EQ(store.PointCount(), 5000u + 1u); // receipts older than an hour before the newest are gone
    EXPECT_FALSE(store.ValueAt(0, T0 + 4999000));
}

TEST(TrendStore, ThinnedLineOfAScrollingViewDrawsTheSameStretchTheSameWay)
{
    TTrendStore store;
    store.Add(2, "2");
    for (int i = 0; i < 20000; ++i)
        store.Append(2, T0 + i * 1000, (i * 7919) % 101);
    // Two redraws 37 ms apart over a 10 s span of 100 columns: the columns
    // both spans hold whole must give the same points.
    const int64_t span = 10000000;
    const auto before = Points(store.StepLine(0, T0 + 5000000, T0 + 5000000 + span, 100).at(0));
    const auto after = Points(store.StepLine(0, T0 + 5037000, T0 + 5037000 + span, 100).at(0));
    const auto inside = [](const std::vector<std::pair<double, double>> &points) {
        std::vector<std::pair<double, double>> kept;
        for (const auto &point : points)
            if (point.first >= Ms(T0 + 6000000) && point.first < Ms(T0 + 14000000))
                kept.push_back(point);
        return kept;
    };
    ASSERT_GT(inside(before).size(), 100u);
    EXPECT_EQ(inside(before), inside(after));
}

TEST(TrendStore, AtMostEightParametersEachOnce)
{
    TTrendStore store;
    for (int row = 1; row <= 8; ++row)
        EXPECT_TRUE(store.Add(row, std::to_string(row)));
    EXPECT_FALSE(store.Add(9, "9"));
    store.Remove(3);
    EXPECT_FALSE(store.Add(4, "4"));
    EXPECT_TRUE(store.Add(9, "9"));
    EXPECT_EQ(store.IndexOf(3), -1);
}

TEST(TrendStore, ExportHasOneRowPerReceivedTimeWithLastValuesHeld)
{
    const TScopedTimeZone zone("CET-1");
    TTrendStore store;
    store.Add(2, "2 Engine Speed");
    store.Add(63, "63 Ventilator 1, Output \"A\"");
    store.Append(2, T0, 1500);
    store.Append(63, T0, 7);               // same time: same row
    store.Append(2, T0 + 250, GATEWAY_MTU_MISSING_DATA);
    store.Append(63, T0 + 1000000, -3);
    EXPECT_EQ(store.ExportCsv(), "Time,2 Engine Speed,\"63 Ventilator 1, Output \"\"A\"\"\"\r\n"
                                 "2025-12-09T16:00:00.000000+01:00,1500,7\r\n"
                                 "2025-12-09T16:00:00.000250+01:00,Missing Data,7\r\n"
                                 "2025-12-09T16:00:01.000000+01:00,Missing Data,-3\r\n");

    TTrendStore late;
    late.Add(5, "5");
    late.Add(6, "6");
    late.Append(6, T0, 1);
    EXPECT_EQ(late.ExportCsv(), "Time,5,6\r\n2025-12-09T16:00:00.000000+01:00,,1\r\n"); // nothing yet: empty
}

// Every export writes its times through the one formatter: west of UTC the
// offset is negative, and a time before 1970 still carries its own fraction.
TEST(IsoLocalTime, CarriesTheZonesOffsetAndTheFraction)
{
    const TScopedTimeZone zone("XST5:30");
    EXPECT_EQ(IsoLocalTime(T0 + 123456, IsoFraction::Micros), "2025-12-09T09:30:00.123456-05:30");
    EXPECT_EQ(IsoLocalTimeMs(T0 + 123456), "2025-12-09T09:30:00.123-05:30");
    EXPECT_EQ(IsoLocalTime(-1, IsoFraction::Micros), "1969-12-31T18:29:59.999999-05:30");
}

TEST(TrendClock, UnwrapsTheReceiveStampAcrossItsWrap)
{
    const int64_t monotonic = (int64_t(3) << 32) + 100; // just after a wrap of the low 32 bits
    const TTrendClock clock(monotonic, T0);
    EXPECT_EQ(clock.WallUs(uint32_t(monotonic), monotonic), T0);
    EXPECT_EQ(clock.WallUs(0xFFFFFF00u, monotonic), T0 - 356); // stamped before the wrap
    EXPECT_EQ(clock.NowUs(monotonic + 5), T0 + 5);
}

} // namespace
