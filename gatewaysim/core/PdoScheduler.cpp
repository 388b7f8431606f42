#include "PdoScheduler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using qelcopn::CanFrame;

namespace gatewaysim {

namespace {

bool sameFrame(const CanFrame &a, const CanFrame &b)
{
    return a.id == b.id && a.length == b.length && std::memcmp(a.data, b.data, a.length) == 0;
}

} // namespace

PdoScheduler::PdoScheduler(std::vector<PdoItem> items, uint8_t node, double framesPerSecond, bool burst)
    : items_(std::move(items))
    , node_(node)
    , rate_(framesPerSecond)
    , burst_(burst)
    , lastSent_(items_.size())
    , everSent_(items_.size(), 0)
{
}

int64_t PdoScheduler::periodUs() const
{
    if (burst_)
        return BURST_TICK_US;
    if (eventTimerMs_ == 0)
        return CHANGE_SCAN_US;
    return int64_t(eventTimerMs_) * 1000;
}

double PdoScheduler::creditCap() const
{
    // One frame more than a period's worth, so that the fraction left over
    // from one period is not lost at the cap.
    return 1.0 + rate_ * double(std::max(periodUs(), MIN_CREDIT_SPAN_US)) / 1e6;
}

void PdoScheduler::setEventTimer(uint16_t ms, int64_t nowUs)
{
    const bool enteringChangeOfState = ms == 0 && eventTimerMs_ != 0;
    eventTimerMs_ = ms;
    if (enteringChangeOfState)
        std::fill(everSent_.begin(), everSent_.end(), 0);
    nextDueUs_ = nowUs;
}

void PdoScheduler::restart(int64_t nowUs)
{
    std::fill(everSent_.begin(), everSent_.end(), 0);
    cursor_ = 0;
    credit_ = creditCap();
    creditAtUs_ = nowUs;
    nextDueUs_ = nowUs;
}

void PdoScheduler::poll(int64_t nowUs, const ProcessImage &image, const std::function<void(const CanFrame &)> &send)
{
    if (nowUs < nextDueUs_ || items_.empty())
        return;
    credit_ = std::min(creditCap(), credit_ + rate_ * double(nowUs - creditAtUs_) / 1e6);
    creditAtUs_ = nowUs;
    auto budget = size_t(std::floor(credit_));
    if (!burst_)
        budget = std::min(budget, items_.size()); // each item at most once a period

    size_t sent = 0;
    const bool onlyChanged = changeOfState();
    for (size_t looked = 0; sent < budget && (burst_ || looked < items_.size()); ++looked) {
        const size_t i = cursor_;
        cursor_ = (cursor_ + 1) % items_.size();
        const CanFrame frame = encodePdo(items_[i], image, node_);
        if (onlyChanged && everSent_[i] && sameFrame(frame, lastSent_[i]))
            continue;
        send(frame);
        lastSent_[i] = frame;
        everSent_[i] = 1;
        ++sent;
    }
    credit_ -= double(sent);

    nextDueUs_ += periodUs();
    if (nextDueUs_ <= nowUs) // woken late: skip the missed periods
        nextDueUs_ = nowUs + periodUs();
}

} // namespace gatewaysim
