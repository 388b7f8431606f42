// What the SDO server reads and writes: a node's object dictionary. Each
// call answers 0 or the CiA 301 abort code that tells the client why not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gatewaysim {

class ObjectAccess {
public:
    virtual ~ObjectAccess() = default;
    virtual uint32_t read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value) = 0;
    // Whether the entry exists and may be written, before any data arrives.
    virtual uint32_t probeWrite(uint16_t index, uint8_t sub) = 0;
    // size: in, the bytes at hand; out, the bytes the entry took.
    // sizeIndicated false: the client did not say how long its data is, so
    // the entry takes the bytes it needs from the front of data.
    virtual uint32_t write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated) = 0;
};

} // namespace gatewaysim
