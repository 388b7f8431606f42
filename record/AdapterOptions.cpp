#include "AdapterOptions.h"

#include "CommandLine.h"
#include "protocol/Cia301.h"
#include "protocol/InterfaceKinds.h"

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
            return badValue(option, value, cmdline::alternatives(qelcopn::pluginNames()));
        o.kind = kind->code;
    } else if (option == "--interface") {
        if (value.empty())
            return badValue(option, value, "an interface name or a virtual bus URL");
        o.interfaceName = value;
    } else if (option == "--bitrate") {
        const auto n = cmdline::number(value, 0, UINT32_MAX);
        if (!n || !qelcopn::cia301::isBitRate(uint32_t(*n)))
            return badValue(option, value,
                            "a CANopen bit rate: " + cmdline::alternatives(qelcopn::cia301::bitRateNames()));
        o.bitrate = uint32_t(*n);
    } else {
        return std::nullopt;
    }
    return std::string();
}

std::string usageLines()
{
    // From the tables, so that the text cannot drift from what is taken.
    return "  --kind KIND        " + cmdline::alternatives(qelcopn::pluginNames()) + "\n"
           "                     (default: as Tarnwick's adapter configuration)\n"
           "  --interface NAME   interface name, or a virtual bus URL such as\n"
           "                     tcp://127.0.0.1:PORT/can0 (default: as configured)\n"
           + cmdline::usageEntry("--bitrate BPS",
                                 cmdline::alternatives(qelcopn::cia301::bitRateNames()) + " (default: as configured)");
}

} // namespace adapter
