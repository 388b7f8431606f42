// One recording: frames handed over by the I/O thread through a bounded
// queue, written by a thread of its own as NAME.log (candump) with the
// session in NAME.json beside it. The I/O thread never waits on the disk:
// a full queue or a failing write loses frames, and they are counted.
#pragma once

#include "CandumpLine.h"
#include "SpscQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace trace {

// What the session file tells about where the frames came from.
struct SessionInfo {
    uint32_t interfaceKind = 0;
    std::string interfaceName; // "Virtual CAN", ...
    std::string accessPoint;
    uint32_t bitrate = 0;      // 0: as the interface had it
    uint8_t ownNodeId = 0;
};

class Recorder {
public:
    static constexpr size_t kQueueCapacity = 1 << 16;

    ~Recorder();

    // Creates (truncates) path and writes the session file; nullptr with
    // errno set when either cannot be written.
    static std::unique_ptr<Recorder> start(const std::string &path, const SessionInfo &info);

    // The producer, one thread only. micros: the monotonic µs stamp.
    void add(const CanFrame &frame, int64_t micros, bool sent)
    {
        if (!queue_.push({frame, micros, sent}))
            lost_.fetch_add(1, std::memory_order_relaxed);
    }

    // Writes what is queued, closes the log and completes the session file.
    // Once only; the producer must have stopped adding.
    void stop();

    const std::string &path() const { return path_; }
    uint64_t framesWritten() const { return written_.load(std::memory_order_relaxed); }
    uint64_t framesLost() const { return lost_.load(std::memory_order_relaxed); }
    uint64_t bytesWritten() const { return bytes_.load(std::memory_order_relaxed); }
    int lastError() const { return lastError_.load(std::memory_order_relaxed); }

private:
    struct Queued {
        CanFrame frame;
        int64_t micros;
        bool sent;
    };

    Recorder(std::string path, const SessionInfo &info, int fd);
    void run();
    // Takes everything queued to the file; false when nothing was queued.
    bool drain();
    void writeChunk(const char *data, size_t size, uint64_t frames);
    bool writeSession(bool finished);

    const std::string path_;
    const SessionInfo info_;
    const std::string channel_;
    int fd_;
    int64_t wallOffsetMicros_; // wall clock minus monotonic, at start
    int64_t startWallMicros_;
    int64_t endWallMicros_ = 0;
    uint64_t goodOffset_ = 0; // writer thread: the file up to the last whole line

    SpscQueue<Queued> queue_{kQueueCapacity};
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> lost_{0};
    std::atomic<uint64_t> bytes_{0};
    std::atomic<int> lastError_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false; // under mutex_
    bool stopped_ = false;  // the owner's thread
    std::thread thread_;
};

// The channel name of a recording for an access point: its last path
// element ("can0" of "tcp://127.0.0.1:35468/can0"), "can0" when none.
std::string channelFor(const std::string &accessPoint);

} // namespace trace
