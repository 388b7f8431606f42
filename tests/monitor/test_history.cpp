// The event history: what the emergency decoder reports, what the History
// tab shows of it, its bound, and its export as a spreadsheet reads it.
#include "HistoryTab.h"
#include "HistoryTestSupport.h"
#include "MonitorWindowFixture.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

using namespace monitor_test;

namespace {

using History = MonitorWindow;

constexpr int TIME = THistoryTab::COLUMN_TIME;
constexpr int EVENT = THistoryTab::COLUMN_EVENT;
constexpr int CODE = THistoryTab::COLUMN_FAULT_CODE;
constexpr int COUNT = THistoryTab::COLUMN_COUNT;

int64_t ShownMs(const THistoryTab &tab, int row)
{
    return QDateTime::fromString(tab.CellText(row, TIME), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
        .toMSecsSinceEpoch();
}

QStringList ShownRow(const THistoryTab &tab, int row)
{
    QStringList fields;
    for (int column = 0; column < THistoryTab::COLUMNS; ++column)
        fields << tab.CellText(row, column);
    return fields;
}

TEST_F(History, FaultBetweenTwoTicksShowsBothTimesThoughTheTableMissedIt)
{
    Tick();
    const uint32_t active = StampMsAgo(50);
    ReportFault(*form, 23, true, active);
    ReportFault(*form, 23, false, active + 20000);
    Tick();

    // The table samples at the tick and sees nothing; the history saw both.
    EXPECT_EQ(Cell(form->AdvStringGrid_MTU_FaultCodes, 1, 23), "0");
    const THistoryTab &tab = *form->TabSheet_History;
    ASSERT_EQ(tab.Log().Size(), 2u);
    EXPECT_EQ(ShownRow(tab, 0).mid(1), (QStringList{"Fault Cleared", "23", "1"}));
    EXPECT_EQ(ShownRow(tab, 1).mid(1), (QStringList{"Fault Active", "23", "1"}));
    EXPECT_EQ(ShownMs(tab, 0) - ShownMs(tab, 1), 20);
    // Received 50 ms ago, not when the tick took it.
    EXPECT_NEAR(double(QDateTime::currentMSecsSinceEpoch() - ShownMs(tab, 1)), 50.0, 1000.0);
    EXPECT_EQ(form->PageControl1->tabText(4), "History");
}

TEST_F(History, OnlyChangesAreEventsAndCountsFollowActivations)
{
    const uint32_t at = StampMsAgo(10);
    ReportMtu(*form, false, at); // the first report is told, whichever it is
    ReportMtu(*form, false, at);
    ReportMtu(*form, true, at);
    ReportFault(*form, 5, false, at); // inactive was already known
    for (int activation = 0; activation < 3; ++activation) {
        ReportFault(*form, 5, true, at);
        // Another active state of an active fault is no new activation.
        form->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, 5, 2).data(), at);
        ReportFault(*form, 5, false, at);
    }
    ReportFault(*form, 0, true, at);   // no fault code the table shows
    ReportFault(*form, 401, true, at); // dropped by the decoder
    form->DecodeEmergency(GATEWAY_NODE + 1, Emergency(0x0000, 1, 6, 1).data(), at);
    Tick();

    const THistoryTab &tab = *form->TabSheet_History;
    ASSERT_EQ(tab.Log().Size(), 8u);
    const QStringList expected[] = {
        {"Fault Cleared", "5", "3"}, {"Fault Active", "5", "3"}, {"Fault Cleared", "5", "2"},
        {"Fault Active", "5", "2"},  {"Fault Cleared", "5", "1"}, {"Fault Active", "5", "1"},
        {"MTU Online", "", ""},      {"MTU Offline", "", ""}};
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(ShownRow(tab, row).mid(1), expected[row]) << "row " << row;

