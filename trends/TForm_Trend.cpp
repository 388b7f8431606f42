#include "TForm_Trend.h"

#include "CsvFile.h"
#include "MonitorCatalogue.h"
#include "MonitorModel.h"
#include "Platform.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int DRAW_INTERVAL_MS = 100;
constexpr int MIN_COLUMNS = 256;
// Dense data is thinned to what a column this wide can show.
constexpr int PIXELS_PER_COLUMN = 4;
constexpr int DEFAULT_SPAN_MINUTES = 10;
const int SPAN_MINUTES[] = {1, 10, 60};
constexpr int64_t US_PER_MINUTE = 60LL * 1000000;

// Eight colours that stay apart from each other on white and for the common
// colour-vision deficiencies (Okabe and Ito's set, plus black and grey).
const QColor PLOT_COLOURS[TTrendStore::MAX_SERIES] = {
    QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00), QColor(0x00, 0x9E, 0x73), QColor(0xCC, 0x79, 0xA7),
    QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9), QColor(0x00, 0x00, 0x00), QColor(0x80, 0x80, 0x80)};

QString ParameterLabel(int row)
{
    if (row >= 1 && row <= MTU_NAMED_ROWS)
        return QStringLiteral("%1 %2").arg(row).arg(QString::fromLatin1(MtuParameterNames[row - 1]).trimmed());
    return QStringLiteral("Parameter %1").arg(row);
}

void SetPlotted(TMonitorModel &model, int row, bool plotted)
{
    model.MtuPlotted[row].store(plotted ? 1 : 0, std::memory_order_relaxed);
}

QString ValueText(int32_t value)
{
    const char *mark = MtuValueMark(value);
    return mark != nullptr ? QString::fromLatin1(mark) : QString::number(value);
}

// A chart view that tells when a mouse gesture (the rubber band, or the right
// button's zoom out) changed the vertical range: the series and the fit change
// it too, so the range alone cannot tell who did.
class TTrendChartView : public QChartView {
public:
    TTrendChartView(QChart *chart, QValueAxis *axis, std::function<void()> zoomed)
        : QChartView(chart), axis_(axis), zoomed_(std::move(zoomed))
    {
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        const double min = axis_->min(), max = axis_->max();
        QChartView::mouseReleaseEvent(event);
        if (axis_->min() != min || axis_->max() != max)
            zoomed_();
    }

private:
    QValueAxis *axis_;
    std::function<void()> zoomed_;
};

} // namespace

TForm_Trend::Clocks TForm_Trend::SystemClocks()
{
    return {[] {
                int64_t now = 0;
                QueryPerformanceCounter(&now);
                return now;
            },
            [] { return QDateTime::currentMSecsSinceEpoch() * 1000; }};
}

TForm_Trend::TForm_Trend(TMonitorModel &model, QWidget *parent, Clocks clocks)
    : QWidget(parent, Qt::Window), model_(model), clocks_(std::move(clocks)),
      clock_(clocks_.MonotonicUs(), clocks_.WallUs()), spanUs_(DEFAULT_SPAN_MINUTES * US_PER_MINUTE)
{
    // Whatever an earlier window left queued is not this window's.
    TTrendSample stale;
    while (model_.TrendQueue.Pop(stale)) {
    }
    CreateComponents();
    timer_->start();
}

TForm_Trend::~TForm_Trend()
{
    for (const Plot &plot : plots_)
        SetPlotted(model_, plot.Row, false);
}

void TForm_Trend::CreateComponents()
{
    setWindowTitle(QStringLiteral("Trend"));
    resize(820, 520);

    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
    timeAxis_->setTickCount(7);
    timeAxis_->setTitleText(QStringLiteral("Time"));
    valueAxis_ = new QValueAxis;
    valueAxis_->setLabelFormat(QStringLiteral("%g"));
    valueAxis_->setTitleText(QStringLiteral("Value"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    view_ = new TTrendChartView(chart_, valueAxis_, [this] {
        // The user's zoom holds until Fit.
        fitted_ = false;
        fit_->setEnabled(true);
    });
    view_->setRenderHint(QPainter::Antialiasing, false);
    view_->setRubberBand(QChartView::VerticalRubberBand);

    span_ = new QComboBox;
    for (int minutes : SPAN_MINUTES)
        span_->addItem(QStringLiteral("%1 min").arg(minutes), minutes);
    span_->setCurrentIndex(span_->findData(DEFAULT_SPAN_MINUTES));
    connect(span_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetSpanMinutes(span_->itemData(index).toInt()); });
    pause_ = new QPushButton(QStringLiteral("Pause"));
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, &TForm_Trend::SetPaused);
    fit_ = new QPushButton(QStringLiteral("Fit"));
    fit_->setToolTip(QStringLiteral("Fit the vertical axis to the data again"));
    fit_->setEnabled(false);
    connect(fit_, &QPushButton::clicked, this, &TForm_Trend::FitClick);
    remove_ = new QToolButton;
    remove_->setText(QStringLiteral("Remove"));
    remove_->setPopupMode(QToolButton::InstantPopup);
    remove_->setMenu(new QMenu(remove_));
    export_ = new QPushButton(QStringLiteral("Export..."));
    connect(export_, &QPushButton::clicked, this, &TForm_Trend::ExportClick);
    status_ = new QLabel;

    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Span:")));
    bar->addWidget(span_);
    bar->addWidget(pause_);
    bar->addWidget(fit_);
    bar->addWidget(remove_);
    bar->addStretch(1);
    bar->addWidget(export_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);
    RebuildRemoveMenu();

    timer_ = new QTimer(this);
    timer_->setInterval(DRAW_INTERVAL_MS);
    connect(timer_, &QTimer::timeout, this, [this] {
        Collect();
        if (!paused_)
            Redraw();
    });
}

