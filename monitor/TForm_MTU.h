// The monitor window "Vehicle Data": four grids that follow the gateway's
// data every 100 ms. One instance lives for the whole run (Form_MTU); the
// receive threads call its decoders, its timer draws what they marked.
#pragma once

#include "MonitorModel.h"

#include <QColor>
#include <QDialog>

#include <QList>

#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class TFormSize;
class THistoryTab;
class TStringGrid;

class TForm_MTU : public QDialog, public TMonitorModel {
    Q_OBJECT
public:
    explicit TForm_MTU(QWidget *owner = nullptr);
    ~TForm_MTU() override;

    // Settings written by the main window before each showing (in the model):
    // NodeId, ListenOnly, ProductCode.

    // Called from the receive threads; see MonitorModel.h.
    using TMonitorModel::DecodeEmergency;
    using TMonitorModel::DecodePdoData;

    int ShowModal() { return exec(); }

    // Window components, in the form's order.
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet_MTU_Data = nullptr;
    QWidget *TabSheet_MTU_Faults = nullptr;
    QFrame *Panel1 = nullptr;
    QPushButton *Button_Close = nullptr;
    TStringGrid *AdvStringGrid_MTU_FaultCodes = nullptr;
    TStringGrid *AdvStringGrid_MTU_Data = nullptr;
    std::unique_ptr<TFormSize> FormSize1;
    QWidget *TabSheet_Dinbus = nullptr;
    TStringGrid *AdvStringGrid_DinBus = nullptr;
    QTimer *Timer1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StaticText_MTUOffline = nullptr;
    QTimer *Timer_Flash = nullptr;
    QCheckBox *CheckBox_DataLocked = nullptr;
    QPushButton *Button1 = nullptr;
    QWidget *TabSheet_J1939 = nullptr;
    TStringGrid *AdvStringGrid_J1939 = nullptr;

    // The fifth tab, shown for every product code.
    THistoryTab *TabSheet_History = nullptr;

    // The MTU grid's context menu: further entries are appended to it.
    QMenu *MtuDataMenu = nullptr;
    // The MTU rows a menu entry acts on: the selected ones, else the one clicked.
    QList<int> ChosenMtuRows() const;

    // "Export Tables...", in the context menu of every grid: the four tables
    // as they stand, in one CSV file with a column for the table's name.
    QAction *Action_ExportTables = nullptr;
    std::string TablesCsv() const;
    bool ExportTablesTo(const QString &path, QString *error) const;
    void ExportTablesClick();

    // The status bar's one panel.
    QString StatusText() const;

    // Event handlers.
    void Timer1Timer();
    void FormShow();
    void Button_CloseClick();
    void CheckBox_DataLockedClick();
    void Button1Click();
    void Timer_FlashTimer();
    QColor AdvStringGrid_MTU_DataGetCellColor(int row, int column) const;

    // Display routines: each draws the entries that differ from their shown copy.
    void DisplayFaultCodes();
    void DisplayMtuData();
    void DisplayStatus();
    void DisplayDinBus();
    void DisplayJ1939Data();

signals:
    // "Plot Trend" on these MTU rows (the app opens the trend window).
    void PlotTrendRequested(const QList<int> &rows);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void CreateComponents();
    void WriteCatalogue();
    void ReadGatewayState();
    void ShowTabsForProduct(int32_t productCode);
    float ReceptionMs(uint32_t rxTime2) const;
    void RepaintRowColour(int row);
    void CreateMtuDataMenu();
    void CreateTablesMenus();

    int clickedMtuRow_ = 0;

    QLabel *StatusPanel_ = nullptr;
};

// The one monitor window, created at start-up and never cleared.
extern TForm_MTU *Form_MTU;
