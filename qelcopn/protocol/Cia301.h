// CANopen (CiA 301) identifiers and codes used by both ends of the bus: the
// master library and the gateway simulator. Constants only, no I/O.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qelcopn::cia301 {

// Predefined connection set: function code (upper 4 bits of the COB-ID).
constexpr uint32_t COB_NMT = 0x000;
constexpr uint32_t COB_SYNC = 0x080;
constexpr uint32_t COB_EMCY = 0x080; // + node 1..127
constexpr uint32_t COB_TPDO1 = 0x180;
constexpr uint32_t COB_TPDO2 = 0x280;
constexpr uint32_t COB_TPDO3 = 0x380;
constexpr uint32_t COB_TPDO4 = 0x480;
constexpr uint32_t COB_SDO_TX = 0x580; // server to client, + node
constexpr uint32_t COB_SDO_RX = 0x600; // client to server, + node
constexpr uint32_t COB_HEARTBEAT = 0x700; // NMT error control, + node

constexpr uint8_t NODE_ID_MIN = 1;
constexpr uint8_t NODE_ID_MAX = 127;
constexpr bool isNodeId(unsigned node) { return node >= NODE_ID_MIN && node <= NODE_ID_MAX; }

// COB-ID of transmit PDO n (0..3) of a node.
constexpr uint32_t tpdoCobId(unsigned n, uint8_t node) { return COB_TPDO1 + 0x100 * n + node; }
constexpr uint8_t nodeOf(uint32_t cobId) { return uint8_t(cobId & 0x7F); }
constexpr uint32_t functionOf(uint32_t cobId) { return cobId & 0x780; }
constexpr unsigned TPDO_COUNT = 4;
constexpr uint32_t COB_ID_MAX = 0x7FF;
// PDO communication parameter, sub 1: the PDO does not answer a remote request.
constexpr uint32_t COB_ID_NO_RTR = 0x40000000;

// Frames only a node itself sends (its transmit PDOs, SDO replies, EMCY and
// heartbeat), so each one shows that node is alive.
constexpr bool isSentByNode(uint32_t cobId)
{
    if (cobId > COB_ID_MAX || !isNodeId(nodeOf(cobId)))
        return false;
    switch (functionOf(cobId)) {
    case COB_EMCY: case COB_TPDO1: case COB_TPDO2: case COB_TPDO3: case COB_TPDO4:
    case COB_SDO_TX: case COB_HEARTBEAT:
        return true;
    default:
        return false;
    }
}

// The CiA 301 bit rates (bit/s).
constexpr uint32_t BIT_RATES[] = {10000, 20000, 50000, 125000, 250000, 500000, 800000, 1000000};
// The same as the command lines name them to a user.
inline std::vector<std::string> bitRateNames()
{
    std::vector<std::string> names;
    for (uint32_t rate : BIT_RATES)
        names.push_back(std::to_string(rate));
    return names;
}
constexpr bool isBitRate(uint32_t bitsPerSecond)
{
    for (uint32_t rate : BIT_RATES)
        if (rate == bitsPerSecond)
            return true;
    return false;
}

// NMT command specifiers (byte 0 of a COB-ID 0 frame; byte 1 is the node, 0 = all).
enum NmtCommand : uint8_t {
    NMT_START_REMOTE_NODE = 0x01,
    NMT_STOP_REMOTE_NODE = 0x02,
    NMT_ENTER_PRE_OPERATIONAL = 0x80,
    NMT_RESET_NODE = 0x81,
    NMT_RESET_COMMUNICATION = 0x82,
};

// NMT states as a node reports them in its heartbeat (byte 0).
enum NmtState : uint8_t {
    NMT_STATE_BOOTUP = 0x00,
    NMT_STATE_STOPPED = 0x04,
    NMT_STATE_OPERATIONAL = 0x05,
    NMT_STATE_PRE_OPERATIONAL = 0x7F,
};

// SDO command specifiers: the upper 3 bits of byte 0.
namespace sdo {
// client -> server
constexpr uint8_t CCS_DOWNLOAD_SEGMENT = 0;
constexpr uint8_t CCS_INITIATE_DOWNLOAD = 1;
constexpr uint8_t CCS_INITIATE_UPLOAD = 2;
constexpr uint8_t CCS_UPLOAD_SEGMENT = 3;
constexpr uint8_t CS_ABORT = 4;
// server -> client
constexpr uint8_t SCS_UPLOAD_SEGMENT = 0;
constexpr uint8_t SCS_DOWNLOAD_SEGMENT = 1;
constexpr uint8_t SCS_INITIATE_UPLOAD = 2;
constexpr uint8_t SCS_INITIATE_DOWNLOAD = 3;

constexpr uint8_t commandOf(uint8_t byte0) { return uint8_t(byte0 >> 5); }

// Initiate frames: e = expedited, s = size indicated, n = unused bytes (expedited).
constexpr uint8_t FLAG_EXPEDITED = 0x02;
constexpr uint8_t FLAG_SIZE = 0x01;
// Segment frames: t = toggle, c = last segment, n = unused bytes (bits 1..3).
constexpr uint8_t FLAG_TOGGLE = 0x10;
constexpr uint8_t FLAG_LAST = 0x01;

// Abort codes.
enum AbortCode : uint32_t {
    ABORT_TOGGLE = 0x05030000,
    ABORT_TIMEOUT = 0x05040000,
    ABORT_BAD_COMMAND = 0x05040001,
    ABORT_OUT_OF_MEMORY = 0x05040005,
    ABORT_UNSUPPORTED_ACCESS = 0x06010000,
    ABORT_WRITE_ONLY = 0x06010001,
    ABORT_READ_ONLY = 0x06010002,
    ABORT_NO_OBJECT = 0x06020000,
    ABORT_TYPE_MISMATCH = 0x06070010,
    ABORT_TOO_LONG = 0x06070012,
    ABORT_TOO_SHORT = 0x06070013,
    ABORT_NO_SUBINDEX = 0x06090011,
    ABORT_VALUE_RANGE = 0x06090030,
    ABORT_GENERAL = 0x08000000,
};
} // namespace sdo

} // namespace qelcopn::cia301
