// What every recording on disk shares, whether it was written as the bus
// ran or taken from the black box afterwards: the .log made of whole
// candump lines only, and the .json session file beside it.
#pragma once

#include "trace/CandumpLine.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace qelcopn::trace {

// What the session file tells about where the frames came from.
struct SessionInfo {
    uint32_t interfaceKind = 0;
    std::string interfaceName; // "Virtual CAN", ...
    std::string accessPoint;
    uint32_t bitrate = 0;      // 0: as the interface had it
    uint8_t ownNodeId = 0;
};

// What the session file tells about the frames themselves.
struct SessionSpan {
    int64_t startWallMicros = 0;
    int64_t endWallMicros = 0; // 0: not finished yet
    uint64_t framesWritten = 0;
    uint64_t framesLost = 0;
};

int64_t wallMicros();

// All of data into fd, through short writes and signals; false with errno
// set (EIO for a write that took nothing).
bool writeAll(int fd, const char *data, size_t size);

// The channel name of a recording for an access point: its last path
// element ("can0" of "tcp://127.0.0.1:35468/can0"), "can0" when none.
std::string channelFor(const std::string &accessPoint);

// The session file beside a recording (QELCOPN_SessionPath).
std::string sessionPathFor(const std::string &logPath);

// Writes the session file beside logPath through a temporary name, so a
// crash leaves the old file or the new one; false with errno set.
bool writeSessionFile(const std::string &logPath, const SessionInfo &info, const SessionSpan &span);

// Frames into an open .log, in chunks. A failed write loses that chunk's
// frames, counted, and cuts the file back to its last whole line, so that
// later writes, once there is room again, stay readable. One thread only;
// the counts may be read from any.
class LogWriter {
public:
    // wallOffsetMicros: wall clock minus the monotonic clock of the stamps.
    LogWriter(int fd, const std::string &accessPoint, int64_t wallOffsetMicros);

    void add(const CanFrame &frame, int64_t micros, bool sent);
    // Writes what add gathered; false when that failed.
    bool flush();

    uint64_t framesWritten() const { return written_.load(std::memory_order_relaxed); }
    uint64_t framesLost() const { return lost_.load(std::memory_order_relaxed); }
    uint64_t bytesWritten() const { return bytes_.load(std::memory_order_relaxed); }
    int lastError() const { return lastError_.load(std::memory_order_relaxed); }
    void countLost(uint64_t frames) { lost_.fetch_add(frames, std::memory_order_relaxed); }
    void setLastError(int error) { lastError_.store(error, std::memory_order_relaxed); }
    const std::string &channel() const { return channel_; }

private:
    static constexpr size_t kChunkBytes = 64 * 1024;

    const int fd_;
    const std::string channel_;
    const int64_t wallOffsetMicros_;
    uint64_t goodOffset_ = 0; // the file up to the last whole line
    char chunk_[kChunkBytes];
    size_t used_ = 0;
    uint64_t pending_ = 0; // frames in chunk_
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> lost_{0};
    std::atomic<uint64_t> bytes_{0};
    std::atomic<int> lastError_{0};
};

} // namespace qelcopn::trace
