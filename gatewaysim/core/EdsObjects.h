// An extra node's objects from its EDS: every entry with its access and,
// as its value and default, the file's ParameterValue, else DefaultValue,
// else zero.
#pragma once

#include "NodeObjects.h"
#include "eds/ObjectDictionary.h"

namespace gatewaysim {

void fillFromEds(NodeObjects &objects, const network::eds::ObjectDictionary &dictionary);

} // namespace gatewaysim
