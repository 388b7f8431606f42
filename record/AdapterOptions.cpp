#include "AdapterOptions.h"

#include "CommandLine.h"
#include "protocol/Cia301.h"
#include "transport/InterfaceKinds.h"

namespace adapter {

std::optional<std::string> apply(Options &o, const std::string &option, const std::string &value)
{
    using cmdline::badValue;
    if (option == "--kind") {
        // By plugin name, or by the code the adapter configuration stores.
        const qelcopn::InterfaceKind *kind = qelcopn::interfaceKindByPlugin(value);
        if (kind == nullptr)
            if (const auto code = cmdline::number(value, 0, UINT32_MAX))
                kind = qelcopn::interfaceKindByCode(uint32_t(*code));
        if (kind == nullptr)
            return badValue(option, value, qelcopn::PLUGIN_NAMES_TEXT);
        o.kind = kind->code;
    } else if (option == "--interface") {
        if (value.empty())
            return badValue(option, value, "an interface name or a virtual bus URL");
        o.interfaceName = value;
    } else if (option == "--bitrate") {
        const auto n = cmdline::number(value, 0, UINT32_MAX);
        if (!n || !qelcopn::cia301::isBitRate(uint32_t(*n)))
            return badValue(option, value, std::string("a CANopen bit rate: ") + qelcopn::cia301::BIT_RATES_TEXT);
        o.bitrate = uint32_t(*n);
    } else {
        return std::nullopt;
    }
    return std::string();
}

const char *usageLines()
{
    return "  --kind KIND        socketcan, virtualcan, peakcan or tinycan\n"
           "                     (default: as Tarnwick's adapter configuration)\n"
           "  --interface NAME   interface name, or a virtual bus URL such as\n"
           "                     tcp://127.0.0.1:PORT/can0 (default: as configured)\n"
           "  --bitrate BPS      10000, 20000, 50000, 125000, 250000, 500000, 800000 or\n"
           "                     1000000 (default: as configured)\n";
}

} // namespace adapter
