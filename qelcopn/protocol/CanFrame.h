// One classic CAN frame with an 11-bit identifier: what the protocol code
// and the transport exchange.
#pragma once

#include <cstdint>

namespace qelcopn {

struct CanFrame {
    uint32_t id = 0;
    uint8_t length = 0;
    uint8_t data[8] = {};
    bool remote = false;
    // An error frame as SocketCAN delivers it: id holds the error class
    // bits (CAN_ERR_*, without CAN_ERR_FLAG), data the details.
    bool error = false;
};

} // namespace qelcopn
