#include "FreeLibrarySpy.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<int> callCount{0};
std::mutex observerMutex;
std::function<void(HMODULE)> observer;
} // namespace

int FreeLibraryCallCount()
{
    return callCount.load();
}

void OnFreeLibrary(std::function<void(HMODULE)> newObserver)
{
    std::lock_guard lock(observerMutex);
    observer = std::move(newObserver);
}

// The linker's names for int FreeLibrary(void *).
extern "C" int __real__Z11FreeLibraryPv(HMODULE module);

extern "C" int __wrap__Z11FreeLibraryPv(HMODULE module)
{
    ++callCount;
    {
        std::lock_guard lock(observerMutex);
        if (observer)
            observer(module);
    }
    return __real__Z11FreeLibraryPv(module);
}
