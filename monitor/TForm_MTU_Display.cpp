// Drawing the model: the 100 ms dispatch, the five display routines, row
// colours, Lock Data, and what each showing reads from the gateway.
//
// Each routine loads an entry once, formats from that local and copies the
// same local into the shown copy, so an entry that changes meanwhile is never
// taken as shown without being drawn.
#include "TForm_MTU.h"

#include "HistoryTab.h"
#include "OverrideCursor.h"
#include "QEL_COPN_Interface.h"
#include "StringGrid.h"

#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

constexpr uint32_t FAULT_BITMAP_BUFFER = 256;

constexpr int MTU_COLUMN_NUMBER = 0;
constexpr int MTU_COLUMN_VALUE = 2;
constexpr int MTU_COLUMN_HEX = 3;
constexpr int MTU_COLUMN_TIME = 4;
constexpr int MTU_COLUMN_MAX_GAP = 5;
constexpr int FAULT_COLUMN_STATE = 1;
constexpr int DINBUS_COLUMN_VALUE = 2;
constexpr int J1939_COLUMN_VALUE = 2;

const QColor LOCKED_ROW_COLOUR(0xFF, 0x00, 0x00);

// Room for any cell text these routines format.
using CellText = char[32];

// An acquire exchange: clears the flag before its routine draws, so a receipt
// that lands meanwhile raises it again for the next tick.
bool TakeFlag(std::atomic<int32_t> &flag) { return flag.exchange(0, std::memory_order_acquire) != 0; }

void FormatValue(CellText &text, int32_t value)
{
    if (const char *mark = MtuValueMark(value))
        std::snprintf(text, sizeof text, "%s", mark);
    else
        std::snprintf(text, sizeof text, "%ld", long(value));
}

void FormatHex(CellText &text, const char *format, int32_t value)
{
    std::snprintf(text, sizeof text, format, static_cast<unsigned long>(uint32_t(value)));
}

// Blank when the row has no receipt to take a time from.
void FormatMs(CellText &text, bool present, float ms)
{
    if (present)
        std::snprintf(text, sizeof text, "%.02f", double(ms));
    else
        text[0] = '\0';
}

} // namespace

void TForm_MTU::Timer1Timer()
{
    if (TakeFlag(FaultsChanged))
        DisplayFaultCodes();
    if (TakeFlag(MtuDataChanged))
        DisplayMtuData();
    if (TakeFlag(StatusChanged))
        DisplayStatus();
    if (TakeFlag(DinBusChanged))
        DisplayDinBus();
    if (TakeFlag(J1939Changed))
        DisplayJ1939Data();
    TabSheet_History->Drain();
}

void TForm_MTU::DisplayFaultCodes()
{
    // Row 0 is the header: entry 0 is kept in the model but never drawn.
    for (int n = FAULT_FIRST_ROW; n <= FAULT_LAST_ROW; ++n) {
        const uint16_t state = FaultState[n].load(relaxed);
        if (state == FaultStateShown[n])
            continue;
        AdvStringGrid_MTU_FaultCodes->SetCell(FAULT_COLUMN_STATE, n, state != 0 ? "Fault Active" : "0");
        FaultStateShown[n] = state;
    }
}

float TForm_MTU::ReceptionMs(uint32_t rxTime2) const
{
    if (TicksPerMs == 0.0f)
        return 0.0f;
    // Wraps with the counter's low 32 bits, as the time words do.
    const uint32_t ticks = rxTime2 - uint32_t(uint64_t(CounterBase));
    return float(ticks) / TicksPerMs;
}

void TForm_MTU::RepaintRowColour(int row)
{
    AdvStringGrid_MTU_Data->InvalidateRow(row);
    AdvStringGrid_J1939->InvalidateRow(row);
}

