// The "CANopen Network" window's upper table: one row per node heard or
// found by the survey, in node-ID order, its cells as texts. Each update
// formats every row from the library's node table and the survey's
// identities and tells the view only the cells whose text changed, one
// signal per run of changed rows in a column.
#pragma once

#include "QEL_COPN.h"
#include "QEL_COPN_Interface.h"

#include <QAbstractTableModel>

#include <array>
#include <string>
#include <vector>

namespace network {

class NodeTableModel : public QAbstractTableModel {
public:
    enum Column {
        NODE, STATE, HEARTBEAT, LAST_HEARD, VENDOR, PRODUCT, REVISION, SERIAL, NAME, EMERGENCIES, LAST_EMERGENCY,
        COLUMNS
    };
    static const char *const HEADERS[COLUMNS];

    // The texts of one node's cells.
    static std::array<std::string, COLUMNS> rowTexts(uint8_t node, const NodeStatus &status,
                                                     const NodeIdentity &identity);
    // "Pre-operational", "Lost", "Heard", ...; empty for a node never heard.
    static std::string stateText(const NodeStatus &status);

    // Both tables indexed by node ID, QELCOPN_NODE_TABLE_SIZE entries. A
    // node gets its row once heard or found; rows stay.
    void update(const NodeStatus *statuses, const NodeIdentity *identities);

    uint8_t nodeAt(int row) const;
    int rowOf(uint8_t node) const; // -1 when the node has no row
    QString text(int row, int column) const;
    // Cells whose text the last update changed.
    size_t changedCells() const { return changedCells_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        uint8_t node;
        std::array<std::string, COLUMNS> texts;
    };
    void insertRow(uint8_t node);

    std::vector<Row> rows_;
    std::array<int, QELCOPN_NODE_TABLE_SIZE> rowOfNode_{};
    size_t changedCells_ = 0;
};

} // namespace network
