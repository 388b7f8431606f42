// The extra nodes' EDS files (--extra-node ID:EDS) read for the core, which
// does no I/O.
#pragma once

#include "Options.h"
#include "eds/ObjectDictionary.h"

#include <map>

namespace gatewaysim {

// False, said on standard error with the file and line, when one cannot be
// read or is not a valid EDS.
bool readExtraNodeEds(const Options &options, std::map<uint8_t, network::eds::ObjectDictionary> &dictionaries);

} // namespace gatewaysim
