#include "NodeAccess.h"

#include "NodeTableModel.h"
#include "QEL_COPN.h"
#include "eds/Cia301Objects.h"
#include "eds/DcfWriter.h"
#include "protocol/Cia301.h"
#include "protocol/SdoAbortText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace node {

namespace {

using namespace network::eds;
using qelcopn::cia301::sdo::abortMessage;

constexpr char SETTINGS_PATH[] = "\\Software\\Quelbrook\\Tarnwick\\";
// A segmented upload's largest value read; a domain beyond it is refused by
// the library with an abort rather than cut.
constexpr size_t UPLOAD_LIMIT = 1 << 16;

std::string entryText(uint16_t index, uint8_t sub)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X:%02X", index, sub);
    return text;
}

// The type an entry is read and written as: --type, the EDS, CiA 301.
std::optional<Entry> entryFor(const Options &o, const ObjectDictionary *dictionary, uint16_t index, uint8_t sub)
{
    std::optional<Entry> entry;
    if (dictionary != nullptr)
        if (const Entry *found = dictionary->find(index, sub))
            entry = *found;
    if (!entry)
        entry = cia301Entry(index, sub);
    if (o.type) {
        if (!entry) {
            entry = Entry{};
            entry->index = index;
            entry->subIndex = sub;
        }
        entry->type = *o.type;
    }
    return entry;
}

// Why the last transfer failed, in words; true when no answer came at all.
bool sayFailure(const Options &o, uint16_t index, uint8_t sub)
{
    uint32_t code = 0;
    SDO_GetAbortCode(&code);
    const std::string where = "node " + std::to_string(o.node) + " " + entryText(index, sub);
    if (code == 0)
        std::fprintf(stderr, "tarnwick-node: %s: the interface is not online\n", where.c_str());
    else if (code == qelcopn::cia301::sdo::ABORT_TIMEOUT)
        std::fprintf(stderr, "tarnwick-node: %s: no answer (%s)\n", where.c_str(), abortMessage(code).c_str());
    else
        std::fprintf(stderr, "tarnwick-node: %s: %s\n", where.c_str(), abortMessage(code).c_str());
    return code == 0 || code == qelcopn::cia301::sdo::ABORT_TIMEOUT;
}

std::optional<Bytes> upload(uint32_t h, uint8_t node, uint16_t index, uint8_t sub)
{
    Bytes buffer(UPLOAD_LIMIT);
    uint32_t length = uint32_t(buffer.size());
    if (!SDO_Upload(h, node, index, sub, &length, buffer.data()))
        return std::nullopt;
    buffer.resize(length);
    return buffer;
}

std::string valueText(const std::optional<Entry> &entry, const Bytes &value)
{
    return entry ? formatValue(entry->type, value) : hexText(value);
}

int read(uint32_t h, const Options &o, const ObjectDictionary *dictionary)
{
    const auto value = upload(h, o.node, o.index, o.subIndex);
    if (!value) {
        sayFailure(o, o.index, o.subIndex);
        return EXIT_FAILED;
    }
    std::printf("%s\n", valueText(entryFor(o, dictionary, o.index, o.subIndex), *value).c_str());
    return EXIT_DONE;
}

int write(uint32_t h, const Options &o, const ObjectDictionary *dictionary)
{
    const std::optional<Entry> entry = entryFor(o, dictionary, o.index, o.subIndex);
    const std::string where = entryText(o.index, o.subIndex);
    if (!entry) {
        std::fprintf(stderr, "tarnwick-node: %s: its type is not known: give --type or --eds\n", where.c_str());
        return EXIT_USAGE;
    }
    const auto value = parseValue(entry->type, o.value, o.node);
    if (!value) {
        std::fprintf(stderr, "tarnwick-node: %s: '%s' is no %s value\n", where.c_str(), o.value.c_str(),
                     typeName(entry->type));
        return EXIT_USAGE;
    }
    if (const auto refused = checkLimits(*entry, *value)) {
        std::fprintf(stderr, "tarnwick-node: %s: %s is %s\n", where.c_str(), o.value.c_str(), refused->c_str());
        return EXIT_USAGE;
    }
    uint32_t number = 0;
    for (size_t i = std::min<size_t>(value->size(), 4); i-- > 0;)
        number = number << 8 | (*value)[i];
    int32_t sent = 0;
    switch (value->size()) {
    case 1: sent = SDO_Download_UNSIGNED8(h, o.node, o.index, o.subIndex, uint8_t(number)); break;
    case 2: sent = SDO_Download_UNSIGNED16(h, o.node, o.index, o.subIndex, uint16_t(number)); break;
    case 4: sent = SDO_Download_UNSIGNED32(h, o.node, o.index, o.subIndex, number); break;
    default:
        // The library downloads expedited only.
        std::fprintf(stderr, "tarnwick-node: %s: %zu bytes: only values of 1, 2 or 4 bytes can be written\n",
                     where.c_str(), value->size());
        return EXIT_USAGE;
    }
    if (!sent) {
        sayFailure(o, o.index, o.subIndex);
        return EXIT_FAILED;
    }
    return EXIT_DONE;
}

