#include "protocol/SdoAbortText.h"

#include "protocol/Cia301.h"

#include <cstdio>

namespace qelcopn::cia301::sdo {

namespace {

struct AbortEntry {
    uint32_t code;
    const char *text;
};

// Every code CiA 301 lists, named codes from Cia301.h where the library
// itself sends them.
constexpr AbortEntry ABORTS[] = {
    {ABORT_TOGGLE, "Toggle bit not alternated"},
    {ABORT_TIMEOUT, "SDO protocol timed out"},
    {ABORT_BAD_COMMAND, "Client/server command specifier not valid or unknown"},
    {0x05040002, "Invalid block size"},
    {0x05040003, "Invalid sequence number"},
    {0x05040004, "CRC error"},
    {ABORT_OUT_OF_MEMORY, "Out of memory"},
    {ABORT_UNSUPPORTED_ACCESS, "Unsupported access to an object"},
    {ABORT_WRITE_ONLY, "Attempt to read a write only object"},
    {ABORT_READ_ONLY, "Attempt to write a read only object"},
    {ABORT_NO_OBJECT, "Object does not exist in the object dictionary"},
    {0x06040041, "Object cannot be mapped to the PDO"},
    {0x06040042, "The number and length of the objects to be mapped would exceed PDO length"},
    {0x06040043, "General parameter incompatibility reason"},
    {0x06040047, "General internal incompatibility in the device"},
    {0x06060000, "Access failed due to an hardware error"},
    {ABORT_TYPE_MISMATCH, "Data type does not match, length of service parameter does not match"},
    {ABORT_TOO_LONG, "Data type does not match, length of service parameter too high"},
    {ABORT_TOO_SHORT, "Data type does not match, length of service parameter too low"},
    {ABORT_NO_SUBINDEX, "Sub-index does not exist"},
    {ABORT_VALUE_RANGE, "Invalid value for parameter (download only)"},
    {0x06090031, "Value of parameter written too high (download only)"},
    {0x06090032, "Value of parameter written too low (download only)"},
    {0x06090036, "Maximum value is less than minimum value"},
    {0x060A0023, "Resource not available: SDO connection"},
    {ABORT_GENERAL, "General error"},
    {0x08000020, "Data cannot be transferred or stored to the application"},
    {0x08000021, "Data cannot be transferred or stored to the application because of local control"},
    {0x08000022, "Data cannot be transferred or stored to the application because of the present device state"},
    {0x08000023, "Object dictionary dynamic generation fails or no object dictionary is present"},
    {0x08000024, "No data available"},
};

} // namespace

const char *abortText(uint32_t code)
{
    for (const AbortEntry &entry : ABORTS)
        if (entry.code == code)
            return entry.text;
    return "";
}

std::string abortMessage(uint32_t code)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", unsigned(code));
    const std::string text = abortText(code);
    return text.empty() ? std::string(hex) : std::string(hex) + " " + text;
}

} // namespace qelcopn::cia301::sdo
