#include "TrendStore.h"

#include "CsvFile.h"
#include "MonitorModel.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// Where a step line is being built: the open segment and the receipts of the
// current column that are not drawn yet.
class StepLineBuilder {
public:
    // Columns start at multiples of their width, not at the span's edge, so
    // a scrolling view thins each stretch of data the same way every time
    // and the line does not shimmer.
    explicit StepLineBuilder(int64_t columnUs) : columnUs_(columnUs) {}

    // True when a receipt at this time joins the column being gathered.
    bool InPendingColumn(int64_t timeUs) const { return pending_ > 0 && columnUs_ > 0 && timeUs < columnEndUs_; }
    int64_t PendingColumnEndUs() const { return columnEndUs_; }

    void Value(int64_t timeUs, int32_t value)
    {
        if (InPendingColumn(timeUs)) {
            Merge(value, value, value);
            return;
        }
        Flush();
        if (columnUs_ > 0)
            columnEndUs_ = (timeUs / columnUs_ + 1) * columnUs_;
        firstUs_ = timeUs;
        first_ = low_ = high_ = last_ = value;
        pending_ = 1;
    }

    // Receipts of the pending column, already summed up.
    void Merge(int32_t low, int32_t high, int32_t last)
    {
        low_ = std::min(low_, low);
        high_ = std::max(high_, high);
        last_ = last;
        ++pending_;
    }

    void Gap(int64_t timeUs) { End(timeUs); }

    std::vector<TTrendSegment> Finish(int64_t toUs)
    {
        End(toUs);
        return std::move(segments_);
    }

private:
    static double Ms(int64_t us) { return double(us) / 1000.0; }

    void Flush()
    {
        if (pending_ == 0)
            return;
        const double at = Ms(firstUs_);
        if (open_)
            Push(at, held_); // the value before holds until this receipt
        else
            segments_.emplace_back();
        open_ = true;
        if (pending_ == 1) {
            Push(at, first_);
        } else {
            // Within one column the receipts draw as one vertical stroke,
            // which passes the first value on its way.
            Push(at, low_);
            Push(at, high_);
            Push(at, last_);
        }
        held_ = last_;
        pending_ = 0;
    }

    // A point equal to the one before adds nothing to the line but drawing work.
    void Push(double at, int32_t value)
    {
        TTrendSegment &line = segments_.back();
        if (line.empty() || line.back().TimeMs != at || line.back().Value != double(value))
            line.push_back({at, double(value)});
    }

    void End(int64_t timeUs)
    {
        Flush();
        if (open_)
            segments_.back().push_back({Ms(timeUs), double(held_)});
        open_ = false;
    }

    int64_t columnUs_;
    std::vector<TTrendSegment> segments_;
    bool open_ = false;
    int32_t held_ = 0;
    int pending_ = 0;
    int64_t columnEndUs_ = 0;
    int64_t firstUs_ = 0;
    int32_t first_ = 0, low_ = 0, high_ = 0, last_ = 0;
};

// Receipts per column above which each column keeps only its extremes.
constexpr size_t DECIMATE_ABOVE_PER_COLUMN = 2;
constexpr size_t COMPACT_AFTER = 4096;

} // namespace

bool TTrendStore::Add(int parameter, std::string name)
{
    if (Full() || IndexOf(parameter) >= 0)
        return false;
    Series added;
    added.Parameter = parameter;
    added.Name = std::move(name);
    series_.push_back(std::move(added));
    return true;
}

void TTrendStore::Remove(int parameter)
{
    const int at = IndexOf(parameter);
    if (at >= 0)
        series_.erase(series_.begin() + at);
}

int TTrendStore::IndexOf(int parameter) const
{
    for (size_t i = 0; i < series_.size(); ++i)
        if (series_[i].Parameter == parameter)
            return int(i);
    return -1;
}

void TTrendStore::Append(int parameter, int64_t timeUs, int32_t value)
{
    const int at = IndexOf(parameter);
    if (at < 0)
        return;
    Series &s = series_[size_t(at)];
    const bool gap = MtuValueMark(value) != nullptr;
    if (s.TimesUs.size() % Series::BLOCK == 0) {
        s.Blocks.push_back({value, value, gap});
    } else {
        Series::Block &block = s.Blocks.back();
        block.Low = std::min(block.Low, value);
        block.High = std::max(block.High, value);
        block.Gap = block.Gap || gap;
    }
    s.TimesUs.push_back(timeUs);
    s.Values.push_back(value);
    while (s.First < s.TimesUs.size() && s.TimesUs[s.First] < timeUs - KEEP_US)
        ++s.First;
    // Letting go of the aged entries in one move keeps appending amortised
    // constant; whole blocks go, so the rest keep their summaries.
    if (s.First > COMPACT_AFTER && s.First > s.Size()) {
        const size_t blocks = s.First / Series::BLOCK;
        const ptrdiff_t entries = ptrdiff_t(blocks * Series::BLOCK);
        s.TimesUs.erase(s.TimesUs.begin(), s.TimesUs.begin() + entries);
        s.Values.erase(s.Values.begin(), s.Values.begin() + entries);
        s.Blocks.erase(s.Blocks.begin(), s.Blocks.begin() + ptrdiff_t(blocks));
        s.First -= size_t(entries);
    }
}

