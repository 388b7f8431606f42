#include "eds/Cia301Objects.h"

#include <algorithm>

namespace network::eds {

namespace {

using T = DataType;
using A = Access;

struct Row {
    uint16_t index;
    uint8_t firstSub; // 0 for a variable; 1 for the entries of an array or record
    uint8_t lastSub;
    T type;
    A access;
    const char *name;
};

// Arrays and records get their sub-index 0 ("Highest sub-index supported")
// added below.
constexpr Row ROWS[] = {
    {0x1000, 0, 0, T::Unsigned32, A::ReadOnly, "Device type"},
    {0x1001, 0, 0, T::Unsigned8, A::ReadOnly, "Error register"},
    {0x1002, 0, 0, T::Unsigned32, A::ReadOnly, "Manufacturer status register"},
    {0x1003, 1, 254, T::Unsigned32, A::ReadOnly, "Pre-defined error field"},
    {0x1005, 0, 0, T::Unsigned32, A::ReadWrite, "COB-ID SYNC message"},
    {0x1006, 0, 0, T::Unsigned32, A::ReadWrite, "Communication cycle period"},
    {0x1007, 0, 0, T::Unsigned32, A::ReadWrite, "Synchronous window length"},
    {0x1008, 0, 0, T::VisibleString, A::Constant, "Manufacturer device name"},
    {0x1009, 0, 0, T::VisibleString, A::Constant, "Manufacturer hardware version"},
    {0x100A, 0, 0, T::VisibleString, A::Constant, "Manufacturer software version"},
    {0x100C, 0, 0, T::Unsigned16, A::ReadWrite, "Guard time"},
    {0x100D, 0, 0, T::Unsigned8, A::ReadWrite, "Life time factor"},
    {0x1010, 1, 127, T::Unsigned32, A::ReadWrite, "Store parameters"},
    {0x1011, 1, 127, T::Unsigned32, A::ReadWrite, "Restore default parameters"},
    {0x1012, 0, 0, T::Unsigned32, A::ReadWrite, "COB-ID time stamp object"},
    {0x1013, 0, 0, T::Unsigned32, A::ReadWrite, "High resolution time stamp"},
    {0x1014, 0, 0, T::Unsigned32, A::ReadWrite, "COB-ID EMCY"},
    {0x1015, 0, 0, T::Unsigned16, A::ReadWrite, "Inhibit time EMCY"},
    {0x1016, 1, 127, T::Unsigned32, A::ReadWrite, "Consumer heartbeat time"},
    {0x1017, 0, 0, T::Unsigned16, A::ReadWrite, "Producer heartbeat time"},
    {0x1018, 1, 1, T::Unsigned32, A::ReadOnly, "Vendor-ID"},
    {0x1018, 2, 2, T::Unsigned32, A::ReadOnly, "Product code"},
    {0x1018, 3, 3, T::Unsigned32, A::ReadOnly, "Revision number"},
    {0x1018, 4, 4, T::Unsigned32, A::ReadOnly, "Serial number"},
    {0x1019, 0, 0, T::Unsigned8, A::ReadWrite, "Synchronous counter overflow value"},
    {0x1029, 1, 254, T::Unsigned8, A::ReadWrite, "Error behavior"},
};

// The PDO parameters, the same for each of the 512 PDOs.
constexpr Row COMMUNICATION[] = {
    {0, 1, 1, T::Unsigned32, A::ReadWrite, "COB-ID"},
    {0, 2, 2, T::Unsigned8, A::ReadWrite, "Transmission type"},
    {0, 3, 3, T::Unsigned16, A::ReadWrite, "Inhibit time"},
    {0, 5, 5, T::Unsigned16, A::ReadWrite, "Event timer"},
    {0, 6, 6, T::Unsigned8, A::ReadWrite, "SYNC start value"},
};

void add(std::vector<Entry> &entries, uint16_t index, uint8_t sub, T type, A access, std::string name)
{
    Entry entry;
    entry.index = index;
    entry.subIndex = sub;
    entry.type = type;
    entry.access = access;
    entry.name = std::move(name);
    entries.push_back(std::move(entry));
}

// Arrays list their first entries only: a node seldom has more, and the
// rest are found by entryOf().
constexpr unsigned LISTED_ARRAY_ENTRIES = 4;

std::string entryName(const Row &row, unsigned sub)
{
    return row.lastSub > row.firstSub ? std::string(row.name) + " " + std::to_string(sub) : row.name;
}

ObjectDictionary build()
{
    ObjectDictionary dictionary;
    std::vector<Entry> &entries = dictionary.entries;
    for (const Row &row : ROWS) {
        if (row.firstSub == 1 && (entries.empty() || entries.back().index != row.index))
            add(entries, row.index, 0, T::Unsigned8, A::ReadOnly, "Highest sub-index supported");
        const unsigned last = std::min<unsigned>(row.lastSub, row.firstSub + LISTED_ARRAY_ENTRIES - 1);
        for (unsigned sub = row.firstSub; sub <= last; ++sub)
            add(entries, row.index, uint8_t(sub), row.type, row.access, entryName(row, sub));
    }
    return dictionary;
}

} // namespace

const ObjectDictionary &cia301Objects()
{
    static const ObjectDictionary dictionary = build();
    return dictionary;
}

std::optional<Entry> cia301Entry(uint16_t index, uint8_t subIndex)
{
    std::vector<Entry> found;
    const auto highest = [&] { add(found, index, 0, T::Unsigned8, A::ReadOnly, "Highest sub-index supported"); };
    if (index >= 0x1400 && index < 0x1C00) {
        const bool mapping = (index & 0x0200) != 0;
        if (subIndex == 0)
            highest();
        else if (mapping && subIndex <= 64)
            add(found, index, subIndex, T::Unsigned32, A::ReadWrite, "Mapped object " + std::to_string(subIndex));
        for (const Row &row : COMMUNICATION)
            if (!mapping && row.firstSub == subIndex)
                add(found, index, subIndex, row.type, row.access, row.name);
    }
    for (const Row &row : ROWS) {
        if (row.index != index)
            continue;
        if (row.firstSub == 1 && subIndex == 0)
            highest();
        else if (subIndex >= row.firstSub && subIndex <= row.lastSub)
            add(found, index, subIndex, row.type, row.access, entryName(row, subIndex));
    }
    if (found.empty())
        return std::nullopt;
    return found.front();
}

} // namespace network::eds
