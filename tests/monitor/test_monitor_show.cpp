// Each showing of the monitor: the gateway's online byte and fault bitmap read
// through scripted library slots, the failure paths, and the tabs by product.
// Also the window's own frame: caption, size, timers, tabs, remembered position.
#include "MonitorWindowFixture.h"
#include "QEL_COPN_Interface.h"

#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>

#include <vector>

using namespace monitor_test;

namespace {

// What the scripted library answers, and what it was asked.
struct SdoScript {
    int32_t onlineResult = 1;
    uint8_t onlineByte = 1;
    int32_t bitmapResult = 1;
    std::vector<uint8_t> bitmap;
    uint32_t reportedLength = 0; // 0: the bitmap's size
    int onlineReads = 0;
    int bitmapReads = 0;
    uint8_t node = 0;
    std::vector<std::pair<uint16_t, uint8_t>> objects;
    uint32_t lengthOffered = 0;
    std::vector<int> cursors; // the override cursor's shape at each read, -1 for none
};
SdoScript script;

void NoteCursor()
{
    const QCursor *cursor = QApplication::overrideCursor();
    script.cursors.push_back(cursor != nullptr ? int(cursor->shape()) : -1);
}

int32_t ScriptedUploadUnsigned8(uint32_t, uint8_t node, uint16_t index, uint8_t sub, uint8_t *value)
{
    ++script.onlineReads;
    NoteCursor();
    script.node = node;
    script.objects.emplace_back(index, sub);
    *value = script.onlineResult != 0 ? script.onlineByte : 0xA5;
    return script.onlineResult;
}

int32_t ScriptedUpload(uint32_t, uint8_t node, uint16_t index, uint8_t sub, uint32_t *length, uint8_t *buffer)
{
    ++script.bitmapReads;
    NoteCursor();
    script.node = node;
    script.objects.emplace_back(index, sub);
    script.lengthOffered = *length;
    if (script.bitmapResult == 0) {
        // A failing library may leave anything behind.
        for (uint32_t i = 0; i < *length; ++i)
            buffer[i] = 0xFF;
        *length = 64;
        return 0;
    }
    const uint32_t copied = std::min<uint32_t>(*length, uint32_t(script.bitmap.size()));
    std::copy_n(script.bitmap.begin(), copied, buffer);
    *length = script.reportedLength != 0 ? script.reportedLength : uint32_t(script.bitmap.size());
    return 1;
}

class MonitorShowing : public MonitorWindow {
protected:
    void SetUp() override
    {
        MonitorWindow::SetUp();
        script = SdoScript{};
        copn = std::make_unique<TQEL_COPN_Interface>();
        // Only the two scripted reads exist; nothing else may be called.
#define TARNWICK_NULL_SLOT(name) copn->pfn##name = nullptr;
        QEL_COPN_ENTRY_POINTS(TARNWICK_NULL_SLOT, TARNWICK_NULL_SLOT)
#undef TARNWICK_NULL_SLOT
        copn->pfnSDO_Upload_UNSIGNED8 = ScriptedUploadUnsigned8;
        copn->pfnSDO_Upload = ScriptedUpload;
        CopnInterface = copn.get();
        form->ProductCode = PRODUCT_CODE_MTU_GATEWAY;
    }

    void TearDown() override { CopnInterface = nullptr; }

    bool TabShown(QWidget *page) const { return form->PageControl1->isTabVisible(form->PageControl1->indexOf(page)); }

    std::unique_ptr<TQEL_COPN_Interface> copn;
};

TEST_F(MonitorShowing, ListenOnlySendsNothingAndShowsTheMtuOffline)
{
    form->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 0).data(), StampMsAgo(0));
    Tick();
    ASSERT_EQ(form->StatusText().toStdString(), "MTU Status: Online");
    form->ListenOnly = 1;
    form->FormShow();
    EXPECT_EQ(script.onlineReads + script.bitmapReads, 0);
    EXPECT_EQ(form->MtuOnline.load(), 0);
    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Offline!!!!!!!!!!");
    EXPECT_TRUE(form->Timer_Flash->isActive());
}

