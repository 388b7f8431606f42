// Decides which multiplexed PDOs go out when. The gateway publishes more
// items than one period can carry, so it sends them round-robin, never
// faster than its frame rate allows:
//   cyclic (event timer T ms): every T ms the next items in turn, each at
//       most once per period;
//   change of state (event timer 0): every 10 ms the items whose frame
//       differs from the one last sent (all of them once on entry);
//   burst: every millisecond as many items in turn as the rate allows,
//       whatever the event timer says.
// The rate is a token bucket: credit grows with time at the frame rate and
// is held to about one period's worth, so a late wake-up never floods the
// bus.
#pragma once

#include "GatewayMessages.h"
#include "ProcessImage.h"
#include "protocol/CanFrame.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace gatewaysim {

class PdoScheduler {
public:
    static constexpr int64_t CHANGE_SCAN_US = 10'000;
    static constexpr int64_t BURST_TICK_US = 1'000;
    // What the credit may hold beyond one period, so that rates below one
    // frame per period still come out right on average.
    static constexpr int64_t MIN_CREDIT_SPAN_US = 10'000;

    PdoScheduler(std::vector<PdoItem> items, uint8_t node, double framesPerSecond, bool burst);

    // Event timer in ms: 0 = change of state. Takes effect from now on.
    void setEventTimer(uint16_t ms, int64_t nowUs);
    // Starts publishing afresh (entering operational): every item counts as
    // never sent, and the first period is due at once.
    void restart(int64_t nowUs);
    // Sends what is due at nowUs.
    void poll(int64_t nowUs, const ProcessImage &image, const std::function<void(const qelcopn::CanFrame &)> &send);
    int64_t nextDueUs() const { return nextDueUs_; }

    double framesPerSecond() const { return rate_; }
    int64_t periodUs() const;
    bool changeOfState() const { return !burst_ && eventTimerMs_ == 0; }
    const std::vector<PdoItem> &items() const { return items_; }

private:
    double creditCap() const;

    std::vector<PdoItem> items_;
    uint8_t node_;
    double rate_;
    bool burst_;
    uint16_t eventTimerMs_ = 10;

    std::vector<qelcopn::CanFrame> lastSent_;
    // Bytes, not vector<bool>: libstdc++ 12 destroys an empty vector<bool>
    // with pointer arithmetic on null, which UBSan rightly reports.
    std::vector<uint8_t> everSent_;
    size_t cursor_ = 0;
    double credit_ = 0;
    int64_t creditAtUs_ = 0;
    int64_t nextDueUs_ = 0;
};

} // namespace gatewaysim
