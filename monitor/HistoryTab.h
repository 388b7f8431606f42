// The "History" tab of "Vehicle Data": every fault activation and clearing
// and every MTU online/offline change, newest first, with what the bound
// dropped, and its export. A view over the history's ring, so a long
// history costs no widgets; drawn on the monitor's display tick.
#pragma once

#include "HistoryFeed.h"
#include "HistoryLog.h"
#include "WallClock.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class THistoryTableModel;

class THistoryTab : public QWidget {
    Q_OBJECT
public:
    enum Column { COLUMN_TIME, COLUMN_EVENT, COLUMN_FAULT_CODE, COLUMN_COUNT, COLUMNS };

    explicit THistoryTab(THistoryFeed &feed, size_t bound = THistoryLog::BOUND, QWidget *parent = nullptr);
    ~THistoryTab() override;

    // Takes every event the feed holds into the table.
    void Drain();

    const THistoryLog &Log() const;
    QTableView *Table() const { return table_; }
    QPushButton *ExportButton() const { return export_; }
    QString NoticeText() const;
    // What the table shows in a cell (row 0 the newest event).
    QString CellText(int row, int column) const;

    // The history oldest first, the order it happened in, as CSV.
    std::string ExportCsv() const;
    bool ExportTo(const QString &path, QString *error) const;
    void ExportClick();

signals:
    // The events one pass took, oldest first, for whoever else acts on them.
    void EventsTaken(const std::vector<THistoryEntry> &events);

private:
    void ShowNotice();

    THistoryFeed &feed_;
    std::unique_ptr<THistoryTableModel> model_;
    std::vector<THistoryEntry> taken_;
    uint64_t lostShown_ = 0;
    TWallClockOffset wallClock_;
    QTableView *table_ = nullptr;
    QLabel *notice_ = nullptr;
    QPushButton *export_ = nullptr;
};
