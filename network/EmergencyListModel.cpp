#include "EmergencyListModel.h"

#include "CsvFile.h"
#include "EmergencyText.h"
#include "WallClock.h"

namespace network {

const char *const EmergencyListModel::HEADERS[COLUMNS] = {"Time", "Node", "Code", "Register", "Data", "Meaning"};

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
