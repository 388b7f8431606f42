// What a trend window holds and shows, without a window: the received values
// of each plotted parameter with their times, the gaps ("Missing Data",
// "Sensor Defect"), the step line of a time span, and the rows of a CSV export.
// Times are wall-clock microseconds since the epoch throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Maps the PDO's receive stamp onto the wall clock. The stamp is the low 32
// bits of the monotonic microsecond counter and wraps every 71.6 minutes; a
// stamp is unwrapped against the counter read when it is taken from the queue
// (never more than a moment later), then moved by one offset fixed when the
// window opened, so the spacing of receipts is exactly the gateway's.
class TTrendClock {
public:
    TTrendClock(int64_t monotonicNowUs, int64_t wallNowUs) : offsetUs_(wallNowUs - monotonicNowUs) {}
    int64_t WallUs(uint32_t rxTime2, int64_t monotonicNowUs) const
    {
        const uint32_t age = uint32_t(monotonicNowUs) - rxTime2;
        return monotonicNowUs - int64_t(age) + offsetUs_;
    }
    int64_t NowUs(int64_t monotonicNowUs) const { return monotonicNowUs + offsetUs_; }

private:
    int64_t offsetUs_;
};

struct TTrendPoint {
    double TimeMs; // wall clock, ms since the epoch (what a date-time axis takes)
    double Value;
};
// A stretch of step line without a gap.
using TTrendSegment = std::vector<TTrendPoint>;

class TTrendStore {
public:
    static constexpr int MAX_SERIES = 8;
    // What is kept: the longest span the window offers.
    static constexpr int64_t KEEP_US = 60LL * 60 * 1000000;

    struct Series {
        int Parameter = 0;
        std::string Name; // the legend's and the export's column title
        std::vector<int64_t> TimesUs; // in the order received
        std::vector<int32_t> Values;  // the raw value; a marked one is a gap
        size_t First = 0;             // entries before it have aged out
        // Lowest and highest value of each run of BLOCK entries (from entry
        // 0), and whether one of them is a gap: what thinning reads instead
        // of the entries.
        static constexpr size_t BLOCK = 64;
        struct Block {
            int32_t Low, High;
            bool Gap;
        };
        std::vector<Block> Blocks;
        size_t Size() const { return TimesUs.size() - First; }
    };

    // False when the parameter is there already or MAX_SERIES are.
    bool Add(int parameter, std::string name);
    void Remove(int parameter);
    int IndexOf(int parameter) const;
    const std::vector<Series> &AllSeries() const { return series_; }
    bool Full() const { return int(series_.size()) >= MAX_SERIES; }

    // Values of parameters not in the store are ignored. Entries older than
    // KEEP_US before the newest one are let go.
    void Append(int parameter, int64_t timeUs, int32_t value);

    // The step line of one series over [fromUs, toUs]: the value before the
    // span holds from its left edge, each value holds until the next one (or
    // a gap, or toUs). With more receipts than `columns` allows, each column
    // keeps its first, lowest, highest and last value, which draws the same.
    std::vector<TTrendSegment> StepLine(size_t series, int64_t fromUs, int64_t toUs, int columns) const;
    // The value received last at or before the time; none before the first.
    std::optional<int32_t> ValueAt(size_t series, int64_t timeUs) const;
    // Lowest and highest value of step lines; none when they hold no point.
    static std::optional<std::pair<double, double>> Range(const std::vector<TTrendSegment> &segments);

    // One row per received time (equal times share a row), one column per
    // series holding its last value ("Missing Data"/"Sensor Defect" for a
    // gap, empty before its first value); RFC 4180, ISO 8601 UTC times.
    std::string ExportCsv() const;
    size_t PointCount() const;
    size_t MemoryBytes() const;

private:
    std::vector<Series> series_;
};

