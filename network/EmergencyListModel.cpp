#include "EmergencyListModel.h"

#include "CsvFile.h"
#include "EmergencyText.h"
#include "WallClock.h"

namespace network {

const char *const EmergencyListModel::HEADERS[COLUMNS] = {"Time", "Node", "Code", "Register", "Data", "Meaning"};

void EmergencyListModel::add(const std::vector<EmergencyRow> &rows)
{
    if (rows.empty())
        return;
    if (rows.size() >= log_.Bound()) {
        beginResetModel();
        for (const EmergencyRow &row : rows)
            log_.Add(row);
        endResetModel();
        return;
    }
    const size_t size = log_.Size();
    const size_t drop = size + rows.size() > log_.Bound() ? size + rows.size() - log_.Bound() : 0;
    if (drop > 0) {
        beginRemoveRows({}, int(size - drop), int(size - 1));
        log_.DropForRoom(rows.size());
        endRemoveRows();
    }
    beginInsertRows({}, 0, int(rows.size() - 1));
    for (const EmergencyRow &row : rows)
        log_.Add(row);
    endInsertRows();
}

std::string EmergencyListModel::cellText(const EmergencyRow &row, int column)
{
    switch (column) {
    case NODE:
        return std::to_string(row.node);
    case CODE:
        return row.length >= 2 ? emergencyCodeText(row.code()) : std::string();
    case REGISTER:
        return row.length >= 3 ? errorRegisterText(row.data[2]) : std::string();
    case DATA:
        return row.length > 3 ? hexBytes(row.data + 3, size_t(row.length - 3)) : std::string();
    case MEANING:
        return row.length >= 2 ? emergencyMeaning(row.code()) : std::string("Too short for an emergency");
    default:
        return {};
    }
}

QString EmergencyListModel::text(int row, int column) const
{
    if (row < 0 || size_t(row) >= log_.Size() || column < 0 || column >= COLUMNS)
        return {};
    const EmergencyRow &entry = log_.Newest(size_t(row));
    if (column == TIME)
        return LocalTimeText(entry.wallUs);
    return QString::fromStdString(cellText(entry, column));
}

std::string EmergencyListModel::csv() const
{
    std::string out;
    AppendCsvRecord(out, std::vector<std::string>(HEADERS, HEADERS + COLUMNS));
    for (size_t i = log_.Size(); i-- > 0;) {
        const EmergencyRow &entry = log_.Newest(i);
        std::vector<std::string> fields{IsoLocalTimeMs(entry.wallUs)};
        for (int column = NODE; column < COLUMNS; ++column)
            fields.push_back(cellText(entry, column));
        AppendCsvRecord(out, fields);
    }
    return out;
}

int EmergencyListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(log_.Size()); }
int EmergencyListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : COLUMNS; }

QVariant EmergencyListModel::data(const QModelIndex &index, int role) const
{
    // A register with many bits set is wider than its column: the tip has it whole.
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return text(index.row(), index.column());
}

QVariant EmergencyListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= COLUMNS)
        return {};
    return QString::fromLatin1(HEADERS[section]);
}

} // namespace network
