#include "Recorder.h"

#include "Platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace trace {

namespace {

// The log reaches the kernel this often, well inside the second a crash
// may cost.
constexpr auto kWritePeriod = std::chrono::milliseconds(100);
constexpr size_t kChunkBytes = 64 * 1024;

int64_t monotonicMicros()
{
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    return now;
}

int64_t wallMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string isoUtc(int64_t micros)
{
    const time_t seconds = time_t(micros / 1000000);
    tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, int(micros / 1000 % 1000));
    return text;
}

std::string jsonString(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::string sessionPathFor(const std::string &logPath)
{
    const size_t slash = logPath.rfind('/');
    const size_t dot = logPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? logPath.substr(0, dot) : logPath) + ".json";
}

} // namespace

std::string channelFor(const std::string &accessPoint)
{
    const std::string last = accessPoint.substr(accessPoint.rfind('/') + 1);
    std::string name;
    for (char c : last)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
            || c == '.')
            name += c;
    return name.empty() ? "can0" : name.substr(0, kMaxChannel);
}

Recorder::Recorder(std::string path, const SessionInfo &info, int fd)
    : path_(std::move(path))
    , info_(info)
    , channel_(channelFor(info.accessPoint))
    , fd_(fd)
{
    const int64_t mono = monotonicMicros();
    startWallMicros_ = wallMicros();
    wallOffsetMicros_ = startWallMicros_ - mono;
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
        while (drain()) {
        }
        lock.lock();
    }
    lock.unlock();
    // The producer has stopped by now: what is left is the last of it.
    while (drain()) {
    }
}

bool Recorder::drain()
{
    char chunk[kChunkBytes];
    size_t used = 0;
    uint64_t frames = 0;
    Queued q;
    while (used + kMaxLine <= sizeof chunk && queue_.pop(&q)) {
        TraceRecord record{q.frame, q.micros + wallOffsetMicros_, q.sent};
        used += formatLine(record, channel_, chunk + used);
        ++frames;
    }
    if (frames == 0)
        return false;
    writeChunk(chunk, used, frames);
    return true;
}

void Recorder::writeChunk(const char *data, size_t size, uint64_t frames)
{
    if (writeAll(fd_, data, size)) {
        goodOffset_ += size;
        written_.fetch_add(frames, std::memory_order_relaxed);
        bytes_.fetch_add(size, std::memory_order_relaxed);
        return;
    }
    lastError_.store(errno, std::memory_order_relaxed);
    lost_.fetch_add(frames, std::memory_order_relaxed);
    // A part of a line would run into the next chunk's first: the file goes
    // back to its last whole line, so later writes, once there is room
    // again, stay readable.
    if (::ftruncate(fd_, off_t(goodOffset_)) == 0)
        ::lseek(fd_, off_t(goodOffset_), SEEK_SET);
}

bool Recorder::writeSession(bool finished)
{
    std::string json = "{\n";
    auto field = [&json](const char *key, const std::string &value) {
        json += "  \"";
        json += key;
        json += "\": ";
        json += value;
        json += ",\n";
    };
    field("tool", jsonString("Tarnwick QEL_COPN"));
    field("version", jsonString(TARNWICK_VERSION));
    field("interface_kind", std::to_string(info_.interfaceKind));
    field("interface_name", jsonString(info_.interfaceName));
    field("access_point", jsonString(info_.accessPoint));
    field("channel", jsonString(channel_));
    if (info_.bitrate != 0)
        field("bitrate", std::to_string(info_.bitrate));
    field("own_node_id", std::to_string(info_.ownNodeId));
    field("start", jsonString(isoUtc(startWallMicros_)));
    if (finished)
        field("end", jsonString(isoUtc(endWallMicros_)));
    field("frames_written", std::to_string(framesWritten()));
    field("frames_lost", std::to_string(framesLost()));
    json.resize(json.size() - 2); // the last comma
    json += "\n}\n";

    const std::string target = sessionPathFor(path_);
    const std::string temporary = target + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = writeAll(fd, json.data(), json.size()) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int failure = ok ? errno : error;
        ::unlink(temporary.c_str());
        lastError_.store(failure, std::memory_order_relaxed);
        errno = failure;
        return false;
    }
    return true;
}

} // namespace trace
