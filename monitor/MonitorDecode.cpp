// The gateway's messages into the model. Runs on the receive threads: every
// store is an atomic one, and each kind's flag is raised after its data.
#include "MonitorModel.h"

#include "Platform.h"
#include "ByteOrder.h"

using qelcopn::readLe16;
using qelcopn::readLe32;

namespace {

constexpr uint8_t PDO_LENGTH = 8;

// The multiplexed PDO: bytes 1-2 the object index, byte 3 the sub-index,
// bytes 4-7 the data field.
constexpr int PDO_INDEX_LOW = 1;
constexpr int PDO_INDEX_HIGH = 2;
constexpr int PDO_SUB_INDEX = 3;
constexpr int PDO_DATA = 4;

// Every element is taken from the end of the data field, bytes as they stand.
void StoreJ1939Element(J1939_PARAMETER &slot, uint8_t width, uint8_t element, const uint8_t *field)
{
    constexpr auto relaxed = std::memory_order_relaxed;
    switch (width) {
    case GATEWAY_INDEX_HIGH_J1939_8BIT:
        if (element >= 1 && element <= 8)
            slot.Data[element - 1].store(field[3], relaxed);
        break;
    case GATEWAY_INDEX_HIGH_J1939_16BIT:
        if (element >= 1 && element <= 4) {
            const int at = 2 * (element - 1);
            slot.Data[at].store(field[2], relaxed);
            slot.Data[at + 1].store(field[3], relaxed);
        }
        break;
    case GATEWAY_INDEX_HIGH_J1939_32BIT:
        if (element >= 1 && element <= 2) {
            const int at = 4 * (element - 1);
            for (int b = 0; b < 4; ++b)
                slot.Data[at + b].store(field[b], relaxed);
        }
        break;
    default:
        break;
    }
}

} // namespace

void TMonitorModel::DecodePdoData(uint8_t /*node: the read was made for the gateway*/, uint8_t length,
                                  const uint8_t *data, uint32_t rxTime1, uint32_t rxTime2)
{
    if (length != PDO_LENGTH || data == nullptr)
        return;
    const uint16_t index = readLe16(data + PDO_INDEX_LOW);
    const uint8_t sub = data[PDO_SUB_INDEX];
    const uint8_t *field = data + PDO_DATA;

    if (index >= GATEWAY_INDEX_J1939_FIRST && index <= GATEWAY_INDEX_J1939_LAST) {
        StoreJ1939Element(J1939Params[index & 0xFF], uint8_t(index >> 8), sub, field);
        // Raised even when the sub-index named no element.
        J1939Changed.store(1, std::memory_order_release);
    } else if (index == GATEWAY_INDEX_MTU_PARAMETER) {
        const uint32_t value = readLe32(field);
        MtuValue[sub].store(int32_t(value), std::memory_order_relaxed);
        MtuRxTime1[sub].store(rxTime1, std::memory_order_relaxed);
        MtuRxTime2[sub].store(rxTime2, std::memory_order_relaxed);
        MtuDataChanged.store(1, std::memory_order_release);
        // One relaxed load keeps the cost for unplotted parameters near nothing.
        if (MtuPlotted[sub].load(std::memory_order_relaxed) != 0)
            TrendQueue.Push({int32_t(value), rxTime2, sub});
    } else if (index == GATEWAY_INDEX_DINBUS_BYTE) {
        DinBusByte[sub].store(field[0], std::memory_order_relaxed);
        DinBusChanged.store(1, std::memory_order_release);
    }
}

void TMonitorModel::DecodeEmergency(uint8_t node, const uint8_t *message, uint32_t rxTime)
{
    if (message == nullptr || node != NodeId.load(std::memory_order_relaxed))
        return;
    const uint16_t code = readLe16(message);
    if (code != GATEWAY_EMCY_MTU_ONLINE && code != GATEWAY_EMCY_MTU_OFFLINE)
        return;
    const uint8_t kind = message[3];
    if (kind == GATEWAY_EMCY_KIND_STATE) {
        const bool online = code == GATEWAY_EMCY_MTU_ONLINE;
        MtuOnline.store(online ? 1 : 0, std::memory_order_relaxed);
        StatusChanged.store(1, std::memory_order_release);
        HistoryFeed.MtuReport(online, rxTime);
    } else if (kind == GATEWAY_EMCY_KIND_FAULT) {
        const uint16_t index = readLe16(message + 4);
        if (index > GATEWAY_FAULT_LAST)
            return;
        const uint16_t state = readLe16(message + 6);
        FaultState[index].store(state, std::memory_order_relaxed);
        FaultsChanged.store(1, std::memory_order_release);
        HistoryFeed.FaultReport(index, state != 0, rxTime);
    }
}
