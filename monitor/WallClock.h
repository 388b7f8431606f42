// Receive stamps (the monotonic microsecond counter) as wall-clock times,
// and such a time as the windows' lists show it.
// One offset holds for as long as the wall clock is not set, so two events
// keep their distance and order whichever display pass took them.
#pragma once

#include "Platform.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdlib>

class TWallClockOffset {
public:
    // Beyond this the wall clock was set, not merely read a moment later.
    static constexpr int64_t CLOCK_STEP_US = 1000000;

    // Takes the clocks as they stand now; once per pass, before ToWallUs.
    void Refresh()
    {
        int64_t monotonic = 0;
        QueryPerformanceCounter(&monotonic);
        const int64_t wall = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
        const int64_t offset = wall - monotonic;
        if (!known_ || std::abs(offset - offsetUs_) > CLOCK_STEP_US) {
            offsetUs_ = offset;
            known_ = true;
        }
    }
    int64_t ToWallUs(int64_t monotonicUs) const { return monotonicUs + offsetUs_; }

private:
    int64_t offsetUs_ = 0;
    bool known_ = false;
};

// "2026-12-09 16:10:00.123", local time.
inline QString LocalTimeText(int64_t wallUs)
{
    return QDateTime::fromMSecsSinceEpoch(wallUs / 1000).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}
