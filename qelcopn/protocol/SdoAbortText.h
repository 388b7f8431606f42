// CiA 301's words for an SDO abort code, for everything that shows a failed
// transfer to a person: the object dictionary window, tarnwick-node.
#pragma once

#include <cstdint>
#include <string>

namespace qelcopn::cia301::sdo {

// "Object does not exist in the object dictionary"; "" for a code CiA 301
// does not name.
const char *abortText(uint32_t code);
// "0x06020000 Object does not exist in the object dictionary"; the code alone
// when it has no text.
std::string abortMessage(uint32_t code);

} // namespace qelcopn::cia301::sdo
