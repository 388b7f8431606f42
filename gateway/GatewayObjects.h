// What the vehicle gateway is on the bus: its identity, its objects and the
// layout of its multiplexed PDO and emergency messages. The monitor reads
// them, the main window looks for them and the simulator produces them, so
// they are written down once, here.
//
// Multiplexed PDO (COB-ID 0x480 + node, 8 bytes): bytes 1-2 the object index
// (low byte first), byte 3 the sub-index, bytes 4-7 the data field.
// Emergency (COB-ID 0x80 + node): bytes 0-1 the error code (low byte first),
// byte 3 the report kind; a fault report carries the fault number in bytes
// 4-5 and its state in bytes 6-7, both little-endian.
#pragma once

#include <cstdint>

// Identity (object 0x1018).
constexpr uint32_t GATEWAY_VENDOR_ID = 0x141;
constexpr uint32_t PRODUCT_CODE_MTU_GATEWAY = 1101;
constexpr uint32_t PRODUCT_CODE_J1939_GATEWAY = 1104;

// Objects the multiplexed PDO carries.
constexpr uint16_t GATEWAY_INDEX_MTU_PARAMETER = 0x4200; // sub = parameter, value LE in bytes 4-7
constexpr uint16_t GATEWAY_INDEX_DINBUS_BYTE = 0x3501;   // sub = byte number, the byte in byte 4
// J1939 slot s in elements of 8 (0x32ss), 16 (0x33ss) or 32 bits (0x34ss);
// sub = element number from 1; an element sits at the end of the data field.
constexpr uint16_t GATEWAY_INDEX_J1939_FIRST = 0x3200;
constexpr uint16_t GATEWAY_INDEX_J1939_LAST = 0x34FF;
constexpr uint8_t GATEWAY_INDEX_HIGH_J1939_8BIT = 0x32;
constexpr uint8_t GATEWAY_INDEX_HIGH_J1939_16BIT = 0x33;
constexpr uint8_t GATEWAY_INDEX_HIGH_J1939_32BIT = 0x34;

// The multiplexed PDO is the gateway's fourth transmit PDO (number 3 counted
// from 0); a receipt is due at least once a second.
constexpr uint16_t GATEWAY_PDO_NUMBER = 3;
constexpr uint16_t GATEWAY_PDO_RECEIVE_TIMEOUT_MS = 1000;

// Fault numbers run from 1 to 400.
constexpr uint16_t GATEWAY_FAULT_LAST = 400;

// What the gateway bridges: MTU parameters 1 to 254, DinBus bytes 1 to 36 and
// 32 J1939 slots; the monitor's grids have a row for each.
constexpr int GATEWAY_MTU_PARAMETER_FIRST = 1;
constexpr int GATEWAY_MTU_PARAMETER_LAST = 254;
constexpr int GATEWAY_DINBUS_BYTE_FIRST = 1;
constexpr int GATEWAY_DINBUS_BYTE_LAST = 36;
constexpr int GATEWAY_J1939_SLOTS = 32;

// MTU values that are no reading: the monitor shows "Missing Data" and
// "Sensor Defect" instead of a number.
constexpr int32_t GATEWAY_MTU_MISSING_DATA = 0x7FFFFFFF;
constexpr int32_t GATEWAY_MTU_SENSOR_DEFECT = int32_t(0x80000001u);

// Objects read or written by SDO.
constexpr uint16_t GATEWAY_INDEX_MTU_ONLINE = 0x4210;   // u8, nonzero = online
constexpr uint16_t GATEWAY_INDEX_FAULT_BITMAP = 0x4203; // fault n = bit n mod 8 of byte n div 8
constexpr uint32_t GATEWAY_FAULT_BITMAP_BYTES = 51;
constexpr uint16_t GATEWAY_INDEX_TPDO4_COMMUNICATION = 0x1803;
constexpr uint8_t GATEWAY_SUB_EVENT_TIMER = 5; // u16 ms: 10 cyclic, 0 on change
constexpr uint16_t GATEWAY_EVENT_TIMER_CYCLIC_MS = 10;
constexpr uint16_t GATEWAY_EVENT_TIMER_CHANGE_OF_STATE = 0;

// Emergency codes and report kinds.
constexpr uint16_t GATEWAY_EMCY_MTU_ONLINE = 0x0000;
constexpr uint16_t GATEWAY_EMCY_MTU_OFFLINE = 0xFF00;
constexpr uint8_t GATEWAY_EMCY_KIND_STATE = 0;
constexpr uint8_t GATEWAY_EMCY_KIND_FAULT = 1;
