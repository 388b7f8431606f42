// NMT command frames (COB-ID 0: command specifier, node; node 0 = all).
#pragma once

#include "protocol/CanFrame.h"
#include "protocol/Cia301.h"

namespace qelcopn {

inline CanFrame nmtFrame(cia301::NmtCommand command, uint8_t node)
{
    CanFrame frame;
    frame.id = cia301::COB_NMT;
    frame.length = 2;
    frame.data[0] = command;
    frame.data[1] = node;
    return frame;
}

// Node 0 addresses every node; otherwise a CANopen node ID.
constexpr bool isNmtTarget(unsigned node) { return node == 0 || cia301::isNodeId(node); }

} // namespace qelcopn
