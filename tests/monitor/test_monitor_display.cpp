// What the monitor's grids, status bar and banner show, read back cell by
// cell, from the first pass through receipts, Lock Data and Zero Times.
#include "MonitorWindowFixture.h"
#include "TextFit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace monitor_test;

namespace {

const char *const ZERO_BYTES = "00 00 00 00 00 00 00 00";

TEST_F(MonitorWindow, FreshWindowShowsTheCatalogueAndNoData)
{
    const TStringGrid *mtu = form->AdvStringGrid_MTU_Data;
    for (int n = 1; n <= 254; ++n) {
        ASSERT_EQ(Mtu(0, n), std::to_string(n));
        ASSERT_EQ(Mtu(2, n), "Missing Data") << n;
        ASSERT_EQ(Mtu(3, n), "0x7fffffff") << n;
        // No receipt yet: no time and no gap.
        ASSERT_EQ(Mtu(4, n), "") << n;
        ASSERT_EQ(Mtu(5, n), "") << n;
    }
    EXPECT_EQ(Mtu(1, 1), "Stop Activated");
    EXPECT_EQ(Mtu(1, 63), "Ventilator 1, Output Current");
    EXPECT_EQ(Mtu(1, 66), "Ventilator 1, Output Current");
    EXPECT_EQ(Mtu(1, 103), " T-Lube Oil");
    EXPECT_EQ(Mtu(1, 168), "T-ECU, Limit HI");
    EXPECT_EQ(Mtu(1, 169), "");
    EXPECT_EQ(Mtu(1, 254), "");
    const char *const headers[] = {"Parameter Number", "Parameter Name", "Value", "Hex", "Time Rx", ""};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(Mtu(column, 0), headers[column]);
        EXPECT_EQ(Cell(form->AdvStringGrid_J1939, column, 0), headers[column]);
    }

    const TStringGrid *faults = form->AdvStringGrid_MTU_FaultCodes;
    EXPECT_EQ(Cell(faults, 0, 0), "Fault Code");
    EXPECT_EQ(Cell(faults, 1, 0), "Active");
    for (int n = 1; n <= 400; ++n) {
        ASSERT_EQ(Cell(faults, 0, n), std::to_string(n));
        ASSERT_EQ(Cell(faults, 1, n), "0") << n;
    }

    const TStringGrid *dinBus = form->AdvStringGrid_DinBus;
    EXPECT_EQ(Cell(dinBus, 0, 0), "Byte Number");
    EXPECT_EQ(Cell(dinBus, 1, 0), "Parameter Name");
    EXPECT_EQ(Cell(dinBus, 2, 0), "Value");
    for (int n = 1; n <= 36; ++n) {
        ASSERT_EQ(Cell(dinBus, 0, n), std::to_string(n));
        ASSERT_EQ(Cell(dinBus, 2, n), "0") << n;
    }
    EXPECT_EQ(Cell(dinBus, 1, 1), "Ground Speed");
    EXPECT_EQ(Cell(dinBus, 1, 7), "Cruise Control Setpoint");
    EXPECT_EQ(Cell(dinBus, 1, 23), "Status Byte 2");
    EXPECT_EQ(Cell(dinBus, 1, 24), "");
    EXPECT_EQ(Cell(dinBus, 0, 37), "");

    const TStringGrid *j1939 = form->AdvStringGrid_J1939;
    EXPECT_EQ(Cell(j1939, 0, 1), "1");
    EXPECT_EQ(Cell(j1939, 1, 1), "Engine RPM");
    EXPECT_EQ(Cell(j1939, 0, 2), "");
    for (int row = 1; row <= 32; ++row)
        ASSERT_EQ(Cell(j1939, 2, row), ZERO_BYTES) << row;
    EXPECT_EQ(Cell(j1939, 2, 33), "");

    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Offline!!!!!!!!!!");
    EXPECT_TRUE(form->Timer_Flash->isActive());
    EXPECT_EQ(Background(mtu, 2, 1), WindowColour());
}

