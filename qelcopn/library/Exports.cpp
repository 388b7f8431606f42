// The exported C functions: each checks its arguments, finds its interface
// and hands the work on. Bad input fails with 0 and sends nothing; no
// exception leaves the library.
#include "QEL_COPN.h"

#include "library/ConfigDialog.h"
#include "library/Configuration.h"
#include "library/Driver.h"
#include "library/NodeTable.h"
#include "Platform.h"
#include "protocol/Cia301.h"
#include "protocol/Nmt.h"
#include "trace/ReplayFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

// The exports keep C linkage at global scope; what they call lives in the
// library's namespace.
using namespace qelcopn;
using namespace qelcopn::cia301;

namespace {

// Why this thread's last OpenInterface, SetBaud or SetOnline failed, in
// words; like errno, each thread has its own.
thread_local std::string failureText;

void noteFailure(const QString &why)
{
    failureText = why.toStdString();
}

template <typename Fn>
int32_t guarded(Fn &&fn)
{
    try {
        return fn() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

template <typename Fn>
int32_t withInterface(uint32_t h, Fn &&fn)
{
    return guarded([&] {
        const std::shared_ptr<Interface> interface = Driver::instance().find(h);
        return interface && fn(*interface);
    });
}

// A setting for one node that cannot fail once the node ID and the handle
// are good.
template <typename Fn>
int32_t withNode(uint32_t h, uint8_t node, Fn &&fn)
{
    if (!isNodeId(node))
        return 0;
    return withInterface(h, [&](Interface &i) {
        fn(i);
        return true;
    });
}

int32_t nmt(uint32_t h, NmtCommand command, uint8_t node)
{
    if (!isNmtTarget(node))
        return 0;
    return withInterface(h, [&](Interface &i) {
        if (!i.send(nmtFrame(command, node)))
            return false;
        if (command == NMT_RESET_NODE || command == NMT_RESET_COMMUNICATION)
            i.noteReset(node);
        return true;
    });
}

template <typename T>
int32_t uploadValue(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, T *value)
{
    if (value == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        // Room for a whole expedited reply: a server may answer without a
        // size, or with four bytes for a smaller object; the low bytes count.
        uint8_t bytes[4] = {};
        size_t length = 0;
        if (!i.sdoUpload(node, index, sub, bytes, sizeof bytes, &length) || length == 0)
            return false;
        // A shorter object than asked for reads zero-extended.
        T result = 0;
        for (size_t k = 0; k < std::min(length, sizeof(T)); ++k)
            result = T(result | T(bytes[k]) << (8 * k));
        *value = result;
        return true;
    });
}

template <typename T>
int32_t downloadValue(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, T value)
{
    uint8_t bytes[sizeof(T)];
    for (size_t k = 0; k < sizeof(T); ++k)
        bytes[k] = uint8_t(uint64_t(value) >> (8 * k));
    return withInterface(h, [&](Interface &i) { return i.sdoDownload(node, index, sub, bytes, sizeof bytes); });
}

} // namespace

extern "C" {

QELCOPN_API int32_t LoadDriver(void)
{
    return guarded([] { return Driver::instance().load(); });
}

QELCOPN_API int32_t UnloadDriver(void)
{
    return guarded([] { return Driver::instance().unload(); });
}

QELCOPN_API int32_t ReadConfiguration(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co)
{
    return guarded([&] { return configuration::read(path, hw, co); });
}

QELCOPN_API int32_t SaveConfiguration(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co)
{
    return guarded([&] { return configuration::save(path, hw, co); });
}

QELCOPN_API int32_t CANopenConfigurationWindow(HardwareConfiguration *hw, CANopenConfiguration *co)
{
    if (hw == nullptr || co == nullptr)
        return 0;
    return guarded([&] { return showConfigDialog(hw, co); });
}

QELCOPN_API int32_t GetInterfaceName(uint32_t interfaceType, char name[QELCOPN_TEXT_SIZE])
{
    if (name == nullptr)
        return 0;
    return configuration::interfaceName(interfaceType, name) ? 1 : 0;
}

QELCOPN_API int32_t OpenInterface(uint32_t *h, HardwareConfiguration *hw)
{
    failureText.clear();
    int error = 0;
    int32_t result = 0;
    try {
        QString accessPoint;
        Driver &driver = Driver::instance();
        const std::shared_ptr<IoThread> io = driver.io();
        if (h == nullptr || hw == nullptr || !configuration::accessPointOf(hw, &accessPoint) || accessPoint.isEmpty())
            error = EINVAL;
        else if (!io)
            error = ENXIO; // LoadDriver first
        else if (interfaceKindByCode(hw->InterfaceType) == nullptr)
            error = ENODEV;
        else if (const uint32_t held = driver.findHandle(hw->InterfaceType, accessPoint);
                 held != 0 && driver.find(held) && driver.find(held)->isOnline())
            error = int(QELCOPN_ERROR_WRONG_MODE);
        else {
            // Held open but not online (a start that failed past the open):
            // the old handle is released so that the user is not locked out.
            if (held != 0)
                driver.close(held);
            auto interface = std::make_shared<Interface>(io, hw->InterfaceType, accessPoint);
            interface->setReplaySettings({configuration::replaySpeed(hw), configuration::replayLoop(hw)});
            QString why;
            const CanBusPort::OpenResult opened = interface->open(&why);
            if (opened != CanBusPort::OpenResult::Ok && opened != CanBusPort::OpenResult::AwaitingRate)
                noteFailure(why);
            switch (opened) {
            case CanBusPort::OpenResult::Ok:
            case CanBusPort::OpenResult::AwaitingRate: // connects on SetOnline, at the rate of SetBaud
                if (const uint32_t handle = driver.add(interface)) {
                    *h = handle;
                    result = 1;
                } else {
                    interface->close();
                    error = ENXIO;
                }
                break;
            case CanBusPort::OpenResult::NotUsable:
                interface->close();
                error = int(QELCOPN_ERROR_WRONG_MODE);
                break;
            case CanBusPort::OpenResult::NoSuchInterface:
                interface->close();
                error = hw->InterfaceType == QELCOPN_KIND_RECORDING
                    ? trace::ReplayFile::check(accessPoint.toStdString())
                    : ENODEV;
                if (error == 0)
                    error = ENODEV; // readable again since the open failed
                break;
            }
        }
    } catch (...) {
        error = EIO;
        result = 0;
    }
    // Last, so that nothing on the way clobbers it.
    errno = result ? 0 : error;
    return result;
}

QELCOPN_API int32_t SetNodeID(uint32_t h, uint8_t nodeId)
{
    return withNode(h, nodeId, [&](Interface &i) { i.setNodeId(nodeId); });
}

QELCOPN_API int32_t SetBaud(uint32_t h, uint32_t bitsPerSecond)
{
    failureText.clear();
    if (!isBitRate(bitsPerSecond)) {
        noteFailure(QStringLiteral("%1 bit/s is not a CiA 301 bit rate").arg(bitsPerSecond));
        return 0;
    }
    QString why;
    const int32_t result = withInterface(h, [&](Interface &i) { return i.setBitrate(bitsPerSecond, &why); });
    if (result == 0)
        noteFailure(why);
    return result;
}

QELCOPN_API int32_t SetOnline(uint32_t h, uint32_t online)
{
    failureText.clear();
    QString why;
    const int32_t result = withInterface(h, [&](Interface &i) { return i.setOnline(online != 0, &why); });
    if (result == 0)
        noteFailure(why);
    return result;
}

QELCOPN_API int32_t GetFailureText(char text[QELCOPN_TEXT_SIZE])
{
    if (text == nullptr || failureText.empty())
        return 0;
    const size_t length = std::min(failureText.size(), size_t(QELCOPN_TEXT_SIZE - 1));
    std::memcpy(text, failureText.data(), length);
    text[length] = '\0';
    return 1;
}

QELCOPN_API int32_t AddNode(uint32_t h, uint8_t node)
{
    return withNode(h, node, [&](Interface &i) { i.addNode(node); });
}

QELCOPN_API int32_t RemoveNode(uint32_t h, uint8_t node)
{
    return withNode(h, node, [&](Interface &i) { i.removeNode(node); });
}

QELCOPN_API int32_t CloseInterface(uint32_t h)
{
    return guarded([&] { return Driver::instance().close(h); });
}

QELCOPN_API int32_t CloseCard(uint32_t h)
{
    return guarded([&] { return Driver::instance().close(h); });
}

QELCOPN_API int32_t NMT_StartRemoteNode(uint32_t h, uint8_t node) { return nmt(h, NMT_START_REMOTE_NODE, node); }
QELCOPN_API int32_t NMT_StopRemoteNode(uint32_t h, uint8_t node) { return nmt(h, NMT_STOP_REMOTE_NODE, node); }
QELCOPN_API int32_t NMT_EnterPreOperational(uint32_t h, uint8_t node)
{
    return nmt(h, NMT_ENTER_PRE_OPERATIONAL, node);
}
QELCOPN_API int32_t NMT_ResetNode(uint32_t h, uint8_t node) { return nmt(h, NMT_RESET_NODE, node); }
QELCOPN_API int32_t NMT_ResetCommunication(uint32_t h, uint8_t node)
{
    return nmt(h, NMT_RESET_COMMUNICATION, node);
}

QELCOPN_API int32_t GetNodeOnline(uint32_t h, uint8_t node, uint32_t *online)
{
    if (online == nullptr || !isNodeId(node))
        return 0;
    return withInterface(h, [&](Interface &i) {
        const Interface::NodeOnline state = i.nodeOnline(node);
        if (state == Interface::NodeOnline::Failed)
            return false;
        *online = state == Interface::NodeOnline::Online ? 1 : 0;
        return true;
    });
}

QELCOPN_API int32_t GetNodeState(uint32_t h, uint8_t node, uint8_t *state)
{
    if (state == nullptr || !isNodeId(node))
        return 0;
    return withInterface(h, [&](Interface &i) {
        *state = i.nodeState(node);
        return true;
    });
}

QELCOPN_API int32_t SetSDOTimeout(uint32_t h, uint16_t ms)
{
    if (ms == 0)
        return 0;
    return withInterface(h, [&](Interface &i) {
        i.setSdoTimeout(ms);
        return true;
    });
}

QELCOPN_API int32_t SDO_Upload_UNSIGNED8(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint8_t *value)
{
    return uploadValue(h, node, index, sub, value);
}

QELCOPN_API int32_t SDO_Upload_UNSIGNED16(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint16_t *value)
{
    return uploadValue(h, node, index, sub, value);
}

QELCOPN_API int32_t SDO_Upload_UNSIGNED32(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t *value)
{
    return uploadValue(h, node, index, sub, value);
}

QELCOPN_API int32_t SDO_Upload(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t *length,
                               uint8_t *buffer)
{
    if (length == nullptr || buffer == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        size_t got = 0;
        if (!i.sdoUpload(node, index, sub, buffer, *length, &got))
            return false;
        *length = uint32_t(got);
        return true;
    });
}

QELCOPN_API int32_t SDO_GetAbortCode(uint32_t *code)
{
    if (code == nullptr)
        return 0;
    *code = Interface::lastSdoAbortCode();
    return 1;
}

QELCOPN_API int32_t SDO_Download_UNSIGNED8(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint8_t value)
{
    return downloadValue(h, node, index, sub, value);
}

QELCOPN_API int32_t SDO_Download_UNSIGNED16(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint16_t value)
{
    return downloadValue(h, node, index, sub, value);
}

QELCOPN_API int32_t SDO_Download_UNSIGNED32(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t value)
{
    return downloadValue(h, node, index, sub, value);
}

QELCOPN_API int32_t AddPDO(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, uint16_t timeoutMs)
{
    if (kind != QELCOPN_PDO_TRANSMIT_ADD)
        return 0;
    return withInterface(h, [&](Interface &i) { return i.addPdo(node, number, timeoutMs); });
}

QELCOPN_API int32_t COP_PDO_Get_Event(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, int32_t *event)
{
    if (kind != QELCOPN_PDO_TRANSMIT_READ || event == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        const PdoChannel *channel = i.pdo(node, number);
        if (channel == nullptr)
            return false;
        *event = channel->event();
        return true;
    });
}

