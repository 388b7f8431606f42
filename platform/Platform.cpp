#include "Platform.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace {

std::string sharedObjectName(const char *fileName)
{
    std::string name(fileName);
    if (name.find('/') != std::string::npos)
        return name;
    const std::string dll = ".dll";
    if (name.size() > dll.size() && strcasecmp(name.c_str() + name.size() - dll.size(), dll.c_str()) == 0)
        return "lib" + name.substr(0, name.size() - dll.size()) + ".so";
    return name;
}

// The folder of the running executable, with a trailing '/'; empty if unknown.
std::string executableFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    path[length] = '\0';
    const char *slash = strrchr(path, '/');
    return slash == nullptr ? std::string() : std::string(path, size_t(slash - path) + 1);
}

} // namespace

HMODULE LoadLibraryA(const char *fileName)
{
    if (fileName == nullptr)
        return nullptr;
    // RTLD_NODELETE: a library built on Qt leaves meta-object references in
    // Qt's registries; unmapping its code on FreeLibrary would leave them
    // dangling until exit.
    constexpr int flags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
    const std::string name = sharedObjectName(fileName);
    // The library beside the executable comes first, as RUNPATH $ORIGIN would
    // have it; asked for here because a sanitizer runtime that intercepts
    // dlopen makes the loader search its own paths instead of ours.
    if (name.find('/') == std::string::npos) {
        const std::string besideExecutable = executableFolder() + name;
        if (access(besideExecutable.c_str(), F_OK) == 0)
            if (HMODULE module = dlopen(besideExecutable.c_str(), flags))
                return module;
    }
    return dlopen(name.c_str(), flags);
}

void *GetProcAddress(HMODULE module, const char *procName)
{
    if (module == nullptr || procName == nullptr)
        return nullptr;
    return dlsym(module, procName);
}

int FreeLibrary(HMODULE module)
{
    return module != nullptr && dlclose(module) == 0;
}

uint32_t GetLastError()
{
    return static_cast<uint32_t>(errno);
}

void SetLastError(uint32_t code)
{
    errno = static_cast<int>(code);
}

int QueryPerformanceCounter(int64_t *count)
{
    timespec now{};
    if (count == nullptr || clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return 0;
    *count = int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    return 1;
}

int64_t MonotonicMicros()
{
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    return now;
}

int QueryPerformanceFrequency(int64_t *frequency)
{
    if (frequency == nullptr)
        return 0;
    *frequency = 1000000;
    return 1;
}

EVENT_HANDLE CreateCountingEvent()
{
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
    return fd > 0 ? fd : NO_EVENT;
}

int SetEvent(EVENT_HANDLE event)
{
    return ReleaseSemaphore(event, 1);
}

int ReleaseSemaphore(EVENT_HANDLE event, uint32_t count)
{
    if (event <= 0 || count == 0)
        return 0;
    const uint64_t added = count;
    return write(event, &added, sizeof added) == sizeof added;
}

uint32_t WaitForSingleObject(EVENT_HANDLE event, uint32_t milliseconds)
{
    if (event <= 0)
        return WAIT_FAILED;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        uint64_t count = 0;
        if (read(event, &count, sizeof count) == sizeof count)
            return WAIT_OBJECT_0;
        if (errno != EAGAIN && errno != EINTR)
            return WAIT_FAILED;

        int timeoutMs = -1;
        if (milliseconds != INFINITE) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const int64_t elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
            if (elapsed >= milliseconds)
                return WAIT_TIMEOUT;
            timeoutMs = int(milliseconds - elapsed);
        }
        pollfd p{event, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno != EINTR)
            return WAIT_FAILED;
        if (ready > 0 && (p.revents & (POLLERR | POLLNVAL)))
            return WAIT_FAILED;
        // Readable, timed out or interrupted: the loop re-reads and
        // re-checks the clock. Another waiter may have taken the count.
    }
}

int CloseHandle(EVENT_HANDLE event)
{
    return event > 0 && close(event) == 0;
}

void Sleep(uint32_t milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PinTimeZone()
{
    // Not overwritten: a TZ the user set stays.
    setenv("TZ", ":/etc/localtime", 0);
    // Read once here, before any thread: the C library's first reading of
    // the zone is not safe against another thread's local time call.
    tzset();
}