TEST_F(MonitorWindow, SameValueReceiptStillRedrawsItsTimeAndLargestGap)
{
    Receive(2, 10000, 1000);
    EXPECT_EQ(Mtu(2, 2), "Missing Data") << "drawn by the next tick, not by the receipt";
    Tick();
    EXPECT_EQ(Mtu(2, 2), "10000");
    EXPECT_EQ(Mtu(3, 2), "0x00002710");
    EXPECT_EQ(Mtu(4, 2), "1000.00");
    EXPECT_EQ(Mtu(5, 2), "") << "the first receipt has nothing before it to measure a gap from";
    EXPECT_EQ(form->MtuDataChanged.load(), 0);
    Receive(2, 10000, 1250);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "10000");
    EXPECT_EQ(Mtu(4, 2), "1250.00");
    EXPECT_EQ(Mtu(5, 2), "250.00");
    Receive(2, 10000, 1350);
    Tick();
    EXPECT_EQ(Mtu(4, 2), "1350.00");
    EXPECT_EQ(Mtu(5, 2), "250.00") << "a smaller gap leaves the largest one";
    Receive(2, 10000, 1750);
    Tick();
    EXPECT_EQ(Mtu(5, 2), "400.00");
}

TEST_F(MonitorWindow, ReceiptLandingWhileRowsAreDrawnIsDrawnNextTick)
{
    Receive(2, 20, 1000);
    Receive(3, 30, 1000);
    // Receipts that land in the middle of the pass: one for a row the pass has
    // already drawn, one for the row being drawn right now.
    bool landed = false;
    QObject::connect(form->AdvStringGrid_MTU_Data->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &at) {
                         if (landed || at.row() + 1 != 3)
                             return;
                         landed = true;
                         Receive(2, 21, 1100);
                         Receive(3, 31, 1100);
                     });
    Tick();
    ASSERT_TRUE(landed);
    EXPECT_EQ(Mtu(2, 2), "20");
    EXPECT_EQ(Mtu(2, 3), "30");
    EXPECT_EQ(form->MtuDataChanged.load(), 1);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "21");
    EXPECT_EQ(Mtu(4, 2), "1100.00");
    EXPECT_EQ(Mtu(2, 3), "31");
    EXPECT_EQ(Mtu(5, 3), "100.00");
}

TEST_F(MonitorWindow, ValueTextsForSignedMissingAndDefectiveValues)
{
    Receive(10, uint32_t(-5), 10);
    Receive(11, 0x80000001u, 10);
    Receive(12, 0x7FFFFFFFu, 10);
    Receive(13, 0x80000000u, 10);
    Tick();
    EXPECT_EQ(Mtu(2, 10), "-5");
    EXPECT_EQ(Mtu(3, 10), "0xfffffffb");
    EXPECT_EQ(Mtu(2, 11), "Sensor Defect");
    EXPECT_EQ(Mtu(3, 11), "0x80000001");
    // The gateway's own "no value" still carries its reception time.
    EXPECT_EQ(Mtu(2, 12), "Missing Data");
    EXPECT_EQ(Mtu(4, 12), "10.00");
    EXPECT_EQ(Mtu(2, 13), "-2147483648");
    EXPECT_EQ(Mtu(3, 13), "0x80000000");
}

