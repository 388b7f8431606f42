// CiA 306 EDS and DCF files read into an ObjectDictionary with libinih.
// Text in, objects out: the caller reads the file.
#pragma once

#include "eds/ObjectDictionary.h"

#include <string>
#include <string_view>
#include <variant>

namespace network::eds {

struct ReadError {
    // 1-based line of the file; 0 when the fault is no one line's.
    int line = 0;
    std::string message;
    // "line 12: bad number in DataType"
    std::string text() const;
};

// nodeId resolves `$NODEID` in values and defaults; a DCF's own
// [DeviceComissioning] NodeID wins when nodeId is 0.
std::variant<ObjectDictionary, ReadError> readEds(std::string_view text, uint8_t nodeId);

} // namespace network::eds
