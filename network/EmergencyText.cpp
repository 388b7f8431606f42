#include "EmergencyText.h"

#include <cstdio>

namespace network {

namespace {

struct CodeText {
    uint16_t code;
    uint16_t mask; // the bits of the code the entry stands for
    const char *text;
};

// From the most specific to the class, so the first match is the best one.
constexpr CodeText CODES[] = {
    {0x8110, 0xFFFF, "CAN overrun (objects lost)"},
    {0x8120, 0xFFFF, "CAN in error passive mode"},
    {0x8130, 0xFFFF, "life guard or heartbeat error"},
    {0x8140, 0xFFFF, "recovered from bus-off"},
    {0x8150, 0xFFFF, "CAN-ID collision"},
    {0x8210, 0xFFFF, "PDO not processed due to length error"},
    {0x8220, 0xFFFF, "PDO length exceeded"},
    {0x8230, 0xFFFF, "MPDO not processed, destination object not available"},
    {0x8240, 0xFFFF, "unexpected SYNC data length"},
    {0x8250, 0xFFFF, "RPDO time-out"},
    {0x2100, 0xFF00, "current, device input side"},
    {0x2200, 0xFF00, "current inside the device"},
    {0x2300, 0xFF00, "current, device output side"},
    {0x3100, 0xFF00, "mains voltage"},
    {0x3200, 0xFF00, "voltage inside the device"},
    {0x3300, 0xFF00, "output voltage"},
    {0x4100, 0xFF00, "ambient temperature"},
    {0x4200, 0xFF00, "device temperature"},
    {0x6100, 0xFF00, "internal software"},
    {0x6200, 0xFF00, "user software"},
    {0x6300, 0xFF00, "data set"},
    {0x8100, 0xFF00, "communication"},
    {0x8200, 0xFF00, "protocol error"},
};

const char *classOf(uint16_t code)
{
    switch (code >> 8) {
    case 0x00: return "Error reset or no error";
    case 0x10: return "Generic error";
    case 0xF0: return "Additional functions";
    case 0xFF: return "Device specific";
    default: break;
    }
    switch (code >> 12) {
    case 0x2: return "Current";
    case 0x3: return "Voltage";
    case 0x4: return "Temperature";
    case 0x5: return "Device hardware";
    case 0x6: return "Device software";
    case 0x7: return "Additional modules";
    case 0x8: return "Monitoring";
    case 0x9: return "External error";
    default: return "Unknown class";
    }
}

constexpr const char *REGISTER_BITS[8] = {"Generic",         "Current", "Voltage", "Temperature", "Communication",
                                          "Device profile", "Reserved", "Manufacturer"};

} // namespace

std::string emergencyMeaning(uint16_t code)
{
    std::string text = classOf(code);
    // A well-known monitoring code names its sub-class before its own text.
    for (const CodeText &entry : CODES) {
        if ((code & entry.mask) != entry.code)
            continue;
        if (entry.mask == 0xFFFF)
            text += (code >> 8) == 0x81 ? ": communication: " : ": protocol error: ";
        else
            text += ": ";
        text += entry.text;
        break;
    }
    return text;
}

std::string errorRegisterText(uint8_t errorRegister)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", errorRegister);
    std::string text = hex;
    const char *separator = " ";
    for (int bit = 0; bit < 8; ++bit) {
        if ((errorRegister >> bit & 1) == 0)
            continue;
        text += separator;
        text += REGISTER_BITS[bit];
        separator = ", ";
    }
    return text;
}

std::string hexBytes(const uint8_t *bytes, size_t count)
{
    std::string text;
    char pair[4];
    for (size_t k = 0; k < count; ++k) {
        std::snprintf(pair, sizeof pair, k ? " %02X" : "%02X", bytes[k]);
        text += pair;
    }
    return text;
}

std::string emergencyCodeText(uint16_t code)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", code);
    return text;
}

} // namespace network
