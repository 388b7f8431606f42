// The "Trend" window: chosen MTU parameters against time. It takes the
// plotted values from the model's trend queue on a 100 ms timer and draws
// what the store gives; everything worth testing lives in TTrendStore.
#pragma once

#include "TrendStore.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QToolButton;
class QValueAxis;
class TMonitorModel;

class TForm_Trend : public QWidget {
    Q_OBJECT
public:
    // The monotonic microsecond counter the receive stamps come from, and the wall clock.
    struct Clocks {
        std::function<int64_t()> MonotonicUs;
        std::function<int64_t()> WallUs;
    };
    static Clocks SystemClocks();

    TForm_Trend(TMonitorModel &model, QWidget *parent = nullptr, Clocks clocks = SystemClocks());
    ~TForm_Trend() override;

    // Adds what fits of `rows` (up to 8 parameters in all); says so when some did not.
    void AddParameters(const QList<int> &rows);
    void RemoveParameter(int row);
    QList<int> Parameters() const;

    // One tick: takes what the decoder queued, then draws unless paused.
    void Collect();
    void Redraw();

    void SetSpanMinutes(int minutes);
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }

    TMonitorModel &Model() const { return model_; }
    const TTrendStore &Store() const { return store_; }
    // The drawn segments of one parameter (the first carries its legend entry).
    QList<QLineSeries *> SeriesOf(int row) const;
    QChart *Chart() const { return chart_; }
    QString StatusText() const;
    QDateTimeAxis *TimeAxis() const { return timeAxis_; }
    QValueAxis *ValueAxis() const { return valueAxis_; }

    // Writes the held data as CSV; false with the reason in `error`.
    bool ExportTo(const QString &path, QString *error) const;

private:
    struct Plot {
        int Row = 0;
        int ColourIndex = 0;
        QList<QLineSeries *> Segments;
    };
    void CreateComponents();
    void ExportClick();
    void FitClick();
    void RebuildRemoveMenu();
    void UpdateStatus();
    QLineSeries *NewSegment(size_t plot, bool legend);
    void ShowHover(const QPointF &point, bool entered, int row);

    TMonitorModel &model_;
    Clocks clocks_;
    TTrendClock clock_;
    TTrendStore store_;
    std::vector<Plot> plots_;
    int64_t spanUs_;
    int64_t viewEndUs_ = 0;
    bool paused_ = false;
    bool fitted_ = true;
    // The data's range the value axis was last fitted to.
    std::optional<std::pair<double, double>> fittedRange_;
    QString notice_;
    QString hover_;
    int colourTurn_ = 0;

    QChart *chart_ = nullptr;
    QChartView *view_ = nullptr;
    QDateTimeAxis *timeAxis_ = nullptr;
    QValueAxis *valueAxis_ = nullptr;
    QComboBox *span_ = nullptr;
    QPushButton *pause_ = nullptr;
    QPushButton *fit_ = nullptr;
    QToolButton *remove_ = nullptr;
    QPushButton *export_ = nullptr;
    QLabel *status_ = nullptr;
    QTimer *timer_ = nullptr;
};

// Opens the one trend window of the monitor (or brings it up) and adds the rows.
TForm_Trend *PlotTrend(TMonitorModel &model, QWidget *parent, const QList<int> &rows);
