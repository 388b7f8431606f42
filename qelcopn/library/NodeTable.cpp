#include "library/NodeTable.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qelcopn {

namespace {

// Milliseconds since a stamp, saturated below "never".
uint32_t ageMs(int64_t stamp, int64_t nowMicros)
{
    if (stamp == 0)
        return QELCOPN_NEVER_HEARD;
    const int64_t ms = std::max<int64_t>(nowMicros - stamp, 0) / 1000;
    return uint32_t(std::min<int64_t>(ms, QELCOPN_NEVER_HEARD - 1));
}

} // namespace

void fillNodeTable(const NodeMonitor &monitor, int64_t nowMicros, NodeStatus table[QELCOPN_NODE_TABLE_SIZE])
{
    std::memset(table, 0, sizeof(NodeStatus) * QELCOPN_NODE_TABLE_SIZE);
    table[0].State = QELCOPN_NODE_STATE_UNKNOWN;
    table[0].SilentMs = table[0].LastEmergencyAgeMs = QELCOPN_NEVER_HEARD;
    for (unsigned node = 1; node < QELCOPN_NODE_TABLE_SIZE; ++node) {
        const NodeMonitor::View v = monitor.view(uint8_t(node), nowMicros);
        NodeStatus &entry = table[node];
        entry.Heard = v.heard ? 1 : 0;
        entry.State = v.state;
        entry.Lost = v.lost ? 1 : 0;
        entry.HeartbeatPeriodMs = uint32_t(v.heartbeatPeriodMicros / 1000);
        entry.SilentMs = ageMs(v.lastHeardMicros, nowMicros);
        entry.Emergencies = v.emergencies;
        entry.LastEmergencyAgeMs = ageMs(v.lastEmergencyMicros, nowMicros);
        std::memcpy(entry.LastEmergency, v.lastEmergency, sizeof entry.LastEmergency);
    }
}

uint32_t readEmergencies(const EmergencyLog &log, uint64_t *next, EmergencyRecord *records, uint32_t capacity)
{
    // Copied out under the log's lock in one go, converted outside it.
    std::vector<EmergencyEntry> entries(std::min<size_t>(capacity, EmergencyLog::kCapacity));
    const size_t count = log.read(*next, entries.data(), entries.size(), next);
    for (size_t k = 0; k < count; ++k) {
        EmergencyRecord &record = records[k];
        std::memset(&record, 0, sizeof record);
        record.Sequence = entries[k].sequence;
        record.RxTime = uint64_t(entries[k].rxMicros);
        record.Node = entries[k].node;
        record.Length = entries[k].length;
        std::memcpy(record.Data, entries[k].data, sizeof record.Data);
    }
    return uint32_t(count);
}

} // namespace qelcopn
