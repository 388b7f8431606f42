// What the gateway currently knows of the buses it bridges: the values its
// multiplexed PDO and its emergency messages publish and that its SDO
// objects 0x4210 and 0x4203 serve.
#pragma once

#include <array>
#include <cstdint>

#include "GatewayObjects.h"

namespace gatewaysim {

constexpr int FAULT_BITMAP_BYTES = int(GATEWAY_FAULT_BITMAP_BYTES);
constexpr int FAULT_COUNT = FAULT_BITMAP_BYTES * 8; // faults 0..407

struct ProcessImage {
    std::array<int32_t, 256> mtu{};         // by parameter number 1..254
    std::array<uint8_t, 256> dinBus{};      // by byte number 1..36
    std::array<std::array<uint8_t, 8>, GATEWAY_J1939_SLOTS> j1939{}; // by slot 0..31
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
