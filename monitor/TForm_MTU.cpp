// The monitor window: its components, the catalogue it is filled with, and
// the handlers that are not about drawing (those are in TForm_MTU_Display.cpp).
#include "TForm_MTU.h"

#include "BusHealthPanel.h"
#include "FormSize.h"
#include "HistoryTab.h"
#include "KeyboardAccess.h"
#include "MonitorCatalogue.h"
#include "StringGrid.h"

#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QHeaderView>
#include <QMenu>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <set>

TForm_MTU *Form_MTU = nullptr;

namespace {

// DejaVu Sans, which every Debian desktop has. The sizes are those at which
// every caption and header fits its control in the window's fixed layout,
// and they are given in pixels because the layout is: at 96 dpi the
// window's 11 px is 8 point, the grids' 9 px is 7 point and the offline
// banner's 17 px is 13 point, the largest at which it fits its place.
const char *const UI_FONT_FAMILY = "DejaVu Sans";
constexpr int WINDOW_FONT_PIXELS = 11;
constexpr int GRID_FONT_PIXELS = 9;
constexpr int OFFLINE_FONT_PIXELS = 17;

constexpr int CLIENT_WIDTH = 545;
constexpr int CLIENT_HEIGHT = 508;
constexpr int DESIGNED_LEFT = 210;
constexpr int DESIGNED_TOP = 138;
constexpr int PANEL_HEIGHT = 62;

constexpr int DISPLAY_INTERVAL_MS = 100;
constexpr int FLASH_INTERVAL_MS = 500;

constexpr int DATA_GRID_COLUMNS = 6;
constexpr int DATA_GRID_ROWS = 255;
constexpr int DATA_GRID_COLUMN_WIDTH = 100;
constexpr int FAULT_GRID_ROWS = 401;
constexpr int DINBUS_GRID_COLUMNS = 3;
constexpr int DINBUS_GRID_ROWS = 100;
constexpr int DEFAULT_COLUMN_WIDTH = 64;
constexpr int ROW_HEIGHT = 21;

const char *const DATA_GRID_HEADERS[] = {"Parameter Number", "Parameter Name", "Value", "Hex", "Time Rx"};

QFont UiFont(int pixels, bool bold = false)
{
    QFont font(QString::fromLatin1(UI_FONT_FAMILY));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

TStringGrid *CreateGrid(QWidget *sheet, const QRect &place, int columns, int rows)
{
    auto *grid = new TStringGrid(sheet, columns, rows);
    grid->setGeometry(place);
    grid->setFont(UiFont(GRID_FONT_PIXELS));
    grid->SetDefaultColWidth(DEFAULT_COLUMN_WIDTH);
    grid->SetDefaultRowHeight(ROW_HEIGHT);
    return grid;
}

TStringGrid *CreateDataGrid(QWidget *sheet, const QRect &place)
{
    TStringGrid *grid = CreateGrid(sheet, place, DATA_GRID_COLUMNS, DATA_GRID_ROWS);
    grid->SetDefaultColWidth(DATA_GRID_COLUMN_WIDTH);
    int column = 0;
    for (const char *header : DATA_GRID_HEADERS)
        grid->SetCell(column++, 0, header);
    return grid;
}

void WriteNumber(TStringGrid *grid, int row)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", row);
    grid->SetCell(0, row, text);
}

} // namespace

TForm_MTU::TForm_MTU(QWidget *owner) : QDialog(owner)
{
    CreateComponents();
    WriteCatalogue();
    FormSize1->Restore();
    Timer1->start();
    DisplayFaultCodes();
    DisplayMtuData();
    DisplayStatus();
    DisplayDinBus();
    DisplayJ1939Data();
}

TForm_MTU::~TForm_MTU()
{
    // Windows opened over the monitor (the trend) use its model: they go while it is whole.
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child->isWindow())
            delete child;
}