void TForm_Trend::AddParameters(const QList<int> &rows)
{
    int refused = 0;
    for (int row : rows) {
        if (row < GATEWAY_MTU_PARAMETER_FIRST || row > GATEWAY_MTU_PARAMETER_LAST || store_.IndexOf(row) >= 0)
            continue;
        if (!store_.Add(row, ParameterLabel(row).toStdString())) {
            ++refused;
            continue;
        }
        // The first free colour, so a removed parameter's colour is used again.
        std::vector<bool> used(TTrendStore::MAX_SERIES, false);
        for (const Plot &plot : plots_)
            used[size_t(plot.ColourIndex)] = true;
        Plot plot;
        plot.Row = row;
        while (used[size_t(plot.ColourIndex)])
            ++plot.ColourIndex;
        plots_.push_back(plot);
        NewSegment(plots_.size() - 1, true);
        SetPlotted(model_, row, true);
    }
    notice_ = refused > 0 ? QStringLiteral("A trend shows at most %1 parameters: %2 not added.")
                                .arg(TTrendStore::MAX_SERIES)
                                .arg(refused)
                          : QString();
    RebuildRemoveMenu();
    Redraw();
}

void TForm_Trend::RemoveParameter(int row)
{
    const int at = store_.IndexOf(row);
    if (at < 0)
        return;
    SetPlotted(model_, row, false);
    for (QLineSeries *segment : plots_[size_t(at)].Segments) {
        chart_->removeSeries(segment);
        delete segment;
    }
    plots_.erase(plots_.begin() + at);
    store_.Remove(row);
    notice_.clear();
    RebuildRemoveMenu();
    Redraw();
}

QList<int> TForm_Trend::Parameters() const
{
    QList<int> rows;
    for (const Plot &plot : plots_)
        rows.append(plot.Row);
    return rows;
}

QList<QLineSeries *> TForm_Trend::SeriesOf(int row) const
{
    const int at = store_.IndexOf(row);
    return at < 0 ? QList<QLineSeries *>() : plots_[size_t(at)].Segments;
}

QLineSeries *TForm_Trend::NewSegment(size_t index, bool legend)
{
    Plot &plot = plots_[index];
    auto *segment = new QLineSeries;
    segment->setName(QString::fromStdString(store_.AllSeries()[index].Name));
    QPen pen(PLOT_COLOURS[plot.ColourIndex]);
    pen.setWidthF(1.5);
    segment->setPen(pen);
    chart_->addSeries(segment);
    segment->attachAxis(timeAxis_);
    segment->attachAxis(valueAxis_);
    // One entry per parameter: the further segments of its line have none.
    if (!legend)
        for (QLegendMarker *marker : chart_->legend()->markers(segment))
            marker->setVisible(false);
    const int row = plot.Row;
    connect(segment, &QLineSeries::hovered, this,
            [this, row](const QPointF &point, bool entered) { ShowHover(point, entered, row); });
    plot.Segments.append(segment);
    return segment;
}

void TForm_Trend::Collect()
{
    const int64_t now = clocks_.MonotonicUs();
    TTrendSample sample;
    while (model_.TrendQueue.Pop(sample)) {
        store_.Append(sample.Parameter, clock_.WallUs(sample.RxTime2, now), sample.Value);
    }
}

