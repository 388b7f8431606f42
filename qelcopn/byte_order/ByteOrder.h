// CANopen puts every multi-byte value on the bus low byte first; the
// library's records that carry such values keep that order too.
#pragma once

#include <cstdint>

namespace qelcopn {

inline uint16_t readLe16(const uint8_t *at) { return uint16_t(at[0] | at[1] << 8); }

inline uint32_t readLe32(const uint8_t *at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

} // namespace qelcopn
