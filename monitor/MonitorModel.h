// What the monitor knows about the gateway's data: the values the receive
// threads decode into it, the copies of what the display last drew, the dirty
// flags between the two, and the monitor's settings.
//
// Sharing rule: every item a receive thread writes is an atomic. The decoders
// store values relaxed and then raise the kind's flag with a release store;
// the display takes a flag with an acquire exchange to 0 before it draws, so
// a receipt landing while it draws raises the flag again for the next tick.
// The "Shown" copies and the row bookkeeping belong to the display alone.
#pragma once

#include "GatewayObjects.h"
#include "HistoryFeed.h"
#include "TrendQueue.h"

#include <atomic>
#include <cstdint>
#include <string>

// The MTU values' cell type. A ThreadSanitizer test build swaps in a plain,
// unsynchronised cell to prove the sanitizer reports a decoder store that is
// not atomic; nothing shipped is built that way.
#ifdef TARNWICK_RACY_DECODER_STORE
#include "RacyCell.h"
template <typename T> using TDecoderCell = TRacyCell<T>;
#else
template <typename T> using TDecoderCell = std::atomic<T>;
#endif

constexpr int FAULT_FIRST_ROW = 1;
constexpr int FAULT_LAST_ROW = GATEWAY_FAULT_LAST;
constexpr int FAULT_ENTRIES = 512;
constexpr int J1939_DATA_BYTES = 8;

// A parameter with no value yet holds the gateway's own "Missing Data" mark.
// The text a parameter shows instead of a number when its value is no reading;
// nullptr for a reading.
inline const char *MtuValueMark(int32_t value)
{
    if (value == GATEWAY_MTU_MISSING_DATA)
        return "Missing Data";
    if (value == GATEWAY_MTU_SENSOR_DEFECT)
        return "Sensor Defect";
    return nullptr;
}
// Differs from every value a row can hold after a reset, so the next pass draws it.
constexpr int32_t MTU_VALUE_NEVER_SHOWN = int32_t(0xFFFFFFFFu);

struct J1939_PARAMETER {
    std::atomic<uint8_t> Data[J1939_DATA_BYTES];
    uint8_t DataShown[J1939_DATA_BYTES];
    std::string Text; // carried with the record, never used by the monitor
};

class TMonitorModel {
public:
    TMonitorModel();
    TMonitorModel(const TMonitorModel &) = delete;
    TMonitorModel &operator=(const TMonitorModel &) = delete;

    // Called by the receive threads with each message the library delivered.
    // Constant time; no allocation, no lock, no waiting, nothing drawn.
    void DecodePdoData(uint8_t node, uint8_t length, const uint8_t *data, uint32_t rxTime1, uint32_t rxTime2);
    // rxTime: the receive stamp the library delivered with the message (low
    // 32 bits of the monotonic microsecond counter).
    void DecodeEmergency(uint8_t node, const uint8_t *message, uint32_t rxTime);

    uint8_t MtuRowLocked[256] = {};
    TDecoderCell<int32_t> MtuValue[256];
    int32_t MtuValueShown[256] = {};
    std::atomic<uint32_t> MtuRxTime1[256];
    uint32_t MtuRxTime1Shown[256] = {};
    std::atomic<uint32_t> MtuRxTime2[256];
    uint32_t MtuRxTime2Shown[256] = {};
    float MtuLastRxMs[256] = {};
    float MtuMaxGapMs[256] = {};
    std::atomic<uint16_t> FaultState[FAULT_ENTRIES];
    uint16_t FaultStateShown[FAULT_ENTRIES] = {};
    std::atomic<uint8_t> DinBusByte[256];
    uint8_t DinBusByteShown[256] = {};
    std::atomic<uint8_t> NodeId{0};
    std::atomic<int32_t> MtuOnline{0};
    std::atomic<int32_t> StatusChanged{0};
    std::atomic<int32_t> MtuDataChanged{0};
    std::atomic<int32_t> FaultsChanged{0};
    std::atomic<int32_t> DinBusChanged{0};
    std::atomic<int32_t> J1939Changed{0};
    int64_t CounterFrequency = 0;
    int64_t CounterBase = 0;
    float TicksPerMs = 0.0f;
    std::atomic<int32_t> ListenOnly{0};
    std::atomic<int32_t> ProductCode{0};
    J1939_PARAMETER J1939Params[256];

    // Trends: the decoder hands every value of an MTU parameter whose flag is
    // set to the queue (the PDO thread is its one producer); the trend window
    // sets the flags and drains the queue.
    std::atomic<uint8_t> MtuPlotted[256];
    TTrendQueue TrendQueue;

    // History: the emergency decoder reports every change of a fault or of the
    // MTU state here (the emergency thread is its one producer); the History
    // tab takes the events.
    THistoryFeed HistoryFeed;

    // Display bookkeeping: 1 once row n has shown a real receipt since the
    // monitor was created or Lock Data was last released. Until then the row
    // has no reception time to show and no earlier receipt to measure a gap from.
    uint8_t MtuRowHasReceipt[256] = {};
    // 1 while row n's value column shows a value the display drew, 0 from the
    // monitor's creation and from each release of Lock Data until the next
    // pass draws it: a row whose value was never shown cannot have changed.
    uint8_t MtuValueDrawn[256] = {};
};