TEST_F(MonitorWindow, LockDataFreezesAChangedRowUntilReleased)
{
    Receive(2, 100, 1000);
    Receive(3, 7, 1000);
    Tick();
    form->CheckBox_DataLocked->click();
    ASSERT_TRUE(form->CheckBox_DataLocked->isChecked());

    // An unchanged value keeps the live path while locked.
    Receive(3, 7, 1100);
    // The first change freezes the row, red in both data grids.
    Receive(2, 101, 1200);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "DS=0x00000064");
    EXPECT_EQ(Mtu(3, 2), "0x00000065");
    EXPECT_EQ(Mtu(4, 2), "1200.00");
    EXPECT_EQ(Mtu(5, 2), "");
    EXPECT_EQ(Background(form->AdvStringGrid_MTU_Data, 1, 2), QColor(Qt::red));
    EXPECT_EQ(Background(form->AdvStringGrid_MTU_Data, 5, 2), QColor(Qt::red));
    EXPECT_EQ(Background(form->AdvStringGrid_J1939, 2, 2), QColor(Qt::red));
    EXPECT_EQ(Background(form->AdvStringGrid_MTU_Data, 2, 3), WindowColour());
    EXPECT_EQ(Mtu(4, 3), "1100.00");
    EXPECT_EQ(Mtu(5, 3), "100.00");

    // Later receipts update the new value and time; the old value stays.
    Receive(2, 102, 1300);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "DS=0x00000064");
    EXPECT_EQ(Mtu(3, 2), "0x00000066");
    EXPECT_EQ(Mtu(4, 2), "1300.00");
    // Back at the value from before the change: the row stays as last written.
    Receive(2, 100, 1400);
    Tick();
    EXPECT_EQ(Mtu(3, 2), "0x00000066");
    EXPECT_EQ(Mtu(4, 2), "1300.00");

    // Release: white again, and nothing redrawn until the next MTU receipt.
    form->CheckBox_DataLocked->click();
    EXPECT_EQ(Background(form->AdvStringGrid_MTU_Data, 2, 2), WindowColour());
    EXPECT_EQ(Background(form->AdvStringGrid_J1939, 2, 2), WindowColour());
    Tick();
    EXPECT_EQ(Mtu(2, 2), "DS=0x00000064");
    Receive(3, 8, 1500);
    Tick();
    // Every row is drawn again; one without a receipt since the release
    // shows "Missing Data" and no time.
    EXPECT_EQ(Mtu(2, 2), "Missing Data");
    EXPECT_EQ(Mtu(3, 2), "0x7fffffff");
    EXPECT_EQ(Mtu(4, 2), "");
    EXPECT_EQ(Mtu(2, 3), "8");
    EXPECT_EQ(Mtu(4, 3), "1500.00");
    EXPECT_EQ(Mtu(5, 3), "100.00") << "the first receipt after the release measures no gap";

    Receive(2, 103, 1600);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "103");
    EXPECT_EQ(Mtu(4, 2), "1600.00");
    Receive(2, 103, 1900);
    Tick();
    EXPECT_EQ(Mtu(5, 2), "300.00");
}

TEST_F(MonitorWindow, LockDataCheckedAgainBeforeTheNextPassFreezesNoRow)
{
    Receive(2, 100, 1000);
    Tick();
    for (int click = 0; click < 3; ++click)
        form->CheckBox_DataLocked->click();
    ASSERT_TRUE(form->CheckBox_DataLocked->isChecked());

    // The release left nothing shown to change from: every row is live.
    Receive(2, 100, 1100);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "100");
    EXPECT_EQ(Mtu(2, 3), "Missing Data");
    EXPECT_EQ(Background(form->AdvStringGrid_MTU_Data, 1, 2), WindowColour());
    // A change from what the row now shows still freezes it.
    Receive(2, 101, 1200);
    Tick();
    EXPECT_EQ(Mtu(2, 2), "DS=0x00000064");
}

TEST_F(MonitorWindow, ZeroTimesKeepsTheGapColumnUntilTheNextGap)
{
    Receive(4, 1, 1000);
    Tick();
    Receive(4, 1, 1500);
    Tick();
    ASSERT_EQ(Mtu(5, 4), "500.00");
    form->Button1->click();
    EXPECT_EQ(Mtu(5, 4), "500.00");
    EXPECT_EQ(form->MtuMaxGapMs[4], 0.0f);
    Receive(4, 1, 1600);
    Tick();
    EXPECT_EQ(Mtu(5, 4), "100.00");
}

