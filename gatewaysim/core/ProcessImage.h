// What the gateway currently knows of the buses it bridges: the values its
// multiplexed PDO and its emergency messages publish and that its SDO
// objects 0x4210 and 0x4203 serve.
#pragma once

#include <array>
#include <cstdint>

namespace gatewaysim {

constexpr int MTU_PARAMETER_FIRST = 1;
constexpr int MTU_PARAMETER_LAST = 254;
constexpr int DINBUS_BYTE_FIRST = 1;
constexpr int DINBUS_BYTE_LAST = 36;
constexpr int J1939_SLOTS = 32;
constexpr int FAULT_BITMAP_BYTES = 51;
constexpr int FAULT_COUNT = FAULT_BITMAP_BYTES * 8; // faults 0..407

// MTU values the monitor shows as "Missing Data" and "Sensor Defect".
constexpr int32_t MTU_MISSING_DATA = 0x7FFFFFFF;
constexpr int32_t MTU_SENSOR_DEFECT = int32_t(0x80000001u);

struct ProcessImage {
    std::array<int32_t, 256> mtu{};         // by parameter number 1..254
    std::array<uint8_t, 256> dinBus{};      // by byte number 1..36
    std::array<std::array<uint8_t, 8>, J1939_SLOTS> j1939{}; // by slot 0..31
    bool mtuOnline = false;
    std::array<uint16_t, FAULT_COUNT> faultState{}; // 0 = inactive

    bool anyFaultActive() const
    {
        for (uint16_t state : faultState)
            if (state != 0)
                return true;
        return false;
    }
    // Fault n is bit n mod 8 of byte n div 8.
    std::array<uint8_t, FAULT_BITMAP_BYTES> faultBitmap() const
    {
        std::array<uint8_t, FAULT_BITMAP_BYTES> bitmap{};
        for (int n = 0; n < FAULT_COUNT; ++n)
            if (faultState[n] != 0)
                bitmap[n / 8] |= uint8_t(1u << (n % 8));
        return bitmap;
    }
};

} // namespace gatewaysim
