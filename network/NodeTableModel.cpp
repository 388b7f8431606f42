#include "NodeTableModel.h"

#include "EmergencyText.h"
#include "protocol/Cia301.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace network {

namespace cia301 = qelcopn::cia301;

const char *const NodeTableModel::HEADERS[COLUMNS] = {"Node",   "State",  "Heartbeat", "Last Heard",
                                                       "Vendor", "Product", "Revision", "Serial",
                                                       "Name",   "Emergencies", "Last Emergency"};

namespace {

template <typename... Args>
std::string formatted(const char *format, Args... args)
{
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

bool shown(const NodeStatus &status, const NodeIdentity &identity)
{
    return status.Heard != 0 || identity.Online != 0;
}

} // namespace

std::string NodeTableModel::stateText(const NodeStatus &status)
{
    if (status.Heard == 0)
        return {};
    if (status.Lost != 0)
        return "Lost";
    switch (status.State) {
    case cia301::NMT_STATE_BOOTUP: return "Boot-up";
    case cia301::NMT_STATE_PRE_OPERATIONAL: return "Pre-operational";
    case cia301::NMT_STATE_OPERATIONAL: return "Operational";
    case cia301::NMT_STATE_STOPPED: return "Stopped";
    case QELCOPN_NODE_STATE_UNKNOWN: return "Heard";
    default: return formatted("0x%02X", status.State);
    }
}

std::array<std::string, NodeTableModel::COLUMNS> NodeTableModel::rowTexts(uint8_t node, const NodeStatus &status,
                                                                           const NodeIdentity &identity)
{
    std::array<std::string, COLUMNS> t;
    t[NODE] = formatted("%u", node);
    t[STATE] = stateText(status);
    // A period measured between two receptions jitters by a millisecond or
    // two; to the nearest 10 ms it reads steady, as the node was set.
    const uint32_t period = status.HeartbeatPeriodMs;
    if (period != 0)
        t[HEARTBEAT] = formatted("%u ms", period >= 100 ? (period + 5) / 10 * 10 : period);
    if (status.Heard != 0 && status.SilentMs != QELCOPN_NEVER_HEARD)
        t[LAST_HEARD] = formatted("%u.%u s", status.SilentMs / 1000, status.SilentMs / 100 % 10);
    const uint32_t valid = identity.ValidFields;
    if (valid & VALID_VENDOR_ID)
        t[VENDOR] = formatted("0x%X", identity.VendorId);
    if (valid & VALID_PRODUCT_CODE)
        t[PRODUCT] = formatted("%u", identity.ProductCode);
    if (valid & VALID_REVISION_NUMBER)
        t[REVISION] = formatted("%u.%u", identity.RevisionNumber >> 16, identity.RevisionNumber & 0xFFFF);
    if (valid & VALID_SERIAL_NUMBER)
        t[SERIAL] = formatted("%u", identity.SerialNumber);
    if (valid & VALID_DEVICE_NAME)
        t[NAME] = std::string(identity.DeviceName, strnlen(identity.DeviceName, sizeof identity.DeviceName));
    if (status.Heard != 0)
        t[EMERGENCIES] = formatted("%u", status.Emergencies);
    if (status.Emergencies != 0)
        t[LAST_EMERGENCY] = emergencyCodeText(uint16_t(status.LastEmergency[0] | status.LastEmergency[1] << 8));
    return t;
}

void NodeTableModel::insertRow(uint8_t node)
{
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), node,
                                     [](const Row &row, uint8_t n) { return row.node < n; });
    const int row = int(at - rows_.begin());
    beginInsertRows({}, row, row);
    rows_.insert(at, Row{node, {}});
    for (int r = row; r < int(rows_.size()); ++r)
        rowOfNode_[rows_[size_t(r)].node] = r + 1;
    endInsertRows();
}

void NodeTableModel::update(const NodeStatus *statuses, const NodeIdentity *identities)
{
    for (unsigned node = 1; node < QELCOPN_NODE_TABLE_SIZE; ++node)
        if (rowOfNode_[node] == 0 && shown(statuses[node], identities[node]))
            insertRow(uint8_t(node));
    changedCells_ = 0;
    // Changed rows per column, as runs.
    std::array<int, COLUMNS> runStart;
    runStart.fill(-1);
    const auto endRun = [this, &runStart](int column, int row) {
        if (runStart[size_t(column)] < 0)
            return;
        emit dataChanged(index(runStart[size_t(column)], column), index(row - 1, column), {Qt::DisplayRole});
        runStart[size_t(column)] = -1;
    };
    for (int r = 0; r < int(rows_.size()); ++r) {
        Row &row = rows_[size_t(r)];
        const auto texts = rowTexts(row.node, statuses[row.node], identities[row.node]);
        for (int c = 0; c < COLUMNS; ++c) {
            if (texts[size_t(c)] == row.texts[size_t(c)]) {
                endRun(c, r);
                continue;
            }
            row.texts[size_t(c)] = texts[size_t(c)];
            ++changedCells_;
            if (runStart[size_t(c)] < 0)
                runStart[size_t(c)] = r;
        }
    }
    for (int c = 0; c < COLUMNS; ++c)
        endRun(c, int(rows_.size()));
}

uint8_t NodeTableModel::nodeAt(int row) const
{
    return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)].node : 0;
}

int NodeTableModel::rowOf(uint8_t node) const
{
    return node < QELCOPN_NODE_TABLE_SIZE ? rowOfNode_[node] - 1 : -1;
}

QString NodeTableModel::text(int row, int column) const
{
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= COLUMNS)
        return {};
    return QString::fromStdString(rows_[size_t(row)].texts[size_t(column)]);
}

int NodeTableModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(rows_.size()); }
int NodeTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : COLUMNS; }

QVariant NodeTableModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() != NAME && index.column() != STATE)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant NodeTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= COLUMNS)
        return {};
    return QString::fromLatin1(HEADERS[section]);
}

} // namespace network
