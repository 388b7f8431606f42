#include "IoThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

IoThread::~IoThread()
{
    stop();
}

bool IoThread::start()
{
    std::unique_lock lock(mutex_);
    if (running_)
        return true;
    if (thread_.joinable())
        return false; // stopping
    thread_ = std::thread([this] { main(); });
    started_.wait(lock, [this] { return running_; });
    return true;
}

void IoThread::stop()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_ && !thread_.joinable())
            return;
        running_ = false;
        if (loop_ != nullptr)
            QMetaObject::invokeMethod(context_, [loop = loop_] { loop->quit(); }, Qt::QueuedConnection);
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

bool IoThread::inThisThread() const
{
    return thread_.get_id() == std::this_thread::get_id();
}

bool IoThread::post(std::function<void()> fn)
{
    std::lock_guard lock(mutex_);
    if (!running_)
        return false;
    tasks_.push_back(std::move(fn));
    if (!scheduled_) {
        scheduled_ = true;
        QMetaObject::invokeMethod(context_, [this] { drain(); }, Qt::QueuedConnection);
    }
    return true;
}

void IoThread::drain()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
        scheduled_ = false;
    }
    for (auto &task : tasks)
        task();
}

void IoThread::main()
{
    // A host without Qt (a ctypes script, a plain C program) gets an
    // application object here, owned by this thread.
    static int argc = 1;
    static char name[] = "QEL_COPN";
    static char *argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> ownApplication;
    if (QCoreApplication::instance() == nullptr)
        ownApplication = std::make_unique<QCoreApplication>(argc, argv);
    {
        QEventLoop loop;
        QObject context;
        {
            std::lock_guard lock(mutex_);
            loop_ = &loop;
            context_ = &context;
            running_ = true;
        }
        started_.notify_all();
        loop.exec();
        // Work posted before the stop still runs, so that no caller waits
        // for ever on its result.
        drain();
        std::lock_guard lock(mutex_);
        loop_ = nullptr;
        context_ = nullptr;
    }
    ownApplication.reset();
}
