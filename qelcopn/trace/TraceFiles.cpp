#include "trace/TraceFiles.h"

#include "Platform.h"
#include "QEL_COPN.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace qelcopn::trace {

namespace {

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

} // namespace

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

int64_t wallMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

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

std::string sessionPathFor(const std::string &logPath)
{
    std::string path(logPath.size() + sizeof ".json", '\0');
    QELCOPN_SessionPath(logPath.c_str(), path.data(), path.size());
    path.resize(std::strlen(path.c_str()));
    return path;
}

bool writeSessionFile(const std::string &logPath, const SessionInfo &info, const SessionSpan &span)
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
    field("interface_kind", std::to_string(info.interfaceKind));
    field("interface_name", jsonString(info.interfaceName));
    field("access_point", jsonString(info.accessPoint));
    field("channel", jsonString(channelFor(info.accessPoint)));
    if (info.bitrate != 0)
        field("bitrate", std::to_string(info.bitrate));
    field("own_node_id", std::to_string(info.ownNodeId));
    field("start", jsonString(isoUtc(span.startWallMicros)));
    if (span.endWallMicros != 0)
        field("end", jsonString(isoUtc(span.endWallMicros)));
    field("frames_written", std::to_string(span.framesWritten));
    field("frames_lost", std::to_string(span.framesLost));
    json.resize(json.size() - 2); // the last comma
    json += "\n}\n";

    const std::string target = sessionPathFor(logPath);
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
        errno = failure;
        return false;
    }
    return true;
}

LogWriter::LogWriter(int fd, const std::string &accessPoint, int64_t wallOffsetMicros)
    : fd_(fd)
    , channel_(channelFor(accessPoint))
    , wallOffsetMicros_(wallOffsetMicros)
{
}

void LogWriter::add(const CanFrame &frame, int64_t micros, bool sent)
{
    if (used_ + kMaxLine > sizeof chunk_)
        flush();
    const TraceRecord record{frame, micros + wallOffsetMicros_, sent};
    used_ += formatLine(record, channel_, chunk_ + used_);
    ++pending_;
}

bool LogWriter::flush()
{
    if (pending_ == 0)
        return true;
    const size_t size = used_;
    const uint64_t frames = pending_;
    used_ = 0;
    pending_ = 0;
    if (writeAll(fd_, chunk_, size)) {
        goodOffset_ += size;
        written_.fetch_add(frames, std::memory_order_relaxed);
        bytes_.fetch_add(size, std::memory_order_relaxed);
        return true;
    }
    const int error = errno;
    lastError_.store(error, std::memory_order_relaxed);
    lost_.fetch_add(frames, std::memory_order_relaxed);
    if (::ftruncate(fd_, off_t(goodOffset_)) == 0)
        ::lseek(fd_, off_t(goodOffset_), SEEK_SET);
    errno = error;
    return false;
}

} // namespace qelcopn::trace
