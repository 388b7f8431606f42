#include "Platform.h"
#include "Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

namespace {

TEST(Platform, LoadLibraryMapsDllNameBesideTheExecutableAndFailsCleanlyWhenAbsent)
{
    // "platform_probe.dll" is libplatform_probe.so, found beside this test
    // and nowhere on the loader's path.
    HMODULE probe = LoadLibraryA("platform_probe.DLL");
    ASSERT_NE(probe, nullptr) << "the .dll name was not mapped, or not looked for beside the executable";
    const auto answer = reinterpret_cast<int (*)()>(GetProcAddress(probe, "platform_probe_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(probe, "no_such_export_anywhere"), nullptr);
    EXPECT_TRUE(FreeLibrary(probe));

    EXPECT_EQ(LoadLibraryA("surely_not_here.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "strlen"), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(Platform, LastErrorIsPerThreadErrno)
{
    SetLastError(0x20000000);
    EXPECT_EQ(GetLastError(), 0x20000000u);
    std::atomic<uint32_t> seen{1};
    std::thread([&] { seen = GetLastError(); }).join();
    EXPECT_EQ(seen.load(), 0u);
}

TEST(Platform, CounterIsMonotonicMicroseconds)
{
    int64_t frequency = 0, a = 0, b = 0;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency, 1000000);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    Sleep(2);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_GE(b - a, 2000);
}

TEST(Platform, CountingEventGivesOneWakePerSignal)
{
    EVENT_HANDLE event = CreateCountingEvent();
    ASSERT_GT(event, 0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(SetEvent(event));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);

    std::thread signaller([event] { Sleep(20); SetEvent(event); });
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    signaller.join();
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Platform, ReleasingManyAtOnceGivesAsManyWakesOneAtATime)
{
    EVENT_HANDLE event = CreateCountingEvent();
    ASSERT_GT(event, 0);
    EXPECT_FALSE(ReleaseSemaphore(event, 0));
    ASSERT_TRUE(ReleaseSemaphore(event, 5));
    ASSERT_TRUE(SetEvent(event));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "wait " << i;
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(ReleaseSemaphore(NO_EVENT, 3));
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Platform, WaitOnNoEventFailsAtOnce)
{
    EXPECT_EQ(WaitForSingleObject(NO_EVENT, 500), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(0, 500), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(NO_EVENT));
}

class CountingThread : public TThread {
public:
    // `endedFirst`, when given, learns as the members go whether Execute had
    // already returned.
    explicit CountingThread(bool suspended, bool *endedFirst = nullptr)
        : TThread(suspended), witness{this, endedFirst}
    {
        AfterConstruction();
    }
    ~CountingThread() override { BeforeDestruction(); }
    std::atomic<int> passes{0};

protected:
    void Execute() override
    {
        while (!Terminated()) {
            ++passes;
            Sleep(1);
        }
    }

private:
    struct Witness {
        const TThread *owner;
        bool *endedFirst;
        ~Witness()
        {
            if (endedFirst != nullptr)
                *endedFirst = owner->Finished();
        }
    } witness;
};

TEST(Thread, SuspendedThreadRunsOnlyAfterResume)
{
    CountingThread thread(true);
    EXPECT_TRUE(thread.Suspended());
    Sleep(20);
    EXPECT_EQ(thread.passes.load(), 0);
    thread.Resume();
    EXPECT_FALSE(thread.Suspended());
    while (thread.passes.load() == 0)
        Sleep(1);
    thread.Resume(); // on a running thread: nothing
    thread.Terminate();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
}

TEST(Thread, DeletingARunningThreadEndsItsBodyBeforeItsMembersGo)
{
    bool endedFirst = false;
    auto *thread = new CountingThread(false, &endedFirst);
    while (thread->passes.load() == 0)
        Sleep(1);
    delete thread;
    EXPECT_TRUE(endedFirst);
}

TEST(Thread, NeverResumedThreadIsDestroyedWithoutRunning)
{
    auto *thread = new CountingThread(true);
    thread->Terminate();
    EXPECT_EQ(thread->WaitFor(), 0u);
    EXPECT_EQ(thread->passes.load(), 0);
    delete thread;
}

} // namespace
