// The gateway's two message layouts: the multiplexed transmit PDO (its
// fourth, COB-ID 0x480 + node) and the emergency message (0x80 + node).
//
// PDO: byte 0 the producing node, bytes 1-2 the object index (low byte
// first), byte 3 the sub-index, bytes 4-7 the data field.
//   MTU parameter n:   0x4200 sub n, the 32-bit value little-endian in 4-7.
//   DinBus byte n:     0x3501 sub n, the byte in 4.
//   J1939 slot s:      0x32ss / 0x33ss / 0x34ss for 8-, 16- and 32-bit
//                      elements, sub = element number from 1; the element
//                      sits at the end of the data field (8-bit: byte 7,
//                      16-bit: bytes 6-7, 32-bit: bytes 4-7), its bytes in
//                      the slot's own order.
// EMCY: bytes 0-1 the error code (low byte first), byte 2 the error
// register, byte 3 the report kind (0 MTU state, 1 fault report).
//   MTU state:  code 0x0000 online, 0xFF00 offline.
//   Fault:      code 0xFF00 active, 0x0000 cleared; bytes 4-5 the fault
//               number, bytes 6-7 its state (both little-endian).
#pragma once

#include "GatewayObjects.h"
#include "ProcessImage.h"
#include "protocol/CanFrame.h"

#include <cstdint>
#include <vector>

namespace gatewaysim {

// One thing the multiplexed PDO carries.
struct PdoItem {
    enum class Kind : uint8_t { MtuParameter, DinBusByte, J1939Element };
    Kind kind;
    uint8_t number;   // parameter, byte or slot number
    uint8_t width = 0;   // J1939 element width in bits: 8, 16 or 32
    uint8_t element = 0; // J1939 element number, from 1
};

constexpr bool hasMtu(uint32_t product) { return product == PRODUCT_CODE_MTU_GATEWAY; }

// Each J1939 slot travels in elements of one width: slots 0, 3, 6, ... in
// 32-bit, 1, 4, 7, ... in 8-bit and 2, 5, 8, ... in 16-bit elements, so
// that every width is on the bus.
uint8_t j1939ElementWidth(int slot);

// What the product publishes, in the order a round-robin sends it: the MTU
// gateway its 254 MTU parameters and 36 DinBus bytes, the J1939 gateway its
// 32 J1939 slots and 36 DinBus bytes.
std::vector<PdoItem> publishedItems(uint32_t product);

qelcopn::CanFrame encodePdo(const PdoItem &item, const ProcessImage &image, uint8_t node);
qelcopn::CanFrame mtuStateReport(bool online, uint8_t errorRegister, uint8_t node);
qelcopn::CanFrame faultReport(uint16_t fault, uint16_t state, uint8_t errorRegister, uint8_t node);

// A frame with the given identifier and data bytes (at most 8).
qelcopn::CanFrame makeFrame(uint32_t id, std::initializer_list<uint8_t> bytes);

} // namespace gatewaysim
