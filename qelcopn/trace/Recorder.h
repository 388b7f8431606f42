// One recording: frames handed over by the I/O thread through a bounded
// queue, written by a thread of its own as NAME.log (candump) with the
// session in NAME.json beside it. The I/O thread never waits on the disk:
// a full queue or a failing write loses frames, and they are counted.
#pragma once

#include "SpscQueue.h"
#include "trace/TraceFiles.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qelcopn::trace {

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
    uint64_t framesWritten() const { return writer_.framesWritten(); }
    uint64_t framesLost() const { return writer_.framesLost() + lost_.load(std::memory_order_relaxed); }
    uint64_t bytesWritten() const { return writer_.bytesWritten(); }
    int lastError() const { return writer_.lastError(); }

private:
    struct Queued {
        CanFrame frame;
        int64_t micros;
        bool sent;
    };

    Recorder(std::string path, const SessionInfo &info, int fd);
    void run();
    // Takes everything queued to the file.
    void drain();
    bool writeSession(bool finished);

    const std::string path_;
    const SessionInfo info_;
    int fd_;
    int64_t startWallMicros_;
    int64_t endWallMicros_ = 0;
    LogWriter writer_; // the writer thread's, after start

    SpscQueue<Queued> queue_{kQueueCapacity};
    std::atomic<uint64_t> lost_{0}; // a full queue

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false; // under mutex_
    bool stopped_ = false;  // the owner's thread
    std::thread thread_;
};

} // namespace qelcopn::trace