// Through a temporary name, so that a failed write leaves no half file
// where a good one was.
bool saveDcf(const std::string &path, const std::string &text)
{
    const std::string temporary = path + ".tmp";
    FILE *out = std::fopen(temporary.c_str(), "wb");
    const bool written = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = out != nullptr && std::fclose(out) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "tarnwick-node: %s: %s\n", path.c_str(), std::strerror(errno));
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int dump(uint32_t h, const Options &o, const ObjectDictionary &dictionary, const std::string &edsText)
{
    int status = EXIT_DONE;
    EntryValues values;
    for (const Entry &entry : dictionary.entries) {
        if (!readable(entry.access))
            continue;
        const auto value = upload(h, o.node, entry.index, entry.subIndex);
        if (!value) {
            status = EXIT_FAILED;
            // A node that does not answer one will answer none.
            if (sayFailure(o, entry.index, entry.subIndex))
                return status;
            continue;
        }
        std::printf("%s  %s  %s\n", entryText(entry.index, entry.subIndex).c_str(), entry.name.c_str(),
                    formatValue(entry.type, *value).c_str());
        values[{entry.index, entry.subIndex}] = *value;
    }
    if (o.dcf && !saveDcf(*o.dcf, writeDcf(edsText, dictionary, values, o.node)))
        return EXIT_FAILED;
    return status;
}

int list(uint32_t h, const Options &o)
{
    const timespec wait{time_t(o.seconds), 0};
    nanosleep(&wait, nullptr);
    std::vector<NodeStatus> table(QELCOPN_NODE_TABLE_SIZE);
    if (!GetNodeTable(h, table.data())) {
        std::fprintf(stderr, "tarnwick-node: the library gave no node table\n");
        return EXIT_FAILED;
    }
    using Model = network::NodeTableModel;
    for (unsigned node = QELCOPN_NODE_ID_MIN; node <= QELCOPN_NODE_ID_MAX; ++node) {
        if (table[node].Heard == 0)
            continue;
        const auto texts = Model::rowTexts(uint8_t(node), table[node], NodeIdentity{});
        const auto shown = [&](Model::Column column) {
            return texts[column].empty() ? std::string("-") : texts[column];
        };
        std::printf("%-3s %-16s %-9s %-8s %s emergencies\n", texts[Model::NODE].c_str(), shown(Model::STATE).c_str(),
                    shown(Model::HEARTBEAT).c_str(), shown(Model::LAST_HEARD).c_str(),
                    std::to_string(table[node].Emergencies).c_str());
    }
    return EXIT_DONE;
}

int nmt(uint32_t h, const Options &o)
{
    int32_t sent = 0;
    switch (o.nmt) {
    case NmtAction::Start: sent = NMT_StartRemoteNode(h, o.node); break;
    case NmtAction::Stop: sent = NMT_StopRemoteNode(h, o.node); break;
    case NmtAction::PreOperational: sent = NMT_EnterPreOperational(h, o.node); break;
    case NmtAction::Reset: sent = NMT_ResetNode(h, o.node); break;
    case NmtAction::ResetCommunication: sent = NMT_ResetCommunication(h, o.node); break;
    }
    if (!sent) {
        std::fprintf(stderr, "tarnwick-node: the NMT command to node %u was not sent\n", unsigned(o.node));
        return EXIT_FAILED;
    }
    return EXIT_DONE;
}

} // namespace

bool openAdapter(const adapter::Options &options, uint32_t &handle)
{
    HardwareConfiguration hw{};
    CANopenConfiguration co{};
    if (!LoadDriver() || !ReadConfiguration(SETTINGS_PATH, &hw, &co)) {
        std::fprintf(stderr, "tarnwick-node: the library did not start\n");
        return false;
    }
    if (options.kind)
        hw.InterfaceType = *options.kind;
    if (options.interfaceName) {
        std::memset(hw.AccessPoint, 0, sizeof hw.AccessPoint);
        std::snprintf(hw.AccessPoint, sizeof hw.AccessPoint, "%s", options.interfaceName->c_str());
    }
    const uint32_t bitrate = options.bitrate.value_or(co.Baud);
    char why[QELCOPN_TEXT_SIZE] = {};
    if (!OpenInterface(&handle, &hw)) {
        const int error = errno;
        if (!GetFailureText(why))
            std::snprintf(why, sizeof why, "%s", std::strerror(error));
        std::fprintf(stderr, "tarnwick-node: %s: %s\n", hw.AccessPoint, why);
        UnloadDriver();
        return false;
    }
    if (!SetBaud(handle, bitrate) || !SetOnline(handle, 1)) {
        GetFailureText(why);
        std::fprintf(stderr, "tarnwick-node: %s: could not go online at %u bit/s%s%s\n", hw.AccessPoint,
                     unsigned(bitrate), why[0] != '\0' ? ": " : "", why);
        closeAdapter(handle);
        return false;
    }
    return true;
}

void closeAdapter(uint32_t handle)
{
    CloseInterface(handle);
    UnloadDriver();
}

int runCommand(uint32_t h, const Options &o, const ObjectDictionary *dictionary, const std::string &edsText)
{
    switch (o.command) {
    case Command::List: return list(h, o);
    case Command::Read: return read(h, o, dictionary);
    case Command::Write: return write(h, o, dictionary);
    case Command::Dump: return dump(h, o, *dictionary, edsText);
    case Command::Nmt: return nmt(h, o);
    }
    return EXIT_USAGE;
}

} // namespace node