void TForm_MTU::DisplayMtuData()
{
    TStringGrid *grid = AdvStringGrid_MTU_Data;
    const bool lockData = CheckBox_DataLocked->isChecked();
    CellText text;
    for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n) {
        const int32_t value = MtuValue[n].load(relaxed);
        const uint32_t rxTime1 = MtuRxTime1[n].load(relaxed);
        const uint32_t rxTime2 = MtuRxTime2[n].load(relaxed);
        // A receipt shows through its time words, even with the same value.
        const bool newReceipt = rxTime1 != MtuRxTime1Shown[n] || rxTime2 != MtuRxTime2Shown[n];
        if (value == MtuValueShown[n] && !newReceipt)
            continue;
        const bool hasTime = newReceipt || MtuRowHasReceipt[n] != 0;
        const float ms = ReceptionMs(rxTime2);

        if (lockData && MtuValueDrawn[n] != 0 && value != MtuValueShown[n]) {
            // Frozen: column 2 keeps the value from before the change, and the
            // shown copies stay so that later receipts land here again.
            std::snprintf(text, sizeof text, "DS=0x%08lx", static_cast<unsigned long>(uint32_t(MtuValueShown[n])));
            grid->SetCell(MTU_COLUMN_VALUE, n, text);
            FormatHex(text, "0x%08lx", value);
            grid->SetCell(MTU_COLUMN_HEX, n, text);
            FormatMs(text, hasTime, ms);
            grid->SetCell(MTU_COLUMN_TIME, n, text);
            if (MtuRowLocked[n] == 0) {
                MtuRowLocked[n] = 1;
                RepaintRowColour(n);
            }
            continue;
        }
        if (MtuRowLocked[n] != 0)
            continue;

        FormatValue(text, value);
        grid->SetCell(MTU_COLUMN_VALUE, n, text);
        FormatHex(text, "0x%08lx", value);
        grid->SetCell(MTU_COLUMN_HEX, n, text);
        FormatMs(text, hasTime, ms);
        grid->SetCell(MTU_COLUMN_TIME, n, text);
        if (hasTime) {
            // The first receipt has nothing before it to measure a gap from.
            if (MtuRowHasReceipt[n] != 0) {
                const float gap = ms - MtuLastRxMs[n];
                if (gap > MtuMaxGapMs[n]) {
                    MtuMaxGapMs[n] = gap;
                    FormatMs(text, true, gap);
                    grid->SetCell(MTU_COLUMN_MAX_GAP, n, text);
                }
            }
            MtuLastRxMs[n] = ms;
            MtuRowHasReceipt[n] = 1;
        }
        MtuValueShown[n] = value;
        MtuValueDrawn[n] = 1;
        MtuRxTime2Shown[n] = rxTime2;
        MtuRxTime1Shown[n] = rxTime1;
    }
}

void TForm_MTU::DisplayStatus()
{
    if (MtuOnline.load(relaxed) != 0) {
        Timer_Flash->stop();
        StaticText_MTUOffline->hide();
        StatusPanel_->setText(QStringLiteral("MTU Status: Online"));
    } else {
        if (!Timer_Flash->isActive())
            Timer_Flash->start();
        StatusPanel_->setText(QStringLiteral("MTU Status: Offline!!!!!!!!!!"));
    }
}

void TForm_MTU::DisplayDinBus()
{
    CellText text;
    for (int n = GATEWAY_DINBUS_BYTE_FIRST; n <= GATEWAY_DINBUS_BYTE_LAST; ++n) {
        const uint8_t byte = DinBusByte[n].load(relaxed);
        if (byte == DinBusByteShown[n])
            continue;
        std::snprintf(text, sizeof text, "%x", unsigned(byte));
        AdvStringGrid_DinBus->SetCell(DINBUS_COLUMN_VALUE, n, text);
        DinBusByteShown[n] = byte;
    }
}

void TForm_MTU::DisplayJ1939Data()
{
    CellText text;
    for (int s = 0; s < GATEWAY_J1939_SLOTS; ++s) {
        J1939_PARAMETER &slot = J1939Params[s];
        uint8_t data[J1939_DATA_BYTES];
        for (int b = 0; b < J1939_DATA_BYTES; ++b)
            data[b] = slot.Data[b].load(relaxed);
        if (std::memcmp(data, slot.DataShown, sizeof data) == 0)
            continue;
        std::snprintf(text, sizeof text, "%02x %02x %02x %02x %02x %02x %02x %02x", data[0], data[1], data[2],
                      data[3], data[4], data[5], data[6], data[7]);
        AdvStringGrid_J1939->SetCell(J1939_COLUMN_VALUE, s + 1, text);
        std::memcpy(slot.DataShown, data, sizeof data);
    }
}