TEST_F(MonitorShowing, ReadsTheOnlineByteAndTheBitmapLeastSignificantBitFirst)
{
    script.bitmap.assign(51, 0x00);
    script.bitmap[0] = 0x06;
    script.bitmap[50] = 0x80; // entry 407: beyond the grid, kept in the model
    form->FaultState[3] = 1;
    form->FormShow();

    EXPECT_EQ(script.node, GATEWAY_NODE);
    using Object = std::pair<uint16_t, uint8_t>;
    EXPECT_EQ(script.objects, (std::vector<Object>{{0x4210, 0}, {0x4203, 0}}));
    EXPECT_EQ(script.lengthOffered, 256u);
    // A silent gateway makes each read wait: the hourglass says so, and goes.
    EXPECT_EQ(script.cursors, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form->MtuOnline.load(), 1);
    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Online");
    EXPECT_EQ(form->FaultState[0].load(), 0);
    EXPECT_EQ(form->FaultState[1].load(), 1);
    EXPECT_EQ(form->FaultState[2].load(), 1);
    for (int n = 3; n <= 7; ++n)
        EXPECT_EQ(form->FaultState[n].load(), 0) << n;
    EXPECT_EQ(form->FaultState[407].load(), 1);
    // The showing draws at once and raises no flag.
    const TStringGrid *grid = form->AdvStringGrid_MTU_FaultCodes;
    EXPECT_EQ(Cell(grid, 1, 1), "Fault Active");
    EXPECT_EQ(Cell(grid, 1, 2), "Fault Active");
    EXPECT_EQ(Cell(grid, 1, 3), "0");
    EXPECT_EQ(form->FaultsChanged.load(), 0);

    script.onlineByte = 0;
    form->FormShow();
    EXPECT_EQ(form->MtuOnline.load(), 0);
    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Offline!!!!!!!!!!");
}

TEST_F(MonitorShowing, FailedReadsChangeNeitherTheOnlineStateNorAnyFault)
{
    form->MtuOnline = 1;
    form->FaultState[5] = 1;
    form->FaultState[9] = 0;
    script.onlineResult = 0;
    script.bitmapResult = 0;
    form->FormShow();
    EXPECT_EQ(script.onlineReads, 1);
    EXPECT_EQ(script.bitmapReads, 1);
    EXPECT_EQ(form->MtuOnline.load(), 1);
    for (int n = 0; n < FAULT_ENTRIES; ++n)
        ASSERT_EQ(form->FaultState[n].load(), n == 5 ? 1 : 0) << n;
    EXPECT_EQ(Cell(form->AdvStringGrid_MTU_FaultCodes, 1, 5), "Fault Active");
}

TEST_F(MonitorShowing, LongBitmapFillsTheTableAndNothingBeyondIt)
{
    script.bitmap.assign(256, 0xFF);
    form->FormShow();
    for (int n = 0; n < FAULT_ENTRIES; ++n)
        ASSERT_EQ(form->FaultState[n].load(), 1) << n;
    // The display's copies lie right behind the table.
    for (int n = FAULT_LAST_ROW + 1; n < FAULT_ENTRIES; ++n)
        ASSERT_EQ(form->FaultStateShown[n], 0) << n;
    EXPECT_EQ(form->DinBusByte[0].load(), 0);
    EXPECT_EQ(Cell(form->AdvStringGrid_MTU_FaultCodes, 1, 400), "Fault Active");
    EXPECT_EQ(Cell(form->AdvStringGrid_MTU_FaultCodes, 1, 0), "Active");

    // A length beyond the buffer is taken as the buffer.
    script.bitmap.assign(256, 0x00);
    script.reportedLength = 100000;
    form->FormShow();
    for (int n = 0; n < FAULT_ENTRIES; ++n)
        ASSERT_EQ(form->FaultState[n].load(), 0) << n;
}

