// "Export Tables...": the monitor's four grids as they stand, one CSV file,
// each record led by the name of its table.
#include "TForm_MTU.h"

#include "CsvFile.h"
#include "StringGrid.h"

#include <QAction>
#include <QMenu>

namespace {

// The file's columns after "Table"; each table puts its grid's columns into
// those of the same meaning.
const char *const COLUMNS[] = {"Number", "Name", "Value", "Hex", "Time Rx", "Largest Gap"};
constexpr int FILE_COLUMNS = int(std::size(COLUMNS));
constexpr int NONE = -1;

struct TableLayout {
    const char *Name; // the tab's caption
    TStringGrid *TForm_MTU::*Grid;
    int FirstRow;
    int LastRow;
    int GridColumn[FILE_COLUMNS];
};

const TableLayout TABLES[] = {
    {"MTU Engine Data", &TForm_MTU::AdvStringGrid_MTU_Data, GATEWAY_MTU_PARAMETER_FIRST, GATEWAY_MTU_PARAMETER_LAST, {0, 1, 2, 3, 4, 5}},
    {"MTU Fault Codes", &TForm_MTU::AdvStringGrid_MTU_FaultCodes, FAULT_FIRST_ROW, FAULT_LAST_ROW,
     {0, NONE, 1, NONE, NONE, NONE}},
    {"DinBus", &TForm_MTU::AdvStringGrid_DinBus, GATEWAY_DINBUS_BYTE_FIRST, GATEWAY_DINBUS_BYTE_LAST, {0, 1, 2, NONE, NONE, NONE}},
    {"J1939 Data", &TForm_MTU::AdvStringGrid_J1939, 1, GATEWAY_J1939_SLOTS, {0, 1, 2, 3, 4, 5}},
};

} // namespace

std::string TForm_MTU::TablesCsv() const
{
    std::string csv;
    std::vector<std::string> fields{"Table"};
    fields.insert(fields.end(), std::begin(COLUMNS), std::end(COLUMNS));
    AppendCsvRecord(csv, fields);
    for (const TableLayout &table : TABLES) {
        const TStringGrid *grid = this->*table.Grid;
        for (int row = table.FirstRow; row <= table.LastRow; ++row) {
            fields.assign(1, table.Name);
            for (int column : table.GridColumn)
                fields.push_back(column == NONE ? std::string() : grid->Cell(column, row));
            AppendCsvRecord(csv, fields);
        }
    }
    return csv;
}

bool TForm_MTU::ExportTablesTo(const QString &path, QString *error) const
{
    return WriteFileAtomically(path, TablesCsv(), error);
}

void TForm_MTU::ExportTablesClick()
{
    ExportCsvAskingPath(this, QStringLiteral("Export Tables"), DatedCsvName(QStringLiteral("tables")),
                        [this] { return TablesCsv(); });
}

void TForm_MTU::CreateTablesMenus()
{
    Action_ExportTables = new QAction(QStringLiteral("Export Tables..."), this);
    connect(Action_ExportTables, &QAction::triggered, this, &TForm_MTU::ExportTablesClick);
    MtuDataMenu->addSeparator();
    MtuDataMenu->addAction(Action_ExportTables);
    // The other grids had no menu: this is their only entry.
    for (TStringGrid *grid : {AdvStringGrid_MTU_FaultCodes, AdvStringGrid_DinBus, AdvStringGrid_J1939}) {
        auto *menu = new QMenu(grid);
        menu->addAction(Action_ExportTables);
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, menu,
                [menu, grid](const QPoint &at) { menu->popup(grid->viewport()->mapToGlobal(at)); });
    }
}