    // A new network access counts from 0 again, and the state it finds is news.
    form->HistoryFeed.RestartCounts();
    ReportFault(*form, 5, false, at);
    ReportFault(*form, 5, true, at);
    ReportMtu(*form, true, at);
    Tick();
    ASSERT_EQ(tab.Log().Size(), 10u);
    EXPECT_EQ(ShownRow(tab, 0).mid(1), (QStringList{"MTU Online", "", ""}));
    EXPECT_EQ(ShownRow(tab, 1).mid(1), (QStringList{"Fault Active", "5", "1"}));
}

TEST(HistoryBound, OldestDroppedAndSaid)
{
    THistoryFeed feed;
    THistoryTab tab(feed, 5);
    const uint32_t at = StampMsAgo(10);
    for (uint16_t code = 1; code <= 8; ++code)
        feed.FaultReport(code, true, at);
    tab.Drain();
    ASSERT_EQ(tab.Log().Size(), 5u);
    EXPECT_EQ(tab.CellText(0, CODE), "8");
    EXPECT_EQ(tab.CellText(4, CODE), "4");
    EXPECT_EQ(tab.NoticeText(), "5 events. 3 oldest dropped: the history keeps the last 5.");

    // More in one pass than the bound holds: the newest stay.
    for (uint16_t code = 9; code <= 20; ++code)
        feed.FaultReport(code, true, at);
    tab.Drain();
    ASSERT_EQ(tab.Log().Size(), 5u);
    EXPECT_EQ(tab.CellText(0, CODE), "20");
    EXPECT_EQ(tab.CellText(4, CODE), "16");
    EXPECT_EQ(tab.Table()->model()->rowCount(), 5);
    EXPECT_EQ(tab.Log().Dropped(), 15u);
}

TEST(HistoryBound, AFullQueueCountsWhatItLostAndTheTabSaysSo)
{
    THistoryFeed feed(4);
    THistoryTab tab(feed);
    const uint32_t at = StampMsAgo(10);
    for (int i = 0; i < 10; ++i)
        feed.FaultReport(7, i % 2 == 0, at);
    EXPECT_EQ(feed.Lost(), 6u);
    tab.Drain();
    EXPECT_EQ(tab.Log().Size(), 4u);
    EXPECT_EQ(tab.NoticeText(), "4 events. 6 lost: the display fell behind.");
}

// A fault toggled every millisecond for 20 s of stamps, decoded on a thread
// of its own as fast as it goes while the display drains: every change is
// there, in order, with its time; nothing is lost below the queue's size.
TEST_F(History, FaultToggledEveryMillisecondLosesNothing)
{
    constexpr int TOGGLES = 20000;
    const uint32_t first = StampMsAgo(30000);
    std::thread emergency([&] {
        for (int i = 0; i < TOGGLES; ++i)
            ReportFault(*form, 9, i % 2 == 0, first + uint32_t(i) * 1000);
    });
    while (form->TabSheet_History->Log().Size() < size_t(TOGGLES) && form->HistoryFeed.Lost() == 0) {
        Tick();
        std::this_thread::yield();
    }
    emergency.join();
    Tick();

    const THistoryTab &tab = *form->TabSheet_History;
    EXPECT_EQ(form->HistoryFeed.Lost(), 0u);
    ASSERT_EQ(tab.Log().Size(), size_t(TOGGLES));
    for (int row = 0; row < TOGGLES; ++row) {
        const THistoryEntry &entry = tab.Log().Newest(size_t(row));
        const int i = TOGGLES - 1 - row;
        ASSERT_EQ(entry.Kind, i % 2 == 0 ? THistoryKind::FaultActive : THistoryKind::FaultCleared) << row;
        ASSERT_EQ(entry.Count, uint32_t(i / 2 + 1)) << row;
        if (row > 0)
            ASSERT_EQ(tab.Log().Newest(size_t(row - 1)).WallUs - entry.WallUs, 1000) << row;
    }
}

