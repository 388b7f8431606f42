#include "trace/Recorder.h"

#include "Platform.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace qelcopn::trace {

namespace {

// The log reaches the kernel this often, well inside the second a crash
// may cost.
constexpr auto kWritePeriod = std::chrono::milliseconds(100);

int64_t wallOffsetNow()
{
    const int64_t mono = MonotonicMicros();
    return wallMicros() - mono;
}

} // namespace

Recorder::Recorder(std::string path, const SessionInfo &info, int fd)
    : path_(std::move(path))
    , info_(info)
    , fd_(fd)
    , startWallMicros_(wallMicros())
    , writer_(fd, info.accessPoint, wallOffsetNow())
{
}

Recorder::~Recorder()
{
    stop();
}

std::unique_ptr<Recorder> Recorder::start(const std::string &path, const SessionInfo &info)
{
    if (path.empty()) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<Recorder> recorder(new Recorder(path, info, fd));
    if (!recorder->writeSession(false)) {
        const int error = errno;
        ::close(fd);
        recorder->fd_ = -1;
        recorder->stopped_ = true;
        ::unlink(path.c_str());
        errno = error;
        return nullptr;
    }
    recorder->thread_ = std::thread([r = recorder.get()] { r->run(); });
    return recorder;
}

void Recorder::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    ::close(fd_);
    fd_ = -1;
    endWallMicros_ = wallMicros();
    writeSession(true);
}

void Recorder::run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kWritePeriod);
        lock.unlock();
        drain();
        lock.lock();
    }
    lock.unlock();
    // The producer has stopped by now: what is left is the last of it.
    drain();
}

void Recorder::drain()
{
    Queued q;
    while (queue_.pop(&q))
        writer_.add(q.frame, q.micros, q.sent);
    writer_.flush();
}

bool Recorder::writeSession(bool finished)
{
    const SessionSpan span{startWallMicros_, finished ? endWallMicros_ : 0, framesWritten(), framesLost()};
    if (writeSessionFile(path_, info_, span))
        return true;
    writer_.setLastError(errno);
    return false;
}

} // namespace qelcopn::trace
