// The control side of the recording test double of the CANopen library.
//
// The double is a shared library with the real library's file name
// (libQEL_COPN.so) and every export of QEL_COPN.h. A test links it directly
// and so shares one instance with the binding, whose LoadLibraryA finds the
// already loaded library by its soname. Every export records its call (name
// and arguments, in order) and answers from the script below.
//
// Results: an export returns the next queued result when one is queued, else
// the result set with SetResult, else its built-in answer: 1, except where
// noted (uploads answer from the object dictionary, the PDO and emergency
// reads from their queues, GetInterfaceName from its names). Out-values are
// written only when the result is nonzero, except GetInterfaceName's name,
// which is written whatever the result (a failing library may leave junk).
//
// Everything here is thread-safe: the receive threads call the double while
// the test scripts and inspects it.
#pragma once

#include "QEL_COPN.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qeldouble {

struct Call {
    std::string name;
    // Integers as passed, pointers as their address. SDO_Upload appends the
    // value its length pointer held on entry.
    std::vector<uint64_t> args;
    // The path handed to ReadConfiguration and SaveConfiguration.
    std::string text;
    // When the export was entered.
    std::chrono::steady_clock::time_point at{};
};

// Forgets every call and every script.
void Reset();

std::vector<Call> Calls();
std::vector<std::string> CallNames();
std::vector<Call> CallsTo(const std::string &name);
size_t CallCount(const std::string &name);
void ClearCalls();
// Adds an entry to the log from outside the library, e.g. a test's wrapper
// around FreeLibrary, so that it shows in the order of calls.
void Record(const std::string &name, std::vector<uint64_t> args = {});
// Waits until `name` has been called at least `count` times in all.
bool WaitForCalls(const std::string &name, size_t count,
                  std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Runs `hook` inside every later call of the export `name`, on the calling
// thread, before the export returns: to look at what holds while the
// library works. An empty hook removes it.
void OnCall(const std::string &name, std::function<void()> hook);

void SetResult(const std::string &name, int32_t result);
void QueueResults(const std::string &name, std::vector<int32_t> results);
// The calling thread's last-error code (errno) that `name` leaves on return.
void SetLastErrorOnReturn(const std::string &name, uint32_t code);

// What ReadConfiguration fills (zeroed records until set).
void SetStoredConfiguration(const HardwareConfiguration &hw, const CANopenConfiguration &co);
// What CANopenConfigurationWindow fills when it succeeds; until set it
// leaves the records as they are.
void SetConfigurationWindowRecords(const HardwareConfiguration &hw, const CANopenConfiguration &co);
// The records of the last SaveConfiguration call.
std::optional<std::pair<HardwareConfiguration, CANopenConfiguration>> LastSavedConfiguration();

// The bytes GetInterfaceName writes for a kind (at most 256 are written;
// give no zero byte to test a buffer left unterminated). A kind without a
// name makes GetInterfaceName fail and write "Unknown interface (N)", as the
// library does.
void SetInterfaceName(uint32_t interfaceType, const std::string &name);
void SetInterfaceNameBytes(uint32_t interfaceType, std::vector<char> bytes);

// The reason GetFailureText gives (none until set: it then fails).
void SetFailureText(const std::string &text);

// The handle OpenInterface writes (1 until set).
void SetOpenHandle(uint32_t handle);

// GetNodeOnline's flag for a node (0 until set).
void SetNodeOnline(uint8_t node, uint32_t online);

// The object dictionary the uploads read. An object not in it fails.
// `reportedLength` is what SDO_Upload reports (the data's size unless given);
// never more than the caller's buffer size is written.
void SetObject(uint8_t node, uint16_t index, uint8_t sub, std::vector<uint8_t> data,
               std::optional<uint32_t> reportedLength = std::nullopt);
void SetObjectU32(uint8_t node, uint16_t index, uint8_t sub, uint32_t value);
void SetObjectText(uint8_t node, uint16_t index, uint8_t sub, const std::string &text);
// The next `times` reads of the object fail; a negative count fails them all.
void FailObject(uint8_t node, uint16_t index, uint8_t sub, int times = -1);

// The handle COP_PDO_Get_Event writes (-1 until set).
void SetPdoEvent(int32_t event);
void QueuePdo(std::vector<uint8_t> data, uint32_t time1, uint32_t time2);
void QueueEmergency(uint8_t node, const std::array<uint8_t, 18> &message);
// What GetNodeTable gives for a node (all zero until set).
void SetNodeStatus(uint8_t node, const NodeStatus &status);
// A record in the log GetEmergencies reads from (in Sequence order; a
// first Sequence past 1 is a log that lost its oldest).
void LogEmergency(const EmergencyRecord &record);
// The recording: Trace_Start (path kept as the call's text) sets Recording
// and Path, Trace_Stop clears Recording, Trace_GetStatus reports the status
// with what is set here (a recording the library ended itself: `recording`
// false and the errno of the failed write).
void SetTraceProgress(uint64_t framesWritten, uint32_t lastError = 0, bool recording = true, uint64_t framesLost = 0);
TraceStatus CurrentTraceStatus();

size_t PendingPdos();
size_t PendingEmergencies();

} // namespace qeldouble
