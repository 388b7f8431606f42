// Shared by the monitor's tests: the gateway's messages as bytes, and
// reading the window's cells.
#pragma once

#include "Platform.h"
#include "StringGrid.h"
#include "TForm_MTU.h"

#include <array>
#include <cstdint>
#include <string>

namespace monitor_test {

// The low 32 bits of the monotonic counter `msAgo` milliseconds ago, as the
// library stamps what it receives.
inline uint32_t StampMsAgo(int64_t msAgo)
{
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    return uint32_t(uint64_t(now - msAgo * 1000));
}

constexpr uint8_t GATEWAY_NODE = 7;

using Message = std::array<uint8_t, 8>;

// A multiplexed PDO with its data field bytes 4 to 7 as given.
inline Message Pdo(uint16_t index, uint8_t sub, uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7)
{
    return {0xEE, uint8_t(index), uint8_t(index >> 8), sub, b4, b5, b6, b7};
}

// A multiplexed PDO whose data field is a little-endian 32-bit number.
inline Message Pdo(uint16_t index, uint8_t sub, uint32_t value)
{
    return Pdo(index, sub, uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24));
}

inline Message Emergency(uint16_t code, uint8_t kind, uint16_t faultIndex = 0, uint16_t faultState = 0)
{
    return {uint8_t(code), uint8_t(code >> 8), 0xEE, kind, uint8_t(faultIndex), uint8_t(faultIndex >> 8),
            uint8_t(faultState), uint8_t(faultState >> 8)};
}

inline void Decode(TMonitorModel &model, const Message &pdo, uint32_t rxTime1 = 1, uint32_t rxTime2 = 1)
{
    model.DecodePdoData(GATEWAY_NODE, 8, pdo.data(), rxTime1, rxTime2);
}

// The time word of a receipt that lands `ms` after the monitor's creation.
inline uint32_t TicksAfterBase(const TMonitorModel &model, uint32_t ms)
{
    return uint32_t(uint64_t(model.CounterBase)) + uint32_t(model.TicksPerMs) * ms;
}

inline std::string Cell(const TStringGrid *grid, int column, int row) { return grid->Cell(column, row); }

} // namespace monitor_test