void TForm_MTU::CreateComponents()
{
    setWindowTitle(QStringLiteral("Vehicle Data"));
    // A fixed single border with the system menu and minimize button only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(UiFont(WINDOW_FONT_PIXELS));
    setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT);
    move(DESIGNED_LEFT, DESIGNED_TOP);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(0, 0, CLIENT_WIDTH, CLIENT_HEIGHT - PANEL_HEIGHT);
    TabSheet_MTU_Data = new QWidget;
    TabSheet_MTU_Faults = new QWidget;
    TabSheet_Dinbus = new QWidget;
    TabSheet_J1939 = new QWidget;
    PageControl1->addTab(TabSheet_MTU_Data, QStringLiteral("MTU Engine Data"));
    PageControl1->addTab(TabSheet_MTU_Faults, QStringLiteral("MTU Fault Codes"));
    PageControl1->addTab(TabSheet_Dinbus, QStringLiteral("DinBus"));
    PageControl1->addTab(TabSheet_J1939, QStringLiteral("J1939 Data"));
    TabSheet_History = new THistoryTab(HistoryFeed);
    TabSheet_History->Table()->setFont(UiFont(GRID_FONT_PIXELS));
    PageControl1->addTab(TabSheet_History, QStringLiteral("History"));

    AdvStringGrid_MTU_Data = CreateDataGrid(TabSheet_MTU_Data, QRect(21, 13, 486, 352));
    CheckBox_DataLocked = new QCheckBox(QStringLiteral("Lock Data"), TabSheet_MTU_Data);
    CheckBox_DataLocked->setGeometry(69, 380, 76, 17);
    Button1 = new QPushButton(QStringLiteral("Zero Times"), TabSheet_MTU_Data);
    Button1->setGeometry(408, 392, 75, 25);

    AdvStringGrid_MTU_FaultCodes = CreateGrid(TabSheet_MTU_Faults, QRect(23, 21, 317, 336), 2, FAULT_GRID_ROWS);
    AdvStringGrid_MTU_FaultCodes->SetColWidth(0, 75);
    AdvStringGrid_MTU_FaultCodes->SetColWidth(1, 200);
    AdvStringGrid_MTU_FaultCodes->SetCell(0, 0, "Fault Code");
    AdvStringGrid_MTU_FaultCodes->SetCell(1, 0, "Active");

    AdvStringGrid_DinBus =
        CreateGrid(TabSheet_Dinbus, QRect(34, 27, 470, 334), DINBUS_GRID_COLUMNS, DINBUS_GRID_ROWS);
    AdvStringGrid_DinBus->SetCell(0, 0, "Byte Number");
    AdvStringGrid_DinBus->SetCell(1, 0, "Parameter Name");
    AdvStringGrid_DinBus->SetCell(2, 0, "Value");

    AdvStringGrid_J1939 = CreateDataGrid(TabSheet_J1939, QRect(29, 21, 486, 352));
    // Eight bytes in hexadecimal do not fit the data grid's width: the one column that needs more.
    AdvStringGrid_J1939->WidenColumnToFit(2, QStringLiteral("00 00 00 00 00 00 00 00"));
    PageControl1->setCurrentWidget(TabSheet_J1939);
    // A screen reader names each table after its page.
    for (int i = 0; i < PageControl1->count(); ++i)
        for (QTableView *table : PageControl1->widget(i)->findChildren<QTableView *>())
            if (table->accessibleName().isEmpty())
                table->setAccessibleName(PageControl1->tabText(i));

    const auto colour = [this](int column, int row) { return AdvStringGrid_MTU_DataGetCellColor(row, column); };
    AdvStringGrid_MTU_Data->SetCellColorHandler(colour);
    AdvStringGrid_J1939->SetCellColorHandler(colour);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, CLIENT_HEIGHT - PANEL_HEIGHT, CLIENT_WIDTH, PANEL_HEIGHT);
    Button_Close = new QPushButton(QStringLiteral("Close"), Panel1);
    Button_Close->setGeometry(224, 6, 75, 25);
    StaticText_MTUOffline = new QLabel(QStringLiteral("MTU OFFLINE"), Panel1);
    StaticText_MTUOffline->setGeometry(367, 6, 142, 28);
    StaticText_MTUOffline->setFont(UiFont(OFFLINE_FONT_PIXELS, true));
    StaticText_MTUOffline->hide();
    StatusBar1 = new QStatusBar(Panel1);
    StatusBar1->setGeometry(1, 42, 543, 19);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel_ = new QLabel(QStringLiteral("MTU Status: Offline"), StatusBar1);
    StatusBar1->addWidget(StatusPanel_, 1);
    StatusBar1->addPermanentWidget(new TBusHealthPanel(StatusBar1));

    // No default button: Enter in a grid must not "Zero Times".
    for (QPushButton *button : {Button_Close, Button1})
        button->setAutoDefault(false);
    ChainFocusThroughPages(PageControl1, Button_Close);

    CreateMtuDataMenu();
    CreateTablesMenus();

    FormSize1 = std::make_unique<TFormSize>(this, QStringLiteral("Form_MTU"));

    Timer1 = new QTimer(this);
    Timer1->setInterval(DISPLAY_INTERVAL_MS);
    Timer_Flash = new QTimer(this);
    Timer_Flash->setInterval(FLASH_INTERVAL_MS);

    connect(Timer1, &QTimer::timeout, this, &TForm_MTU::Timer1Timer);
    connect(Timer_Flash, &QTimer::timeout, this, &TForm_MTU::Timer_FlashTimer);
    connect(Button_Close, &QPushButton::clicked, this, &TForm_MTU::Button_CloseClick);
    connect(Button1, &QPushButton::clicked, this, &TForm_MTU::Button1Click);
    // Toggled rather than clicked: a box set from code must freeze and thaw
    // the rows just as a click does.
    connect(CheckBox_DataLocked, &QCheckBox::toggled, this, &TForm_MTU::CheckBox_DataLockedClick);
}

