// The "CANopen Network" window's lower list, "Emergencies": every node's
// emergencies, newest first, the last 10,000, decoded; and their export.
#pragma once

#include "BoundedLogModel.h"
#include "HistoryLog.h"

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

// Add() and Log() come from the base, as the history tab's list has them.
class EmergencyListModel : public TBoundedLogModel<TBoundedLog<EmergencyRow>, EmergencyRow> {
public:
    enum Column { TIME, NODE, CODE, REGISTER, DATA, MEANING, COLUMNS };
    static const char *const HEADERS[COLUMNS];
    static constexpr size_t BOUND = 10000;

    explicit EmergencyListModel(size_t bound = BOUND) : TBoundedLogModel(bound) {}

    // One cell's text, the time column aside (the list and the export
    // write the time each its own way).
    static std::string cellText(const EmergencyRow &row, int column);
    QString text(int row, int column) const;
    // Oldest first, the order they came in, as CSV.
    std::string csv() const;

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
};

} // namespace network
