// printf-style formatting into a std::string, for the event lines.
#pragma once

#include <cstdint>
#include <string>

namespace gatewaysim {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// "0x1803:5": an object as the event lines name it.
std::string objectName(uint16_t index, uint8_t sub);

} // namespace gatewaysim