QELCOPN_API int32_t COP_PDO_Read_Data_wTime(uint32_t h, uint8_t node, uint8_t kind, uint16_t number,
                                            uint8_t *length, uint8_t data[256], uint32_t *time1, uint32_t *time2)
{
    if (kind != QELCOPN_PDO_TRANSMIT_READ || length == nullptr || data == nullptr || time1 == nullptr || time2 == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        PdoChannel *channel = i.pdo(node, number);
        PdoEntry entry;
        if (channel == nullptr || !channel->take(&entry))
            return false;
        *length = entry.length;
        std::memcpy(data, entry.data, entry.length);
        *time1 = entry.sequence;
        *time2 = entry.time;
        return true;
    });
}

QELCOPN_API int32_t PDO_Read_Receive_Count(uint32_t h, uint8_t node, uint8_t kind, uint16_t number,
                                           uint32_t *received, uint32_t *dropped)
{
    if (kind != QELCOPN_PDO_TRANSMIT_READ || received == nullptr || dropped == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        const PdoChannel *channel = i.pdo(node, number);
        if (channel == nullptr)
            return false;
        *received = uint32_t(channel->received());
        *dropped = uint32_t(channel->dropped());
        return true;
    });
}

QELCOPN_API int32_t CheckEmergency(uint32_t h, uint8_t *node, uint8_t message[18])
{
    if (node == nullptr || message == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        EmcyEntry entry;
        if (!i.takeEmergency(&entry))
            return false;
        *node = entry.node;
        std::memset(message, 0, 18);
        std::memcpy(message, entry.data, sizeof entry.data);
        for (int k = 0; k < 4; ++k)
            message[8 + k] = uint8_t(entry.time >> (8 * k));
        return true;
    });
}

