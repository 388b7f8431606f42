// The recording test double of the CANopen library (see QelDouble.h).
#include "QelDouble.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <tuple>

namespace {

using ObjectKey = std::tuple<uint8_t, uint16_t, uint8_t>;

struct ObjectScript {
    std::vector<uint8_t> data;
    std::optional<uint32_t> reportedLength;
    int failures = 0;
};

struct QueuedPdo {
    std::vector<uint8_t> data;
    uint32_t time1;
    uint32_t time2;
};

struct QueuedEmergency {
    uint8_t node;
    std::array<uint8_t, 18> message;
};

struct State {
    std::mutex mutex;
    std::condition_variable called;
    std::vector<qeldouble::Call> calls;
    std::map<std::string, int32_t> results;
    std::map<std::string, std::deque<int32_t>> queuedResults;
    std::map<std::string, uint32_t> lastErrors;
    std::map<std::string, std::function<void()>> hooks;
    HardwareConfiguration storedHw{};
    CANopenConfiguration storedCo{};
    std::optional<std::pair<HardwareConfiguration, CANopenConfiguration>> windowRecords;
    std::optional<std::pair<HardwareConfiguration, CANopenConfiguration>> saved;
    std::map<uint32_t, std::vector<char>> names;
    uint32_t openHandle = 1;
    std::map<uint8_t, uint32_t> nodeOnline;
    std::map<ObjectKey, ObjectScript> objects;
    int32_t pdoEvent = -1;
    std::deque<QueuedPdo> pdos;
    std::deque<QueuedEmergency> emergencies;
    TraceStatus trace{};
    std::string failureText;
    std::array<NodeStatus, QELCOPN_NODE_TABLE_SIZE> nodeTable{};
    std::vector<EmergencyRecord> emergencyLog;

    void clear()
    {
        calls.clear();
        results.clear();
        queuedResults.clear();
        lastErrors.clear();
        hooks.clear();
        storedHw = {};
        storedCo = {};
        windowRecords.reset();
        saved.reset();
        names.clear();
        openHandle = 1;
        nodeOnline.clear();
        objects.clear();
        pdoEvent = -1;
        pdos.clear();
        emergencies.clear();
        trace = {};
        failureText.clear();
        nodeTable = {};
        emergencyLog.clear();
    }
};

State &state()
{
    static State s;
    return s;
}

uint64_t address(const void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}

// One call of an export: holds the lock while the export answers, records
// the call, and leaves the scripted last-error code when it ends.
class Exchange {
public:
    Exchange(const char *name, std::vector<uint64_t> args, std::string text = {})
        : s_(state()), lock_(s_.mutex), name_(name)
    {
        s_.calls.push_back({name_, std::move(args), std::move(text), std::chrono::steady_clock::now()});
        if (auto it = s_.lastErrors.find(name_); it != s_.lastErrors.end())
            lastError_ = it->second;
        if (auto it = s_.hooks.find(name_); it != s_.hooks.end())
            hook_ = it->second;
    }
    ~Exchange()
    {
        lock_.unlock();
        s_.called.notify_all();
        // Unlocked, so that the hook may ask the double too.
        if (hook_)
            hook_();
        if (lastError_)
            errno = static_cast<int>(*lastError_);
    }
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;

    State &script() { return s_; }

    // The scripted result, else `builtin`.
    int32_t result(int32_t builtin)
    {
        if (auto q = s_.queuedResults.find(name_); q != s_.queuedResults.end() && !q->second.empty()) {
            const int32_t r = q->second.front();
            q->second.pop_front();
            return r;
        }
        if (auto it = s_.results.find(name_); it != s_.results.end())
            return it->second;
        return builtin;
    }

    // Answers an upload from the object dictionary: the object's data, or
    // null when the read is to fail.
    const ObjectScript *object(uint8_t node, uint16_t index, uint8_t sub, int32_t &result)
    {
        ObjectScript *found = nullptr;
        auto it = s_.objects.find({node, index, sub});
        if (it != s_.objects.end()) {
            if (it->second.failures > 0)
                --it->second.failures;
            else if (it->second.failures == 0)
                found = &it->second;
        }
        result = this->result(found != nullptr ? 1 : 0);
        return result != 0 ? found : nullptr;
    }

private:
    State &s_;
    std::unique_lock<std::mutex> lock_;
    std::string name_;
    std::optional<uint32_t> lastError_;
    std::function<void()> hook_;
};

template <typename T> int32_t uploadNumber(Exchange &ex, uint8_t node, uint16_t index, uint8_t sub, T *value)
{
    int32_t result = 0;
    const ObjectScript *object = ex.object(node, index, sub, result);
    if (object != nullptr && value != nullptr) {
        T v = 0;
        for (size_t i = 0; i < sizeof(T) && i < object->data.size(); ++i)
            v = T(v | T(object->data[i]) << (8 * i));
        *value = v;
    }
    return result;
}

} // namespace

