// A thread with its own Qt event loop: the library's I/O thread, which owns
// every QtSerialBus device, and the far end of the bus in tests. Other
// threads hand it work with post() or call().
//
// Every hand-off goes through a mutex-guarded queue and every result comes
// back under a mutex, so the ordering is one ThreadSanitizer can see: Qt
// orders its own queued calls with locks the sanitizer cannot see into,
// and a functor handed through Qt would look like a race. Qt is only asked
// to wake the thread, with an event that carries nothing.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class QEventLoop;
class QObject;

namespace qelcopn {

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
        struct Outcome {
            std::mutex mutex;
            std::condition_variable done;
            std::optional<Result> result;
        };
        auto outcome = std::make_shared<Outcome>();
        const bool posted = post([outcome, fn = std::forward<Fn>(fn)]() mutable {
            Result result = fn();
            std::lock_guard lock(outcome->mutex);
            outcome->result.emplace(std::move(result));
            outcome->done.notify_all();
        });
        if (!posted)
            return failed;
        std::unique_lock lock(outcome->mutex);
        outcome->done.wait(lock, [&] { return outcome->result.has_value(); });
        return std::move(*outcome->result);
    }

private:
    friend class IoThreadWake;
    void main();
    void drain();
    void wake(); // with mutex_ held

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

} // namespace qelcopn