TEST_F(MonitorWindow, DinBusBytesAreLowerCaseHexWithoutPrefix)
{
    const uint8_t bytes[][2] = {{1, 0x0A}, {2, 0xFF}, {36, 0x10}, {37, 0x22}, {0, 0x33}};
    for (const auto &byte : bytes)
        Decode(*form, Pdo(GATEWAY_INDEX_DINBUS_BYTE, byte[0], byte[1], 0, 0, 0));
    Tick();
    const TStringGrid *grid = form->AdvStringGrid_DinBus;
    EXPECT_EQ(Cell(grid, 2, 1), "a");
    EXPECT_EQ(Cell(grid, 2, 2), "ff");
    EXPECT_EQ(Cell(grid, 2, 36), "10");
    EXPECT_EQ(Cell(grid, 2, 37), "");
    EXPECT_EQ(Cell(grid, 2, 0), "Value");
    Decode(*form, Pdo(GATEWAY_INDEX_DINBUS_BYTE, 1, 0x00, 0, 0, 0));
    Tick();
    EXPECT_EQ(Cell(grid, 2, 1), "0");
}

TEST_F(MonitorWindow, J1939SlotShowsItsEightBytesOneRowBelow)
{
    Decode(*form, Pdo(0x3403, 1, 1, 2, 3, 4));
    Decode(*form, Pdo(0x3403, 2, 5, 6, 7, 8));
    Decode(*form, Pdo(0x341F, 1, 0xAB, 0, 0, 0));
    Decode(*form, Pdo(0x3420, 1, 0xCD, 0, 0, 0));
    Tick();
    const TStringGrid *grid = form->AdvStringGrid_J1939;
    EXPECT_EQ(Cell(grid, 2, 4), "01 02 03 04 05 06 07 08");
    EXPECT_EQ(Cell(grid, 2, 3), ZERO_BYTES);
    EXPECT_EQ(Cell(grid, 2, 32), "ab 00 00 00 00 00 00 00");
    EXPECT_EQ(Cell(grid, 2, 33), "");
}

TEST_F(MonitorWindow, EveryTextFitsItsControl)
{
    Decode(*form, Pdo(0x3403, 1, 0xAB, 0xCD, 0xEF, 0xAB));
    Decode(*form, Pdo(0x3403, 2, 0xCD, 0xEF, 0xAB, 0xCD));
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 1, 400, 1).data(), StampMsAgo(0));
    Tick();
    // The MTU names keep their column's width; the user widens it to read the long ones.
    ExpectEveryTextFits(form.get(), {{form->AdvStringGrid_MTU_Data, 0}});
}

TEST_F(MonitorWindow, FaultReportsFillRowsOneTo400AndNeverTheHeader)
{
    const TStringGrid *grid = form->AdvStringGrid_MTU_FaultCodes;
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 1, 400, 1).data(), StampMsAgo(0));
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 1, 1, 0x0200).data(), StampMsAgo(0));
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 1, 0, 1).data(), StampMsAgo(0));
    Tick();
    EXPECT_EQ(Cell(grid, 1, 400), "Fault Active");
    EXPECT_EQ(Cell(grid, 1, 1), "Fault Active");
    EXPECT_EQ(Cell(grid, 1, 2), "0");
    EXPECT_EQ(Cell(grid, 1, 0), "Active");
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, 400, 0).data(), StampMsAgo(0));
    Tick();
    EXPECT_EQ(Cell(grid, 1, 400), "0");
}

TEST_F(MonitorWindow, StatusReportsSwitchTheBannerAndItsFlashing)
{
    QLabel *banner = form->StaticText_MTUOffline;
    EXPECT_TRUE(banner->isHidden());
    form->Timer_FlashTimer();
    EXPECT_FALSE(banner->isHidden());
    form->Timer_FlashTimer();
    EXPECT_TRUE(banner->isHidden());
    form->Timer_FlashTimer();

    form->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 0).data(), StampMsAgo(0));
    Tick();
    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Online");
    EXPECT_FALSE(form->Timer_Flash->isActive());
    EXPECT_TRUE(banner->isHidden());

    form->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 0).data(), StampMsAgo(0));
    Tick();
    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Offline!!!!!!!!!!");
    EXPECT_TRUE(form->Timer_Flash->isActive());
}

} // namespace
