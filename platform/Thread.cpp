#include "Thread.h"

#include "Platform.h"

TThread::TThread(bool createSuspended) : createSuspended_(createSuspended) {}

TThread::~TThread()
{
    BeforeDestruction();
}

void TThread::BeforeDestruction()
{
    Terminate();
    WaitFor();
}

void TThread::AfterConstruction()
{
    constructed_.store(true, std::memory_order_release);
    if (!createSuspended_.load(std::memory_order_acquire))
        start();
}

void TThread::Resume()
{
    if (constructed_.load(std::memory_order_acquire))
        start();
    else
        createSuspended_.store(false, std::memory_order_release);
}

void TThread::start()
{
    std::lock_guard<std::mutex> lock(lifecycle_);
    if (thread_.joinable() || !suspended_.load(std::memory_order_acquire))
        return;
    suspended_.store(false, std::memory_order_release);
    thread_ = std::thread([this] {
        Execute();
        finished_.store(true, std::memory_order_release);
    });
}

void TThread::Terminate()
{
    terminated_.store(true, std::memory_order_release);
}

uint32_t TThread::WaitFor()
{
    std::lock_guard<std::mutex> lock(lifecycle_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
    return 0;
}

void TThread::Sleep(uint32_t milliseconds)
{
    ::Sleep(milliseconds);
}
