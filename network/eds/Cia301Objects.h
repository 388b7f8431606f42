// CiA 301's communication objects (0x1000 to 0x1029, and the PDO
// parameters) as a dictionary, for a node without its EDS: their names and
// types, so that a read prints as the object's type says.
#pragma once

#include "eds/ObjectDictionary.h"

namespace network::eds {

// The objects a node may have, arrays with their first entries; a node has
// only some of them.
const ObjectDictionary &cia301Objects();
// Any entry of them, the PDO parameters and mappings included.
std::optional<Entry> cia301Entry(uint16_t index, uint8_t subIndex);

} // namespace network::eds
