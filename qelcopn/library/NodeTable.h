// The node monitor's view handed across the C interface: the records of
// GetNodeTable and GetEmergencies filled from what the monitor holds.
#pragma once

#include "QEL_COPN.h"
#include "protocol/NodeMonitor.h"

#include <cstdint>

namespace qelcopn {

void fillNodeTable(const NodeMonitor &monitor, int64_t nowMicros, NodeStatus table[QELCOPN_NODE_TABLE_SIZE]);
uint32_t readEmergencies(const EmergencyLog &log, uint64_t *next, EmergencyRecord *records, uint32_t capacity);

} // namespace qelcopn
