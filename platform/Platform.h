// Stand-ins for the few Windows calls the application is written against:
// dynamic loading, the per-thread last-error code, the high-resolution
// counter, event objects and Sleep. Only this folder (and the CANopen
// library) knows POSIX; everything above it sees the familiar names.
#pragma once

#include <cstdint>

using HMODULE = void *;
// An event handle is an eventfd descriptor. 0 and negative values are "no
// event": waits on them fail at once.
using EVENT_HANDLE = int32_t;

constexpr EVENT_HANDLE NO_EVENT = -1;
constexpr uint32_t WAIT_OBJECT_0 = 0x00000000;
constexpr uint32_t WAIT_TIMEOUT = 0x00000102;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;
constexpr uint32_t INFINITE = 0xFFFFFFFF;

// "NAME.dll" is looked for as "libNAME.so" through the loader's search path
// (the executable's RUNPATH first). A name holding a '/' is used as given.
HMODULE LoadLibraryA(const char *fileName);
void *GetProcAddress(HMODULE module, const char *procName);
int FreeLibrary(HMODULE module);

// The calling thread's last-error code (POSIX errno).
uint32_t GetLastError();
void SetLastError(uint32_t code);

// CLOCK_MONOTONIC in microseconds; the frequency is therefore 1,000,000.
int QueryPerformanceCounter(int64_t *count);
int QueryPerformanceFrequency(int64_t *frequency);
// The same counter as a value, for code that only wants the time now.
int64_t MonotonicMicros();

// Counting event: every SetEvent adds one, every successful wait takes one.
EVENT_HANDLE CreateCountingEvent();
int SetEvent(EVENT_HANDLE event);
// Adds count at once, as count SetEvent calls would, in one system call: a
// producer that queues many entries in a row wakes its waiter once, and
// the waiter still takes them one wait at a time.
int ReleaseSemaphore(EVENT_HANDLE event, uint32_t count);
uint32_t WaitForSingleObject(EVENT_HANDLE event, uint32_t milliseconds);
int CloseHandle(EVENT_HANDLE event);

// Sleep(0) yields the processor.
void Sleep(uint32_t milliseconds);

// Fixes the process's time zone to the system's (TZ=:/etc/localtime) unless
// TZ says otherwise. Qt's virtual CAN bus stamps every frame it receives
// with the local wall-clock time, and without TZ the C library looks at
// /etc/localtime again for each one: at the rates the virtual bus carries,
// that takes most of a reader's time, so PDOs are dropped and the
// socket's backlog grows while the stream lasts. No time shown changes.
// Every program on the bus calls it first in main, before any thread runs.
void PinTimeZone();