QELCOPN_API int32_t GetBusStatistics(uint32_t h, BusStatistics *statistics)
{
    if (statistics == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        i.busStatistics(statistics);
        return true;
    });
}

QELCOPN_API int32_t GetNodeTable(uint32_t h, NodeStatus table[QELCOPN_NODE_TABLE_SIZE])
{
    if (table == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        fillNodeTable(i.nodeMonitor(), MonotonicMicros(), table);
        return true;
    });
}

QELCOPN_API int32_t GetEmergencies(uint32_t h, uint64_t *next, EmergencyRecord *records, uint32_t capacity,
                                   uint32_t *count)
{
    if (next == nullptr || count == nullptr || (records == nullptr && capacity > 0))
        return 0;
    return withInterface(h, [&](Interface &i) {
        *count = readEmergencies(i.nodeMonitor().emergencies(), next, records, capacity);
        return true;
    });
}

} // extern "C"

namespace {

// A trace export that fails with errno set: the interface's reason, or
// ENXIO for a handle that names none.
template <typename Fn>
int32_t withErrno(uint32_t h, Fn &&fn)
{
    int error = ENXIO;
    const int32_t result = withInterface(h, [&](Interface &i) {
        const bool ok = fn(i);
        error = ok ? 0 : errno;
        return ok;
    });
    errno = result ? 0 : error;
    return result;
}

} // namespace

