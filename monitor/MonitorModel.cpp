#include "MonitorModel.h"

#include "Platform.h"

namespace {

template <typename Cell, size_t N, typename T> void StoreAll(Cell (&items)[N], T value)
{
    for (Cell &item : items)
        item.store(value, std::memory_order_relaxed);
}

} // namespace

TMonitorModel::TMonitorModel()
{
    // Everything starts at zero; then the starting values.
    StoreAll(MtuValue, int32_t(0));
    StoreAll(MtuRxTime1, uint32_t(0));
    StoreAll(MtuRxTime2, uint32_t(0));
    StoreAll(FaultState, uint16_t(0));
    StoreAll(DinBusByte, uint8_t(0));
    StoreAll(MtuPlotted, uint8_t(0));
    for (J1939_PARAMETER &slot : J1939Params) {
        for (int b = 0; b < J1939_DATA_BYTES; ++b) {
            slot.Data[b].store(0x00, std::memory_order_relaxed);
            slot.DataShown[b] = 0xFF;
        }
    }

    QueryPerformanceFrequency(&CounterFrequency);
    TicksPerMs = float(CounterFrequency) * 0.001f;
    QueryPerformanceCounter(&CounterBase);

    for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n) {
        MtuValue[n].store(GATEWAY_MTU_MISSING_DATA, std::memory_order_relaxed);
        MtuValueShown[n] = MTU_VALUE_NEVER_SHOWN;
        // No receipt yet: the row has no time to show and no gap to measure,
        // so the starting point of the first gap is never used.
        MtuLastRxMs[n] = 0.0f;
        MtuMaxGapMs[n] = 0.0f;
        MtuRowHasReceipt[n] = 0;
    }
    for (int n = FAULT_FIRST_ROW; n <= FAULT_LAST_ROW; ++n)
        FaultStateShown[n] = 1;
    for (int n = GATEWAY_DINBUS_BYTE_FIRST; n <= GATEWAY_DINBUS_BYTE_LAST; ++n)
        DinBusByteShown[n] = 0xFF;
}
