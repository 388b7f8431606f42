#include "Text.h"

#include <cstdarg>
#include <cstdio>

namespace gatewaysim {

std::string format(const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, fmt, again);
    va_end(again);
    return text;
}

std::string objectName(uint16_t index, uint8_t sub)
{
    return format("0x%04X:%u", index, sub);
}

} // namespace gatewaysim