QELCOPN_API int32_t Trace_Start(uint32_t h, const char *path)
{
    if (path == nullptr || *path == '\0') {
        errno = EINVAL;
        return 0;
    }
    return withErrno(h, [&](Interface &i) { return i.startTrace(path); });
}

QELCOPN_API int32_t Trace_Stop(uint32_t h)
{
    return withInterface(h, [](Interface &i) { return i.stopTrace(); });
}

QELCOPN_API int32_t Trace_GetStatus(uint32_t h, TraceStatus *status)
{
    if (status == nullptr)
        return 0;
    return withInterface(h, [&](Interface &i) {
        const Interface::TraceState state = i.traceState();
        std::memset(status, 0, sizeof *status);
        status->Recording = state.recording ? 1 : 0;
        status->LastError = uint32_t(state.lastError);
        status->FramesWritten = state.written;
        status->FramesLost = state.lost;
        status->BytesWritten = state.bytes;
        std::strncpy(status->Path, state.path.c_str(), sizeof status->Path - 1);
        return true;
    });
}

QELCOPN_API int32_t Trace_SaveRecent(uint32_t h, const char *path, uint32_t seconds)
{
    if (path == nullptr || *path == '\0' || seconds == 0) {
        errno = EINVAL;
        return 0;
    }
    return withErrno(h, [&](Interface &i) { return i.saveRecent(path, seconds); });
}

QELCOPN_API int32_t Trace_SetBlackBoxMinutes(uint32_t h, uint32_t minutes)
{
    if (minutes > trace::BlackBox::kMaxMinutes) {
        errno = EINVAL;
        return 0;
    }
    return withErrno(h, [&](Interface &i) { return i.setBlackBoxMinutes(minutes); });
}