TEST_F(MonitorShowing, WithoutTheInterfaceNothingIsRead)
{
    CopnInterface = nullptr;
    form->MtuOnline = 1;
    form->FaultState[1] = 1;
    form->FormShow();
    EXPECT_EQ(form->MtuOnline.load(), 1);
    EXPECT_EQ(form->FaultState[1].load(), 1);
    EXPECT_EQ(form->StatusText().toStdString(), "MTU Status: Online");
}

TEST_F(MonitorShowing, TabsFollowTheProductCode)
{
    // Designed with "J1939 Data" up; an MTU gateway opens on its engine data.
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet_J1939);
    form->FormShow();
    EXPECT_TRUE(TabShown(form->TabSheet_MTU_Data));
    EXPECT_TRUE(TabShown(form->TabSheet_MTU_Faults));
    EXPECT_TRUE(TabShown(form->TabSheet_Dinbus));
    EXPECT_FALSE(TabShown(form->TabSheet_J1939));
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet_MTU_Data);

    form->ProductCode = PRODUCT_CODE_J1939_GATEWAY;
    form->FormShow();
    EXPECT_FALSE(TabShown(form->TabSheet_MTU_Data));
    EXPECT_FALSE(TabShown(form->TabSheet_MTU_Faults));
    EXPECT_TRUE(TabShown(form->TabSheet_Dinbus));
    EXPECT_TRUE(TabShown(form->TabSheet_J1939));
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet_J1939);

    // Any other code leaves the tabs as they were.
    form->ProductCode = 0;
    form->FormShow();
    EXPECT_FALSE(TabShown(form->TabSheet_MTU_Data));
    EXPECT_TRUE(TabShown(form->TabSheet_J1939));
}

TEST_F(MonitorShowing, OnlyTheMtuGatewayDrawsAtTheShowing)
{
    for (int32_t product : {0, int32_t(PRODUCT_CODE_J1939_GATEWAY)}) {
        // A first showing without a product keeps all four tabs.
        auto fresh = std::make_unique<TForm_MTU>();
        fresh->Timer1->stop();
        fresh->ProductCode = product;
        script.bitmap.assign(51, 0x00);
        script.bitmap[0] = 0x02;
        script.onlineByte = 1;
        fresh->FormShow();
        EXPECT_EQ(fresh->FaultState[1].load(), 1);
        EXPECT_EQ(Cell(fresh->AdvStringGrid_MTU_FaultCodes, 1, 1), "0") << product;
        EXPECT_EQ(fresh->StatusText().toStdString(), "MTU Status: Offline!!!!!!!!!!") << product;
        if (product == 0) {
            for (int tab = 0; tab < 4; ++tab)
                EXPECT_TRUE(fresh->PageControl1->isTabVisible(tab)) << tab;
        }
    }
}

TEST_F(MonitorShowing, ShowingTheWindowRunsTheShowHandler)
{
    form->show();
    EXPECT_EQ(script.onlineReads, 1);
    EXPECT_EQ(script.bitmapReads, 1);
    form->Button_Close->click();
    EXPECT_TRUE(form->isHidden());
    form->show();
    EXPECT_EQ(script.onlineReads, 2);
    form->hide();
}

TEST_F(MonitorWindow, PositionIsKeptInItsOwnIniSectionAndTheDisplayRunsFromCreation)
{
    TForm_MTU created;
    EXPECT_TRUE(created.Timer1->isActive());

    form->move(123, 45);
    form.reset();
    QSettings ini(QStringLiteral("FORM.INI"), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Form_MTU/Left")).toInt(), 123);
    EXPECT_EQ(ini.value(QStringLiteral("Form_MTU/Top")).toInt(), 45);
    TForm_MTU again;
    EXPECT_EQ(again.pos(), QPoint(123, 45));
}

} // namespace
