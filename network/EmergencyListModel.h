// The "CANopen Network" window's lower list, "Emergencies": every node's
// emergencies, newest first, the last 10,000, decoded; and their export.
#pragma once

#include "HistoryLog.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

namespace network {

struct EmergencyRow {
    int64_t wallUs = 0; // receive time, microseconds since the epoch (UTC)
    uint8_t node = 0;
    uint8_t length = 0;
    uint8_t data[8] = {};

    uint16_t code() const { return uint16_t(data[0] | data[1] << 8); }
};

class EmergencyListModel : public QAbstractTableModel {
public:
    enum Column { TIME, NODE, CODE, REGISTER, DATA, MEANING, COLUMNS };
    static const char *const HEADERS[COLUMNS];
    static constexpr size_t BOUND = 10000;

    explicit EmergencyListModel(size_t bound = BOUND) : log_(bound) {}

    // New emergencies, oldest first; they come in at the top.
    void add(const std::vector<EmergencyRow> &rows);
    const TBoundedLog<EmergencyRow> &log() const { return log_; }
    // The cell texts of row `row` (0 the newest); the time as `time` gives it.
    static std::string cellText(const EmergencyRow &row, int column);
    QString text(int row, int column) const;
    // Oldest first, the order they came in, as CSV.
    std::string csv() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TBoundedLog<EmergencyRow> log_;
};

} // namespace network
