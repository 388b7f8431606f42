#include "transport/ReplayPlayer.h"

#include "Platform.h"

#include <algorithm>

namespace qelcopn {

std::unique_ptr<ReplayPlayer> ReplayPlayer::open(const QString &path, const Settings &settings, QString *error)
{
    std::string message;
    std::unique_ptr<trace::ReplayFile> file = trace::ReplayFile::open(path.toStdString(), &message);
    if (!file) {
        if (error != nullptr)
            *error = QString::fromStdString(message);
        return nullptr;
    }
    return std::unique_ptr<ReplayPlayer>(new ReplayPlayer(std::move(file), settings));
}

ReplayPlayer::ReplayPlayer(std::unique_ptr<trace::ReplayFile> file, const Settings &settings)
    : file_(std::move(file))
    , settings_(settings)
    , clock_(settings.speed)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ReplayPlayer::play);
}

void ReplayPlayer::start()
{
    if (playing_)
        return;
    if (framesPlayed_ != 0 || havePending_) {
        file_->rewind();
        havePending_ = false;
    }
    playing_ = true;
    framesThisPass_ = 0;
    clock_.start(MonotonicMicros());
    play();
}

bool ReplayPlayer::fetch(int64_t now)
{
    if (file_->next(&pending_)) {
        pendingDue_ = clock_.due(pending_.wallMicros, now);
        havePending_ = true;
        return true;
    }
    // A pass without a single frame would loop for ever without a pause.
    if (!settings_.loop || framesThisPass_ == 0 || !file_->rewind())
        return false;
    framesThisPass_ = 0;
    clock_.start(now);
    if (!file_->next(&pending_))
        return false;
    pendingDue_ = clock_.due(pending_.wallMicros, now);
    havePending_ = true;
    return true;
}

void ReplayPlayer::play()
{
    playBatch();
    if (batchEndHandler_)
        batchEndHandler_();
}

void ReplayPlayer::playBatch()
{
    if (clock_.asFastAsPossible() && hooks_.hasRoom && !hooks_.hasRoom()) {
        timer_.start(kRoomWaitMs);
        return;
    }
    for (int handed = 0; handed < kBatch; ++handed) {
        const int64_t now = MonotonicMicros();
        if (!havePending_ && !fetch(now)) {
            reportSkipped();
            playing_ = false;
            if (endHandler_)
                endHandler_();
            return;
        }
        if (pendingDue_ > now) {
            reportSkipped();
            // Whole milliseconds, rounded up: woken early, nothing would
            // be due and the loop would spin.
            timer_.start(int(std::min<int64_t>((pendingDue_ - now + 999) / 1000, 24 * 3600 * 1000)));
            return;
        }
        havePending_ = false;
        ++framesPlayed_;
        ++framesThisPass_;
        if (frameHandler_)
            frameHandler_(pending_.frame, pendingDue_);
    }
    reportSkipped();
    timer_.start(0);
}

void ReplayPlayer::reportSkipped()
{
    if (file_->badLines() == skippedReported_)
        return;
    skippedReported_ = file_->badLines();
    if (hooks_.skipped)
        hooks_.skipped(skippedReported_);
}

} // namespace qelcopn
