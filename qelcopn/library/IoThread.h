// The library's I/O thread: it owns every QtSerialBus device and runs its
// own Qt event loop. Other threads hand it work with post() or call(); the
// hand-off goes through a mutex-guarded queue so that the ordering is
// visible to ThreadSanitizer, not only to Qt.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

class QEventLoop;
class QObject;

class IoThread {
public:
    IoThread() = default;
    ~IoThread(); // stops
    IoThread(const IoThread &) = delete;
    IoThread &operator=(const IoThread &) = delete;

    // Starts the thread and returns when its event loop runs. Creates a
    // QCoreApplication there when the host process has none.
    bool start();
    // Runs what was posted, ends the loop and joins the thread.
    void stop();
    bool inThisThread() const;

    // False when the thread does not run: fn is then dropped unrun.
    bool post(std::function<void()> fn);

    // Runs fn in the I/O thread and waits for its result; `failed` when the
    // thread does not run.
    template <typename Result, typename Fn>
    Result call(Fn &&fn, Result failed)
    {
        if (inThisThread())
            return fn();
        auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Fn>(fn));
        std::future<Result> result = task->get_future();
        if (!post([task] { (*task)(); }))
            return failed;
        return result.get();
    }

private:
    void main();
    void drain();

    std::thread thread_;
    std::atomic<std::thread::id> id_{};
    std::mutex joinMutex_;
    bool draining_ = false; // the I/O thread's alone
    std::mutex mutex_;
    std::condition_variable started_;
    bool running_ = false;
    bool scheduled_ = false;
    std::deque<std::function<void()>> tasks_;
    QObject *context_ = nullptr;
    QEventLoop *loop_ = nullptr;
};
