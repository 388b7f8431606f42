// A worker-thread base in the manner of the framework's TThread: created
// running or suspended, Execute() as the body, a Terminated flag the body
// polls, Resume, Terminate and WaitFor.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class TThread {
public:
    explicit TThread(bool createSuspended);
    TThread(const TThread &) = delete;
    TThread &operator=(const TThread &) = delete;
    // Joins a thread that still runs; see BeforeDestruction.
    virtual ~TThread();

    // Starts a thread that was created suspended; does nothing otherwise.
    void Resume();
    void Terminate();
    // Waits until Execute has returned; returns at once for a thread that
    // never ran. Must not be called from the thread itself.
    uint32_t WaitFor();

    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    bool Suspended() const { return suspended_.load(std::memory_order_acquire); }
    bool Finished() const { return finished_.load(std::memory_order_acquire); }

    static void Sleep(uint32_t milliseconds);

protected:
    virtual void Execute() = 0;
    // The body may only start once the most-derived object is complete, so
    // each final class calls this last in its constructor. A thread created
    // running starts here; a suspended one waits for Resume.
    void AfterConstruction();
    // Its counterpart: each final class calls it first in its destructor.
    // By the time the base destructor runs the derived members are gone and
    // Execute would be running on half an object, so the thread is
    // terminated and joined while the whole object still exists.
    void BeforeDestruction();

private:
    void start();

    std::mutex lifecycle_;
    std::thread thread_;
    std::atomic<bool> createSuspended_;
    std::atomic<bool> constructed_{false};
    std::atomic<bool> suspended_{true};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
};