void TForm_Trend::Redraw()
{
    if (!paused_)
        viewEndUs_ = clock_.NowUs(clocks_.MonotonicUs());
    const int64_t fromUs = viewEndUs_ - spanUs_;
    // Before the first layout the plot area is empty: a floor keeps every receipt of a short span.
    const int columns = std::max(MIN_COLUMNS, int(chart_->plotArea().width()) / PIXELS_PER_COLUMN);
    std::vector<std::vector<TTrendSegment>> lines;
    std::optional<std::pair<double, double>> range;
    for (size_t i = 0; i < plots_.size(); ++i) {
        lines.push_back(store_.StepLine(i, fromUs, viewEndUs_, columns));
        while (size_t(plots_[i].Segments.size()) < lines.back().size())
            NewSegment(i, false);
        if (const auto own = TTrendStore::Range(lines.back())) {
            if (!range)
                range = own;
            range->first = std::min(range->first, own->first);
            range->second = std::max(range->second, own->second);
        }
    }
    // Every change of an axis lays out every series' points again (Qt Charts
    // also builds each line's hover outline then): the axes change while the
    // series are empty, and each series takes its points once.
    for (const Plot &plot : plots_)
        for (QLineSeries *segment : plot.Segments)
            if (segment->count() > 0)
                segment->clear();
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(fromUs / 1000), QDateTime::fromMSecsSinceEpoch(viewEndUs_ / 1000));
    if (fitted_) {
        double low = range ? range->first : 0.0;
        double high = range ? range->second : 1.0;
        // A flat line sits mid-height rather than on an edge.
        const double pad = high > low ? (high - low) * 0.05 : std::max(1.0, std::fabs(low) * 0.05);
        // Each range change lays out the axis again; the data's range
        // rarely changes between two redraws.
        if (!fittedRange_ || *fittedRange_ != std::make_pair(low - pad, high + pad)) {
            fittedRange_ = std::make_pair(low - pad, high + pad);
            valueAxis_->setRange(low - pad, high + pad);
            valueAxis_->applyNiceNumbers();
        }
    }
    for (size_t i = 0; i < plots_.size(); ++i) {
        for (size_t s = 0; s < lines[i].size(); ++s) {
            QList<QPointF> points;
            points.reserve(qsizetype(lines[i][s].size()));
            for (const TTrendPoint &point : lines[i][s])
                points.append(QPointF(point.TimeMs, point.Value));
            plots_[i].Segments[qsizetype(s)]->replace(points);
        }
    }
    UpdateStatus();
}

void TForm_Trend::SetSpanMinutes(int minutes)
{
    spanUs_ = minutes * US_PER_MINUTE;
    const int index = span_->findData(minutes);
    if (index >= 0 && index != span_->currentIndex())
        span_->setCurrentIndex(index);
    Redraw();
}

void TForm_Trend::SetPaused(bool paused)
{
    // The view stops where it stood at the moment of pausing.
    if (paused && !paused_)
        viewEndUs_ = clock_.NowUs(clocks_.MonotonicUs());
    paused_ = paused;
    if (pause_->isChecked() != paused)
        pause_->setChecked(paused);
    Redraw();
}

void TForm_Trend::FitClick()
{
    fitted_ = true;
    fittedRange_.reset();
    fit_->setEnabled(false);
    Redraw();
}

void TForm_Trend::RebuildRemoveMenu()
{
    QMenu *menu = remove_->menu();
    menu->clear();
    for (size_t i = 0; i < plots_.size(); ++i) {
        const int row = plots_[i].Row;
        menu->addAction(QString::fromStdString(store_.AllSeries()[i].Name), this, [this, row] { RemoveParameter(row); });
    }
    remove_->setEnabled(!plots_.empty());
    export_->setEnabled(!plots_.empty());
}

void TForm_Trend::ShowHover(const QPointF &point, bool entered, int row)
{
    const int at = store_.IndexOf(row);
    if (!entered || at < 0) {
        hover_.clear();
        QToolTip::hideText();
        UpdateStatus();
        return;
    }
    const int64_t timeUs = int64_t(std::llround(point.x() * 1000.0));
    const std::optional<int32_t> value = store_.ValueAt(size_t(at), timeUs);
    hover_ = QStringLiteral("%1  %2: %3")
                 .arg(QDateTime::fromMSecsSinceEpoch(timeUs / 1000).toString(QStringLiteral("HH:mm:ss.zzz")),
                      QString::fromStdString(store_.AllSeries()[size_t(at)].Name),
                      value ? ValueText(*value) : QStringLiteral("-"));
    QToolTip::showText(QCursor::pos(), hover_, view_);
    UpdateStatus();
}

QString TForm_Trend::StatusText() const { return status_->text(); }

void TForm_Trend::UpdateStatus()
{
    QStringList parts;
    if (!hover_.isEmpty())
        parts << hover_;
    if (paused_)
        parts << QStringLiteral("Paused: values are still collected.");
    if (!notice_.isEmpty())
        parts << notice_;
    if (const uint64_t lost = model_.TrendQueue.Dropped())
        parts << QStringLiteral("%1 values lost (the window fell behind).").arg(lost);
    status_->setText(parts.join(QStringLiteral("   ")));
}

bool TForm_Trend::ExportTo(const QString &path, QString *error) const
{
    return WriteFileAtomically(path, store_.ExportCsv(), error);
}

void TForm_Trend::ExportClick()
{
    ExportCsvAskingPath(this, QStringLiteral("Export Trend"), QStringLiteral("trend.csv"),
                        [this] { return store_.ExportCsv(); });
}

TForm_Trend *PlotTrend(TMonitorModel &model, QWidget *parent, const QList<int> &rows)
{
    static QPointer<TForm_Trend> window;
    if (window == nullptr || &window->Model() != &model) {
        window = new TForm_Trend(model, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->AddParameters(rows);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
