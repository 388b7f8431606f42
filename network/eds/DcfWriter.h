// A DCF from an EDS and the values read from the node: the EDS's text as it
// stands, each entry read given its ParameterValue, and the node ID under
// [DeviceComissioning]. Text in, text out.
#pragma once

#include "eds/ObjectDictionary.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace network::eds {

using EntryKey = std::pair<uint16_t, uint8_t>; // index, sub-index
using EntryValues = std::map<EntryKey, Bytes>;

// values: what each entry held, by index and sub-index; entries the EDS
// does not describe are left out.
std::string writeDcf(std::string_view edsText, const ObjectDictionary &dictionary, const EntryValues &values,
                     uint8_t nodeId);

// A value as an EDS or DCF writes it, read back alike by parseValue():
// integers in decimal, reals as numbers, the visible string as it stands,
// octet and unicode strings and domains as hex digits.
std::string fileValue(DataType type, const Bytes &value);

} // namespace network::eds
