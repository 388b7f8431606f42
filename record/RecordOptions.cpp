#include "RecordOptions.h"

#include "protocol/Cia301.h"
#include "transport/CanBusPort.h"

#include <QString>

#include <cstdio>

namespace cia301 = qelcopn::cia301;
using qelcopn::InterfaceKind;
using qelcopn::interfaceKindByCode;
using qelcopn::interfaceKindByPlugin;

namespace record {

namespace {

bool parseNumber(const std::string &text, uint32_t *value)
{
    bool ok = false;
    const qulonglong number = QString::fromStdString(text).toULongLong(&ok, 0);
    if (!ok || number > 0xFFFFFFFFull || text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    *value = uint32_t(number);
    return true;
}

} // namespace

ParseResult parseOptions(const std::vector<std::string> &args)
{
    ParseResult result;
    Options &o = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option = option.substr(0, eq);
        }
        if (option == "--help" && !inlineValue) {
            o.help = true;
            continue;
        }
        if (option != "--kind" && option != "--interface" && option != "--bitrate" && option != "--output"
            && option != "--seconds") {
            result.error = "unknown option '" + args[i] + "'";
            return result;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = option + " needs a value";
            return result;
        }
        uint32_t number = 0;
        if (option == "--kind") {
            const InterfaceKind *kind = interfaceKindByPlugin(QString::fromStdString(value));
            if (kind == nullptr && parseNumber(value, &number))
                kind = interfaceKindByCode(number);
            if (kind == nullptr) {
                result.error = "unknown interface kind '" + value + "' (socketcan, virtualcan, peakcan or tinycan)";
                return result;
            }
            o.kind = kind->code;
        } else if (option == "--interface") {
            if (value.empty()) {
                result.error = "--interface needs a name";
                return result;
            }
            o.interfaceName = value;
        } else if (option == "--bitrate") {
            if (!parseNumber(value, &number) || !cia301::isBitRate(number)) {
                result.error = "bad bit rate '" + value + "'";
                return result;
            }
            o.bitrate = number;
        } else if (option == "--output") {
            if (value.empty()) {
                result.error = "--output needs a file name";
                return result;
            }
            o.output = value;
        } else {
            if (!parseNumber(value, &number) || number == 0) {
                result.error = "bad number of seconds '" + value + "'";
                return result;
            }
            o.seconds = number;
        }
    }
    return result;
}

std::string usage()
{
    return "Usage: tarnwick-record [options]\n"
           "Records every frame of a CAN bus as a candump log (FILE.log) with the\n"
           "session beside it (FILE.json). Listen-only: sends nothing.\n"
           "\n"
           "  --kind KIND        socketcan, virtualcan, peakcan or tinycan\n"
           "                     (default: as Tarnwick's adapter configuration)\n"
           "  --interface NAME   interface name, or a virtual bus URL such as\n"
           "                     tcp://127.0.0.1:PORT/can0 (default: as configured)\n"
           "  --bitrate BPS      10000 to 1000000 (default: as configured)\n"
           "  --output FILE.log  where to write (default: the recordings folder,\n"
           "                     ~/.local/share/Quelbrook/Tarnwick/recordings,\n"
           "                     named by date and time)\n"
           "  --seconds N        stop after N seconds (default: until stopped)\n"
           "  --help             this text\n"
           "\n"
           "Progress goes to standard error once a second. SIGINT and SIGTERM end the\n"
           "recording with everything written. Exit status: 0 done, 1 the interface or\n"
           "the file could not be opened, 2 a bad option.\n";
}

std::string defaultFileName(int year, int month, int day, int hour, int minute, int second)
{
    char name[64];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d_%02d-%02d-%02d.log", year, month, day, hour, minute, second);
    return name;
}

} // namespace record