std::vector<TTrendSegment> TTrendStore::StepLine(size_t series, int64_t fromUs, int64_t toUs, int columns) const
{
    if (series >= series_.size() || toUs <= fromUs)
        return {};
    const Series &s = series_[series];
    const auto begin = s.TimesUs.begin() + ptrdiff_t(s.First);
    const size_t lo = size_t(std::lower_bound(begin, s.TimesUs.end(), fromUs) - s.TimesUs.begin());
    const size_t hi = size_t(std::upper_bound(begin, s.TimesUs.end(), toUs) - s.TimesUs.begin());
    const size_t start = lo > s.First ? lo - 1 : lo;
    const bool decimate = columns > 0 && hi - start > DECIMATE_ABOVE_PER_COLUMN * size_t(columns);
    StepLineBuilder line(decimate ? std::max<int64_t>(1, (toUs - fromUs) / columns) : 0);
    const auto isGap = [&s](size_t at) { return MtuValueMark(s.Values[at]) != nullptr; };
    for (size_t i = start; i < hi;) {
        const int64_t at = std::max(s.TimesUs[i], fromUs);
        if (isGap(i)) {
            line.Gap(at);
            ++i;
            continue;
        }
        line.Value(at, s.Values[i]);
        size_t k = i + 1;
        if (decimate) {
            // The rest of this receipt's column, whole blocks by their
            // summaries: an hour's span reads a few receipts per column.
            const auto end = s.TimesUs.begin() + ptrdiff_t(hi);
            const size_t columnEnd =
                size_t(std::lower_bound(s.TimesUs.begin() + ptrdiff_t(k), end, line.PendingColumnEndUs()) -
                       s.TimesUs.begin());
            while (k < columnEnd) {
                if (k % Series::BLOCK == 0 && k + Series::BLOCK <= columnEnd && !s.Blocks[k / Series::BLOCK].Gap) {
                    const Series::Block &block = s.Blocks[k / Series::BLOCK];
                    k += Series::BLOCK;
                    line.Merge(block.Low, block.High, s.Values[k - 1]);
                    continue;
                }
                if (isGap(k))
                    break; // drawn by the next round
                line.Merge(s.Values[k], s.Values[k], s.Values[k]);
                ++k;
            }
        }
        i = k;
    }
    return line.Finish(toUs);
}

std::optional<int32_t> TTrendStore::ValueAt(size_t series, int64_t timeUs) const
{
    if (series >= series_.size())
        return std::nullopt;
    const Series &s = series_[series];
    const auto begin = s.TimesUs.begin() + ptrdiff_t(s.First);
    const auto after = std::upper_bound(begin, s.TimesUs.end(), timeUs);
    if (after == begin)
        return std::nullopt;
    return s.Values[size_t(after - s.TimesUs.begin()) - 1];
}

std::optional<std::pair<double, double>> TTrendStore::Range(const std::vector<TTrendSegment> &segments)
{
    std::optional<std::pair<double, double>> range;
    for (const TTrendSegment &segment : segments)
        for (const TTrendPoint &point : segment) {
            if (!range)
                range.emplace(point.Value, point.Value);
            range->first = std::min(range->first, point.Value);
            range->second = std::max(range->second, point.Value);
        }
    return range;
}

std::string TTrendStore::ExportCsv() const
{
    std::string csv = "Time";
    for (const Series &s : series_)
        csv += ',' + CsvField(s.Name);
    csv += "\r\n";

    std::vector<size_t> next(series_.size());
    std::vector<std::optional<int32_t>> held(series_.size());
    for (size_t i = 0; i < series_.size(); ++i)
        next[i] = series_[i].First;
    for (;;) {
        // The earliest receipt not yet written, over every series.
        std::optional<int64_t> at;
        for (size_t i = 0; i < series_.size(); ++i)
            if (next[i] < series_[i].TimesUs.size() && (!at || series_[i].TimesUs[next[i]] < *at))
                at = series_[i].TimesUs[next[i]];
        if (!at)
            break;
        for (size_t i = 0; i < series_.size(); ++i)
            while (next[i] < series_[i].TimesUs.size() && series_[i].TimesUs[next[i]] == *at)
                held[i] = series_[i].Values[next[i]++];
        csv += IsoLocalTime(*at, IsoFraction::Micros);
        for (const std::optional<int32_t> &value : held) {
            csv += ',';
            if (!value)
                continue;
            const char *mark = MtuValueMark(*value);
            csv += mark != nullptr ? std::string(mark) : std::to_string(*value);
        }
        csv += "\r\n";
    }
    return csv;
}

size_t TTrendStore::PointCount() const
{
    size_t points = 0;
    for (const Series &s : series_)
        points += s.Size();
    return points;
}

size_t TTrendStore::MemoryBytes() const
{
    size_t bytes = series_.capacity() * sizeof(Series);
    for (const Series &s : series_)
        bytes += s.TimesUs.capacity() * sizeof(int64_t) + s.Values.capacity() * sizeof(int32_t) +
                 s.Blocks.capacity() * sizeof(Series::Block) + s.Name.capacity();
    return bytes;
}