TEST_F(History, ExportReadsBackAsShownOldestFirst)
{
    const uint32_t at = StampMsAgo(500);
    ReportMtu(*form, true, at);
    ReportFault(*form, 17, true, at + 1234);
    ReportFault(*form, 17, false, at + 21234);
    ReportMtu(*form, false, at + 300000);
    Tick();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.csv"));
    QString error;
    ASSERT_TRUE(form->TabSheet_History->ExportTo(path, &error)) << error.toStdString();
    const QList<QStringList> records = ReadCsvWithPython(path);

    const THistoryTab &tab = *form->TabSheet_History;
    ASSERT_EQ(records.size(), 5);
    EXPECT_EQ(records[0], (QStringList{"Time", "Event", "Fault Code", "Count"}));
    for (int row = 0; row < 4; ++row) {
        QStringList shown = ShownRow(tab, 3 - row);
        shown[TIME] = QStringLiteral("ms:%1").arg(ShownMs(tab, 3 - row));
        EXPECT_EQ(records[row + 1], shown) << "record " << row + 1;
    }
}

// Every catalogued row of the four tables, led by its table's name; names
// with commas ("Ventilator 1, Output Current") come back whole.
TEST_F(History, TablesExportReadsBackAsShown)
{
    Receive(2, 10000, 100);
    Receive(63, 0x80000001u, 150);
    Tick();
    Receive(2, 10001, 250);
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, 23, 1).data(), StampMsAgo(0));
    Decode(*form, Pdo(GATEWAY_INDEX_DINBUS_BYTE, 17, 0x0A, 0, 0, 0));
    Decode(*form, Pdo(0x3403, 1, 1, 2, 3, 4));
    Tick();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tables.csv"));
    QString error;
    ASSERT_TRUE(form->ExportTablesTo(path, &error)) << error.toStdString();
    const QList<QStringList> records = ReadCsvWithPython(path);

    struct Table {
        const char *name;
        const TStringGrid *grid;
        int rows;
        std::vector<int> columns; // the grid column of each file column, -1 for none
    };
    const Table tables[] = {
        {"MTU Engine Data", form->AdvStringGrid_MTU_Data, 254, {0, 1, 2, 3, 4, 5}},
        {"MTU Fault Codes", form->AdvStringGrid_MTU_FaultCodes, 400, {0, -1, 1, -1, -1, -1}},
        {"DinBus", form->AdvStringGrid_DinBus, 36, {0, 1, 2, -1, -1, -1}},
        {"J1939 Data", form->AdvStringGrid_J1939, 32, {0, 1, 2, 3, 4, 5}},
    };
    ASSERT_EQ(records.size(), 1 + 254 + 400 + 36 + 32);
    EXPECT_EQ(records[0], (QStringList{"Table", "Number", "Name", "Value", "Hex", "Time Rx", "Largest Gap"}));
    int at = 1;
    for (const Table &table : tables)
        for (int row = 1; row <= table.rows; ++row, ++at) {
            QStringList shown{table.name};
            for (int column : table.columns)
                shown << (column < 0 ? QString() : QString::fromStdString(Cell(table.grid, column, row)));
            ASSERT_EQ(records[at], shown) << table.name << " row " << row;
        }
    // What the rows above hold, so the comparison is not of empty cells.
    EXPECT_EQ(records[2], (QStringList{"MTU Engine Data", "2", "Engine Speed", "10001", "0x00002711", "250.00",
                                       "150.00"}));
    EXPECT_EQ(records[63][2], "Ventilator 1, Output Current");
    EXPECT_EQ(records[63][3], "Sensor Defect");
    EXPECT_EQ(records[254 + 23][3], "Fault Active");
    EXPECT_EQ(records[254 + 400 + 17][3], "a");
}

TEST_F(History, AFailedExportSaysWhyAndLeavesNoFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no-such-folder/history.csv"));
    QString error;
    EXPECT_FALSE(form->TabSheet_History->ExportTo(missing, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(form->ExportTablesTo(missing, &error));
    EXPECT_FALSE(QFile::exists(missing));
}

} // namespace
