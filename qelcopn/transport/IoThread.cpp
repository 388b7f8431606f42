#include "transport/IoThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

#include <memory>

namespace qelcopn {

// Lives in the I/O thread; its one event means "tasks are waiting".
class IoThreadWake : public QObject {
public:
    explicit IoThreadWake(IoThread &owner) : owner_(owner) {}

protected:
    void customEvent(QEvent *) override { owner_.drain(); }

private:
    IoThread &owner_;
};

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
    thread_ = std::thread([this] {
        id_.store(std::this_thread::get_id(), std::memory_order_release);
        main();
    });
    started_.wait(lock, [this] { return running_; });
    return true;
}

void IoThread::stop()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_ && !thread_.joinable())
            return;
        if (running_) {
            running_ = false;
            // Queued behind what was posted before, so that all of it runs.
            tasks_.push_back([loop = loop_] { loop->quit(); });
            wake();
        }
    }
    // One stop joins; the thread object is not touched while another does.
    std::lock_guard join(joinMutex_);
    if (thread_.joinable() && !inThisThread())
        thread_.join();
}

bool IoThread::inThisThread() const
{
    return id_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

bool IoThread::post(std::function<void()> fn)
{
    std::lock_guard lock(mutex_);
    if (!running_)
        return false;
    tasks_.push_back(std::move(fn));
    wake();
    return true;
}

void IoThread::wake()
{
    if (scheduled_ || context_ == nullptr)
        return;
    scheduled_ = true;
    QCoreApplication::postEvent(context_, new QEvent(QEvent::User));
}

void IoThread::drain()
{
    // A task that waits in a nested event loop (a device connecting) must
    // not have other tasks run underneath it: one of them could close the
    // very interface it works on. They wait until it returns.
    if (draining_)
        return;
    draining_ = true;
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
        scheduled_ = false;
    }
    for (auto &task : tasks)
        task();
    draining_ = false;
    std::lock_guard lock(mutex_);
    // A wake that came while a task waited in a nested loop was spent on
    // the early return above: what it announced is still queued.
    scheduled_ = false;
    if (!tasks_.empty())
        wake();
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
        IoThreadWake context(*this);
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

} // namespace qelcopn