QColor TForm_MTU::AdvStringGrid_MTU_DataGetCellColor(int row, int /*column*/) const
{
    // The J1939 grid asks here too, so its rows follow the MTU rows' flags.
    if (row >= 0 && row < int(std::size(MtuRowLocked)) && MtuRowLocked[row] == 1)
        return LOCKED_ROW_COLOUR;
    return AdvStringGrid_MTU_Data->palette().color(QPalette::Base);
}

void TForm_MTU::CheckBox_DataLockedClick()
{
    // Checking freezes nothing yet: the next pass does, row by row.
    if (CheckBox_DataLocked->isChecked())
        return;
    for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n) {
        MtuValue[n].store(GATEWAY_MTU_MISSING_DATA, relaxed);
        MtuValueShown[n] = MTU_VALUE_NEVER_SHOWN;
        MtuRxTime2[n].store(0, relaxed);
        MtuRxTime2Shown[n] = 0;
        MtuRowLocked[n] = 0;
        MtuValueDrawn[n] = 0;
        // Receipts taken before the release are not the row's: until the next
        // one it has no time to show and no gap to measure. Taking the first
        // time word as seen (after the resets above) keeps a receipt that lands
        // from now on recognisable.
        MtuRowHasReceipt[n] = 0;
        MtuRxTime1Shown[n] = MtuRxTime1[n].load(relaxed);
        char text[16];
        std::snprintf(text, sizeof text, "%d", n);
        AdvStringGrid_MTU_Data->SetCell(MTU_COLUMN_NUMBER, n, text);
    }
    AdvStringGrid_MTU_Data->InvalidateAll();
    AdvStringGrid_J1939->InvalidateAll();
}

void TForm_MTU::ReadGatewayState()
{
    if (ListenOnly.load(relaxed) != 0) {
        // Listen-only: nothing may be sent to the gateway.
        MtuOnline.store(0, relaxed);
        return;
    }
    if (CopnInterface == nullptr)
        return;
    const uint8_t node = NodeId.load(relaxed);
    uint8_t online = 0;
    if (CopnInterface->SDO_Upload_UNSIGNED8(node, GATEWAY_INDEX_MTU_ONLINE, 0, &online) != 0)
        MtuOnline.store(online != 0 ? 1 : 0, relaxed);

    uint8_t bitmap[FAULT_BITMAP_BUFFER] = {};
    uint32_t length = FAULT_BITMAP_BUFFER;
    // A failed read received nothing, so it changes no fault state.
    if (CopnInterface->SDO_Upload(node, GATEWAY_INDEX_FAULT_BITMAP, 0, &length, bitmap) == 0)
        return;
    // Bits beyond the table (a bitmap over 64 bytes) have no entry to go to.
    const uint32_t bits = std::min<uint32_t>(std::min(length, FAULT_BITMAP_BUFFER) * 8, FAULT_ENTRIES);
    for (uint32_t entry = 0; entry < bits; ++entry)
        FaultState[entry].store((bitmap[entry / 8] >> (entry % 8)) & 1, relaxed);
}

void TForm_MTU::ShowTabsForProduct(int32_t productCode)
{
    const bool mtu = productCode == int32_t(PRODUCT_CODE_MTU_GATEWAY);
    const QWidget *before = PageControl1->currentWidget();
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet_MTU_Data), mtu);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet_MTU_Faults), mtu);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet_J1939), !mtu);
    // When the page that was up has just been hidden, open on the gateway's own data.
    if (!PageControl1->isTabVisible(PageControl1->indexOf(const_cast<QWidget *>(before))))
        PageControl1->setCurrentWidget(mtu ? TabSheet_MTU_Data : TabSheet_J1939);
}

void TForm_MTU::FormShow()
{
    {
        // Two reads that can take a second each on a silent gateway.
        THourglassCursor hourglass;
        ReadGatewayState();
    }
    const int32_t productCode = ProductCode.load(relaxed);
    if (productCode == int32_t(PRODUCT_CODE_MTU_GATEWAY)) {
        ShowTabsForProduct(productCode);
        DisplayFaultCodes();
        DisplayMtuData();
        DisplayStatus();
    } else if (productCode == int32_t(PRODUCT_CODE_J1939_GATEWAY)) {
        ShowTabsForProduct(productCode);
    }
    // Any other code leaves the tabs as they are; "DinBus" is always there.
}
