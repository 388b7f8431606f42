// The table scenario's values as docs/simulator.md writes them down:
// tests compare what the gateway sends with these, not with its own code.
#pragma once

#include <array>
#include <cstdint>
#include <map>

namespace gatewaysim::testing {

inline int32_t tableMtuValue(int parameter)
{
    static const std::map<int, int32_t> listed = {
        {2, 1500}, {5, 600},   {6, 1800}, {22, 4500}, {50, 3600000},       {54, 1},          {82, 276},
        {89, 1234567}, {92, 85}, {108, -12}, {120, 0x7FFFFFFF}, {121, int32_t(0x80000001u)}, {254, 0x12345678},
    };
    const auto it = listed.find(parameter);
    return it != listed.end() ? it->second : 100 * parameter;
}

inline uint8_t tableDinBusByte(int n)
{
    if (n == 10)
        return 0x0A;
    if (n == 23)
        return 0x00;
    return uint8_t(0xA0 + n);
}

inline std::array<uint8_t, 8> tableJ1939Slot(int slot)
{
    if (slot == 0)
        return {0xFF, 0xFF, 0xFF, 0xE0, 0x2E, 0xFF, 0xFF, 0xFF};
    std::array<uint8_t, 8> data{};
    for (int i = 0; i < 8; ++i)
        data[i] = uint8_t(8 * slot + i);
    return data;
}

inline const std::map<int, uint16_t> &tableFaults()
{
    static const std::map<int, uint16_t> faults = {{1, 1}, {2, 1}, {17, 3}, {255, 1}, {400, 1}};
    return faults;
}

} // namespace gatewaysim::testing