namespace qeldouble {

void Reset()
{
    std::lock_guard lock(state().mutex);
    state().clear();
}

std::vector<Call> Calls()
{
    std::lock_guard lock(state().mutex);
    return state().calls;
}

std::vector<std::string> CallNames()
{
    std::vector<std::string> names;
    for (const Call &call : Calls())
        names.push_back(call.name);
    return names;
}

std::vector<Call> CallsTo(const std::string &name)
{
    std::vector<Call> selected;
    for (Call &call : Calls())
        if (call.name == name)
            selected.push_back(std::move(call));
    return selected;
}

size_t CallCount(const std::string &name)
{
    std::lock_guard lock(state().mutex);
    return size_t(std::count_if(state().calls.begin(), state().calls.end(),
                                [&](const Call &call) { return call.name == name; }));
}

void ClearCalls()
{
    std::lock_guard lock(state().mutex);
    state().calls.clear();
}

void Record(const std::string &name, std::vector<uint64_t> args)
{
    {
        std::lock_guard lock(state().mutex);
        state().calls.push_back({name, std::move(args), {}, std::chrono::steady_clock::now()});
    }
    state().called.notify_all();
}

bool WaitForCalls(const std::string &name, size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(state().mutex);
    return state().called.wait_for(lock, timeout, [&] {
        return size_t(std::count_if(state().calls.begin(), state().calls.end(),
                                    [&](const Call &call) { return call.name == name; })) >= count;
    });
}

void OnCall(const std::string &name, std::function<void()> hook)
{
    std::lock_guard lock(state().mutex);
    if (hook)
        state().hooks[name] = std::move(hook);
    else
        state().hooks.erase(name);
}

void SetResult(const std::string &name, int32_t result)
{
    std::lock_guard lock(state().mutex);
    state().results[name] = result;
}

void QueueResults(const std::string &name, std::vector<int32_t> results)
{
    std::lock_guard lock(state().mutex);
    auto &queue = state().queuedResults[name];
    queue.insert(queue.end(), results.begin(), results.end());
}

void SetLastErrorOnReturn(const std::string &name, uint32_t code)
{
    std::lock_guard lock(state().mutex);
    state().lastErrors[name] = code;
}

void SetStoredConfiguration(const HardwareConfiguration &hw, const CANopenConfiguration &co)
{
    std::lock_guard lock(state().mutex);
    state().storedHw = hw;
    state().storedCo = co;
}

void SetConfigurationWindowRecords(const HardwareConfiguration &hw, const CANopenConfiguration &co)
{
    std::lock_guard lock(state().mutex);
    state().windowRecords = std::make_pair(hw, co);
}

std::optional<std::pair<HardwareConfiguration, CANopenConfiguration>> LastSavedConfiguration()
{
    std::lock_guard lock(state().mutex);
    return state().saved;
}

void SetInterfaceName(uint32_t interfaceType, const std::string &name)
{
    std::vector<char> bytes(name.begin(), name.end());
    bytes.push_back('\0');
    SetInterfaceNameBytes(interfaceType, std::move(bytes));
}

void SetInterfaceNameBytes(uint32_t interfaceType, std::vector<char> bytes)
{
    std::lock_guard lock(state().mutex);
    state().names[interfaceType] = std::move(bytes);
}

void SetFailureText(const std::string &text)
{
    std::lock_guard lock(state().mutex);
    state().failureText = text;
}

void SetOpenHandle(uint32_t handle)
{
    std::lock_guard lock(state().mutex);
    state().openHandle = handle;
}

void SetNodeOnline(uint8_t node, uint32_t online)
{
    std::lock_guard lock(state().mutex);
    state().nodeOnline[node] = online;
}

void SetObject(uint8_t node, uint16_t index, uint8_t sub, std::vector<uint8_t> data,
               std::optional<uint32_t> reportedLength)
{
    std::lock_guard lock(state().mutex);
    state().objects[{node, index, sub}] = {std::move(data), reportedLength, 0};
}

void SetObjectU32(uint8_t node, uint16_t index, uint8_t sub, uint32_t value)
{
    SetObject(node, index, sub,
              {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
}

void SetObjectText(uint8_t node, uint16_t index, uint8_t sub, const std::string &text)
{
    SetObject(node, index, sub, std::vector<uint8_t>(text.begin(), text.end()));
}

void FailObject(uint8_t node, uint16_t index, uint8_t sub, int times)
{
    std::lock_guard lock(state().mutex);
    state().objects[{node, index, sub}].failures = times;
}

void SetPdoEvent(int32_t event)
{
    std::lock_guard lock(state().mutex);
    state().pdoEvent = event;
}

void QueuePdo(std::vector<uint8_t> data, uint32_t time1, uint32_t time2)
{
    std::lock_guard lock(state().mutex);
    state().pdos.push_back({std::move(data), time1, time2});
}

void QueueEmergency(uint8_t node, const std::array<uint8_t, 18> &message)
{
    std::lock_guard lock(state().mutex);
    state().emergencies.push_back({node, message});
}

void SetNodeStatus(uint8_t node, const NodeStatus &status)
{
    std::lock_guard lock(state().mutex);
    if (node < QELCOPN_NODE_TABLE_SIZE)
        state().nodeTable[node] = status;
}

void LogEmergency(const EmergencyRecord &record)
{
    std::lock_guard lock(state().mutex);
    state().emergencyLog.push_back(record);
}

void SetTraceProgress(uint64_t framesWritten, uint32_t lastError, bool recording, uint64_t framesLost)
{
    std::lock_guard lock(state().mutex);
    state().trace.FramesWritten = framesWritten;
    state().trace.FramesLost = framesLost;
    state().trace.LastError = lastError;
    state().trace.Recording = recording ? 1 : 0;
}

TraceStatus CurrentTraceStatus()
{
    std::lock_guard lock(state().mutex);
    return state().trace;
}

size_t PendingPdos()
{
    std::lock_guard lock(state().mutex);
    return state().pdos.size();
}

size_t PendingEmergencies()
{
    std::lock_guard lock(state().mutex);
    return state().emergencies.size();
}

} // namespace qeldouble

extern "C" {

int32_t LoadDriver(void)
{
    Exchange ex(__func__, {});
    return ex.result(1);
}

int32_t UnloadDriver(void)
{
    Exchange ex(__func__, {});
    return ex.result(1);
}

int32_t ReadConfiguration(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co)
{
    Exchange ex(__func__, {address(path), address(hw), address(co)}, path != nullptr ? path : "");
    const int32_t result = ex.result(1);
    if (result != 0 && hw != nullptr && co != nullptr) {
        *hw = ex.script().storedHw;
        *co = ex.script().storedCo;
    }
    return result;
}

int32_t SaveConfiguration(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co)
{
    Exchange ex(__func__, {address(path), address(hw), address(co)}, path != nullptr ? path : "");
    if (hw != nullptr && co != nullptr)
        ex.script().saved = std::make_pair(*hw, *co);
    return ex.result(1);
}

int32_t CANopenConfigurationWindow(HardwareConfiguration *hw, CANopenConfiguration *co)
{
    Exchange ex(__func__, {address(hw), address(co)});
    const int32_t result = ex.result(1);
    if (result != 0 && hw != nullptr && co != nullptr && ex.script().windowRecords) {
        *hw = ex.script().windowRecords->first;
        *co = ex.script().windowRecords->second;
    }
    return result;
}

int32_t GetInterfaceName(uint32_t interfaceType, char name[QELCOPN_TEXT_SIZE])
{
    Exchange ex(__func__, {interfaceType, address(name)});
    auto it = ex.script().names.find(interfaceType);
    const bool known = it != ex.script().names.end();
    if (known && name != nullptr && !it->second.empty())
        std::memcpy(name, it->second.data(), std::min<size_t>(it->second.size(), QELCOPN_TEXT_SIZE));
    else if (!known && name != nullptr) // as the library does
        std::snprintf(name, QELCOPN_TEXT_SIZE, "Unknown interface (%u)", unsigned(interfaceType));
    return ex.result(known ? 1 : 0);
}

int32_t OpenInterface(uint32_t *h, HardwareConfiguration *hw)
{
    Exchange ex(__func__, {address(h), address(hw)});
    const int32_t result = ex.result(1);
    if (result != 0 && h != nullptr)
        *h = ex.script().openHandle;
    return result;
}

#define QEL_DOUBLE_SIMPLE(name, ...)                                                                                 \
    {                                                                                                                \
        Exchange ex(#name, {__VA_ARGS__});                                                                           \
        return ex.result(1);                                                                                         \
    }

int32_t SetNodeID(uint32_t h, uint8_t nodeId) QEL_DOUBLE_SIMPLE(SetNodeID, h, nodeId)
#ifndef QEL_DOUBLE_WITHOUT_SETBAUD
int32_t SetBaud(uint32_t h, uint32_t bitsPerSecond) QEL_DOUBLE_SIMPLE(SetBaud, h, bitsPerSecond)
#endif
int32_t SetOnline(uint32_t h, uint32_t online) QEL_DOUBLE_SIMPLE(SetOnline, h, online)
int32_t AddNode(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(AddNode, h, node)
int32_t RemoveNode(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(RemoveNode, h, node)
int32_t CloseInterface(uint32_t h) QEL_DOUBLE_SIMPLE(CloseInterface, h)
int32_t CloseCard(uint32_t h) QEL_DOUBLE_SIMPLE(CloseCard, h)
int32_t NMT_StartRemoteNode(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(NMT_StartRemoteNode, h, node)
int32_t NMT_StopRemoteNode(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(NMT_StopRemoteNode, h, node)
int32_t NMT_EnterPreOperational(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(NMT_EnterPreOperational, h, node)
int32_t NMT_ResetNode(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(NMT_ResetNode, h, node)
int32_t NMT_ResetCommunication(uint32_t h, uint8_t node) QEL_DOUBLE_SIMPLE(NMT_ResetCommunication, h, node)
int32_t SetSDOTimeout(uint32_t h, uint16_t ms) QEL_DOUBLE_SIMPLE(SetSDOTimeout, h, ms)
int32_t SDO_Download_UNSIGNED8(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint8_t value)
    QEL_DOUBLE_SIMPLE(SDO_Download_UNSIGNED8, h, node, index, sub, value)
int32_t SDO_Download_UNSIGNED16(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint16_t value)
    QEL_DOUBLE_SIMPLE(SDO_Download_UNSIGNED16, h, node, index, sub, value)
int32_t SDO_Download_UNSIGNED32(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t value)
    QEL_DOUBLE_SIMPLE(SDO_Download_UNSIGNED32, h, node, index, sub, value)
int32_t AddPDO(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, uint16_t timeoutMs)
    QEL_DOUBLE_SIMPLE(AddPDO, h, node, kind, number, timeoutMs)

#undef QEL_DOUBLE_SIMPLE

int32_t GetNodeOnline(uint32_t h, uint8_t node, uint32_t *online)
{
    Exchange ex(__func__, {h, node, address(online)});
    const int32_t result = ex.result(1);
    if (result != 0 && online != nullptr) {
        auto it = ex.script().nodeOnline.find(node);
        *online = it != ex.script().nodeOnline.end() ? it->second : 0;
    }
    return result;
}

int32_t GetNodeState(uint32_t h, uint8_t node, uint8_t *nodeState)
{
    Exchange ex(__func__, {h, node, address(nodeState)});
    const int32_t result = ex.result(1);
    if (result != 0 && nodeState != nullptr)
        *nodeState = 0xFF;
    return result;
}

int32_t SDO_Upload_UNSIGNED8(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint8_t *value)
{
    Exchange ex(__func__, {h, node, index, sub, address(value)});
    return uploadNumber(ex, node, index, sub, value);
}

int32_t SDO_Upload_UNSIGNED16(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint16_t *value)
{
    Exchange ex(__func__, {h, node, index, sub, address(value)});
    return uploadNumber(ex, node, index, sub, value);
}

int32_t SDO_Upload_UNSIGNED32(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t *value)
{
    Exchange ex(__func__, {h, node, index, sub, address(value)});
    return uploadNumber(ex, node, index, sub, value);
}

int32_t SDO_Upload(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t *length, uint8_t *buffer)
{
    const uint32_t capacity = length != nullptr ? *length : 0;
    Exchange ex(__func__, {h, node, index, sub, address(length), address(buffer), capacity});
    int32_t result = 0;
    const ObjectScript *object = ex.object(node, index, sub, result);
    if (object != nullptr && length != nullptr && buffer != nullptr) {
        const size_t n = std::min<size_t>(object->data.size(), capacity);
        if (n > 0)
            std::memcpy(buffer, object->data.data(), n);
        *length = object->reportedLength.value_or(uint32_t(object->data.size()));
    }
    return result;
}

int32_t COP_PDO_Get_Event(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, int32_t *event)
{
    Exchange ex(__func__, {h, node, kind, number, address(event)});
    const int32_t result = ex.result(1);
    if (result != 0 && event != nullptr)
        *event = ex.script().pdoEvent;
    return result;
}

int32_t COP_PDO_Read_Data_wTime(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, uint8_t *length,
                                uint8_t data[256], uint32_t *time1, uint32_t *time2)
{
    Exchange ex(__func__, {h, node, kind, number, address(length), address(data), address(time1), address(time2)});
    auto &queue = ex.script().pdos;
    const int32_t result = ex.result(queue.empty() ? 0 : 1);
    if (result != 0 && !queue.empty()) {
        const QueuedPdo pdo = std::move(queue.front());
        queue.pop_front();
        const size_t n = std::min<size_t>(pdo.data.size(), 255);
        if (length != nullptr)
            *length = uint8_t(n);
        if (data != nullptr && n > 0)
            std::memcpy(data, pdo.data.data(), n);
        if (time1 != nullptr)
            *time1 = pdo.time1;
        if (time2 != nullptr)
            *time2 = pdo.time2;
    }
    return result;
}

int32_t PDO_Read_Receive_Count(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, uint32_t *received,
                               uint32_t *dropped)
{
    Exchange ex(__func__, {h, node, kind, number, address(received), address(dropped)});
    const int32_t result = ex.result(1);
    if (result != 0 && received != nullptr && dropped != nullptr)
        *received = *dropped = 0;
    return result;
}

int32_t CheckEmergency(uint32_t h, uint8_t *node, uint8_t message[18])
{
    Exchange ex(__func__, {h, address(node), address(message)});
    auto &queue = ex.script().emergencies;
    const int32_t result = ex.result(queue.empty() ? 0 : 1);
    if (result != 0 && !queue.empty()) {
        const QueuedEmergency emergency = queue.front();
        queue.pop_front();
        if (node != nullptr)
            *node = emergency.node;
        if (message != nullptr)
            std::memcpy(message, emergency.message.data(), emergency.message.size());
    }
    return result;
}

#ifndef QEL_DOUBLE_WITHOUT_TRACE
int32_t Trace_Start(uint32_t h, const char *path)
{
    Exchange ex(__func__, {h, address(path)}, path != nullptr ? path : "");
    const int32_t result = ex.result(1);
    if (result != 0 && path != nullptr) {
        TraceStatus &trace = ex.script().trace;
        trace.Recording = 1;
        std::strncpy(trace.Path, path, sizeof trace.Path - 1);
    }
    return result;
}

int32_t Trace_Stop(uint32_t h)
{
    Exchange ex(__func__, {h});
    ex.script().trace.Recording = 0;
    return ex.result(1);
}

int32_t Trace_GetStatus(uint32_t h, TraceStatus *status)
{
    Exchange ex(__func__, {h, address(status)});
    const int32_t result = ex.result(1);
    if (result != 0 && status != nullptr)
        *status = ex.script().trace;
    return result;
}

int32_t Trace_SaveRecent(uint32_t h, const char *path, uint32_t seconds)
{
    Exchange ex(__func__, {h, address(path), seconds}, path != nullptr ? path : "");
    return ex.result(1);
}

int32_t Trace_SetBlackBoxMinutes(uint32_t h, uint32_t minutes)
{
    Exchange ex(__func__, {h, minutes});
    return ex.result(1);
}
#endif

int32_t GetNodeTable(uint32_t h, NodeStatus table[QELCOPN_NODE_TABLE_SIZE])
{
    Exchange ex(__func__, {h, address(table)});
    const int32_t result = ex.result(1);
    if (result != 0 && table != nullptr)
        std::copy(ex.script().nodeTable.begin(), ex.script().nodeTable.end(), table);
    return result;
}

int32_t GetEmergencies(uint32_t h, uint64_t *next, EmergencyRecord *records, uint32_t capacity, uint32_t *count)
{
    Exchange ex(__func__, {h, address(next), address(records), capacity, address(count)});
    const int32_t result = ex.result(1);
    if (result == 0 || next == nullptr || count == nullptr)
        return result;
    *count = 0;
    for (const EmergencyRecord &record : ex.script().emergencyLog) {
        if (record.Sequence < *next || *count >= capacity)
            continue;
        records[(*count)++] = record;
    }
    if (*count > 0)
        *next = records[*count - 1].Sequence + 1;
    return result;
}

int32_t GetFailureText(char text[QELCOPN_TEXT_SIZE])
{
    Exchange ex(__func__, {address(text)});
    const std::string &failure = ex.script().failureText;
    const int32_t result = ex.result(failure.empty() ? 0 : 1);
    if (result != 0 && text != nullptr) {
        const size_t length = std::min<size_t>(failure.size(), QELCOPN_TEXT_SIZE - 1);
        std::memcpy(text, failure.data(), length);
        text[length] = '\0';
    }
    return result;
}

} // extern "C"
