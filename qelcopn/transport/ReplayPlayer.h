// A recording played as if a bus delivered it: frames handed on in the
// owner's thread, each at the time it is due, stamped with that time. The
// library plays a recording as the frames it receives, the simulator as the
// frames it sends. Lives in, and is used only from, a thread that runs a Qt
// event loop.
#pragma once

#include "protocol/CanFrame.h"
#include "trace/ReplayClock.h"
#include "trace/ReplayFile.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

namespace qelcopn {

class ReplayPlayer : public QObject {
public:
    // Frames handed on in one go before the event loop runs again, so that
    // as fast as possible still lets the thread do its other work.
    static constexpr int kBatch = 256;
    static constexpr int kRoomWaitMs = 1;

    struct Settings {
        uint32_t speed = 0; // as ReplayClock takes it
        bool loop = false;
    };
    // dueMicros: the monotonic microsecond time the frame is due at.
    using FrameHandler = std::function<void(const CanFrame &frame, int64_t dueMicros)>;
    // What the player asks of, and tells, its owner.
    struct Hooks {
        // The skipped lines so far, each time the count grows.
        std::function<void(uint64_t lines)> skipped;
        // As fast as possible, a batch waits until this holds: the receivers'
        // queues have room, so that nothing is dropped for going too fast.
        std::function<bool()> hasRoom;
    };

    // nullptr with the reason in *error when the file is not a replayable
    // recording (see ReplayFile::check).
    static std::unique_ptr<ReplayPlayer> open(const QString &path, const Settings &settings, QString *error);

    void setFrameHandler(FrameHandler handler) { frameHandler_ = std::move(handler); }
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }
    // Called once when the file has been played to its end (never while
    // looping); the player must outlive the call.
    void setEndHandler(std::function<void()> handler) { endHandler_ = std::move(handler); }

    // Called after each run of frames handed on in one go.
    void setBatchEndHandler(std::function<void()> handler) { batchEndHandler_ = std::move(handler); }

    // Plays from the first frame; again only after the end.
    void start();
    bool playing() const { return playing_; }
    uint64_t framesPlayed() const { return framesPlayed_; }
    const trace::ReplayFile &file() const { return *file_; }

private:
    ReplayPlayer(std::unique_ptr<trace::ReplayFile> file, const Settings &settings);
    void play();
    void playBatch();
    // The next frame into pending_; false at the end of the recording.
    bool fetch(int64_t now);
    void reportSkipped();

    std::unique_ptr<trace::ReplayFile> file_;
    Settings settings_;
    trace::ReplayClock clock_;
    QTimer timer_;
    bool playing_ = false;
    bool havePending_ = false;
    trace::TraceRecord pending_;
    int64_t pendingDue_ = 0;
    uint64_t framesPlayed_ = 0;
    uint64_t framesThisPass_ = 0;
    uint64_t skippedReported_ = 0;
    FrameHandler frameHandler_;
    Hooks hooks_;
    std::function<void()> endHandler_;
    std::function<void()> batchEndHandler_;
};

} // namespace qelcopn