void TForm_MTU::WriteCatalogue()
{
    for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n)
        WriteNumber(AdvStringGrid_MTU_Data, n);
    for (int i = 0; i < MTU_NAMED_ROWS; ++i)
        AdvStringGrid_MTU_Data->SetCell(1, i + 1, MtuParameterNames[i]);
    AdvStringGrid_J1939->SetCell(0, 1, J1939_ROW1_NUMBER);
    AdvStringGrid_J1939->SetCell(1, 1, J1939_ROW1_NAME);
    for (int n = FAULT_FIRST_ROW; n <= FAULT_LAST_ROW; ++n)
        WriteNumber(AdvStringGrid_MTU_FaultCodes, n);
    for (int n = GATEWAY_DINBUS_BYTE_FIRST; n <= GATEWAY_DINBUS_BYTE_LAST; ++n)
        WriteNumber(AdvStringGrid_DinBus, n);
    for (int i = 0; i < DINBUS_NAMED_ROWS; ++i) {
        AdvStringGrid_DinBus->SetCell(1, i + 1, DinBusByteNames[i]);
        // The grid has room to spare; the default width would cut the longer names.
        AdvStringGrid_DinBus->WidenColumnToFit(1, QString::fromLatin1(DinBusByteNames[i]));
    }
}

void TForm_MTU::CreateMtuDataMenu()
{
    TStringGrid *grid = AdvStringGrid_MTU_Data;
    MtuDataMenu = new QMenu(grid);
    QAction *plotTrend = MtuDataMenu->addAction(QStringLiteral("Plot Trend"));
    connect(plotTrend, &QAction::triggered, this, [this] { emit PlotTrendRequested(ChosenMtuRows()); });
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint &at) {
        clickedMtuRow_ = grid->rowAt(at.y()) + 1;
        MtuDataMenu->popup(grid->viewport()->mapToGlobal(at));
    });
    // The row numbers sit in the vertical header, outside the cells.
    connect(grid->verticalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int section) {
        const int row = section + 1;
        if (row >= GATEWAY_MTU_PARAMETER_FIRST && row <= GATEWAY_MTU_PARAMETER_LAST)
            emit PlotTrendRequested({row});
    });
}

QList<int> TForm_MTU::ChosenMtuRows() const
{
    std::set<int> rows;
    for (const QModelIndex &cell : AdvStringGrid_MTU_Data->selectionModel()->selectedIndexes())
        rows.insert(cell.row() + 1);
    if (rows.empty() && clickedMtuRow_ >= GATEWAY_MTU_PARAMETER_FIRST && clickedMtuRow_ <= GATEWAY_MTU_PARAMETER_LAST)
        rows.insert(clickedMtuRow_);
    QList<int> chosen;
    for (int row : rows)
        if (row >= GATEWAY_MTU_PARAMETER_FIRST && row <= GATEWAY_MTU_PARAMETER_LAST)
            chosen.append(row);
    return chosen;
}

QString TForm_MTU::StatusText() const { return StatusPanel_->text(); }

void TForm_MTU::showEvent(QShowEvent *event)
{
    // Only a showing by the program, not the window coming back from the task bar.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TForm_MTU::Button_CloseClick() { close(); }

void TForm_MTU::Timer_FlashTimer() { StaticText_MTUOffline->setHidden(!StaticText_MTUOffline->isHidden()); }

void TForm_MTU::Button1Click()
{
    // The grid keeps its column 5 until each row's next gap replaces it.
    for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n)
        MtuMaxGapMs[n] = 0.0f;
}
