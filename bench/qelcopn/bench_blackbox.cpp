// What the black box costs the I/O thread and memory, and what a save
// takes: prints its figures.
//   adding   one minute of frames at 9,000 frames/s into the default
//            ten-minute box, by the adding thread's CPU time: ns a frame
//            and the share of a core at that rate
//   memory   resident memory taken by each minute the box fills
//   saving   the last two minutes written as a recording (.log + .json)
#include "Platform.h"
#include "ProcessFigures.h"
#include "trace/BlackBox.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace trace = qelcopn::trace;
using qelcopn::CanFrame;

namespace {

constexpr int FRAMES_PER_SECOND = 9000;
constexpr int64_t MINUTE_FRAMES = 60LL * FRAMES_PER_SECOND;

// One minute of PDO-like frames, stamped 1/9000 s apart from `fromMicros`.
void AddMinute(trace::BlackBox &box, int64_t fromMicros)
{
    CanFrame frame;
    frame.id = 0x187;
    frame.length = 8;
    for (int64_t i = 0; i < MINUTE_FRAMES; ++i) {
        frame.data[0] = uint8_t(i);
        frame.data[7] = uint8_t(i >> 8);
        box.add(frame, fromMicros + i * 1000000 / FRAMES_PER_SECOND, false);
    }
}

} // namespace

int main()
{
    trace::BlackBox box(trace::BlackBox::kDefaultMinutes);
    std::printf("black box: %u minutes, %zu frames kept, %zu bytes a frame\n", box.minutes(), box.capacity(),
                trace::BlackBox::kRecordBytes);
    const int64_t start = MonotonicMicros();
    for (int minute = 0; minute < 3; ++minute) {
        const int64_t rssBefore = MeasureProcess().residentKiB;
        const int64_t cpuBefore = ThreadCpuMicros();
        AddMinute(box, start + minute * 60000000LL);
        const double nanos = 1000.0 * double(ThreadCpuMicros() - cpuBefore);
        const int64_t rssGrowth = MeasureProcess().residentKiB - rssBefore;
        std::printf("minute %d: %.1f ns a frame, %.4f %% of a core at %d frames/s, resident +%lld KiB\n", minute + 1,
                    nanos / double(MINUTE_FRAMES), 100 * nanos / 60e9, FRAMES_PER_SECOND,
                    static_cast<long long>(rssGrowth));
    }
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath(QStringLiteral("saved.log")).toStdString();
    const int64_t saveStart = MonotonicMicros();
    const bool saved = box.save(path, 120, trace::SessionInfo{}, start + 3 * 60000000LL);
    const double seconds = double(MonotonicMicros() - saveStart) / 1e6;
    std::printf("saving the last 2 minutes (%lld frames): %s in %.2f s, %.1f MB\n",
                static_cast<long long>(2 * MINUTE_FRAMES), saved ? "written" : "FAILED", seconds,
                double(QFileInfo(QString::fromStdString(path)).size()) / 1e6);
    return saved ? 0 : 1;
}
