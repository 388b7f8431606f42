// The black box without a bus: what a save holds, while frames keep coming,
// and what it leaves behind when it cannot write.
#include "Platform.h"
#include "ReadTraceLog.h"
#include "trace/BlackBox.h"
#include "trace/CandumpLine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace trace = qelcopn::trace;
using qelcopn::CanFrame;

using namespace trace;

namespace {

constexpr int64_t kSecond = 1000000;

// The frame's number n rides in its data, so a save shows which it kept.
CanFrame numbered(uint64_t n)
{
    CanFrame f;
    f.id = 0x180 + uint32_t(n % 0x80);
    f.length = 8;
    std::memcpy(f.data, &n, sizeof n);
    return f;
}

uint64_t numberOf(const CanFrame &f)
{
    uint64_t n = 0;
    std::memcpy(&n, f.data, sizeof n);
    return n;
}


QJsonObject readJson(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

TEST(BlackBox, SavesTheLastSecondsAsARecordingOfEveryKind)
{
    BlackBox box(1);
    const int64_t now = MonotonicMicros();
    // One frame a second for the last 100 s, then frames of every kind.
    for (uint64_t n = 0; n < 100; ++n)
        box.add(numbered(n), now - int64_t(100 - n) * kSecond, n % 2 == 1);
    CanFrame remote;
    remote.id = 0x607;
    remote.remote = true;
    remote.length = 4;
    CanFrame error;
    error.id = 0x40; // bus off
    error.error = true;
    error.length = 8;
    error.data[1] = 0x04;
    box.add(remote, now, false);
    box.add(error, now, false);

    QTemporaryDir dir;
    const QString path = dir.path() + "/last.log";
    SessionInfo info;
    info.accessPoint = "tcp://127.0.0.1:1/can1";
    ASSERT_TRUE(box.save(path.toStdString(), 10, info, now));
    const std::vector<TraceRecord> saved = ReadTraceLog(path);
    // 10 s back: frames 90 to 99, the remote and the error frame.
    ASSERT_EQ(saved.size(), 12u);
    const int64_t wallNow = wallMicros();
    for (size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(numberOf(saved[k].frame), 90 + k);
        EXPECT_EQ(saved[k].sent, k % 2 == 1);
        EXPECT_NEAR(double(saved[k].wallMicros), double(wallNow - int64_t(10 - k) * kSecond), 50000.0);
    }
    EXPECT_TRUE(saved[10].frame.remote);
    EXPECT_EQ(saved[10].frame.id, 0x607u);
    EXPECT_EQ(saved[10].frame.length, 4) << "a remote frame keeps the length it asks for";
    EXPECT_TRUE(saved[11].frame.error);
    EXPECT_EQ(saved[11].frame.id, 0x40u);
    EXPECT_EQ(saved[11].frame.data[1], 0x04);
    const QJsonObject session = readJson(dir.path() + "/last.json");
    EXPECT_EQ(session["frames_written"].toInt(), 12);
    EXPECT_EQ(session["channel"].toString(), "can1");
    EXPECT_TRUE(session.contains("end"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file stays";

    // More than is kept: everything kept.
    ASSERT_TRUE(box.save(path.toStdString(), 3600, info, now));
    EXPECT_EQ(ReadTraceLog(path).size(), 102u);
}

TEST(BlackBox, AFullRingKeepsTheNewestFramesOnly)
{
    BlackBox box(1);
    const int64_t start = MonotonicMicros() - 120 * kSecond;
    const uint64_t total = box.capacity() + 1000;
    for (uint64_t n = 0; n < total; ++n)
        box.add(numbered(n), start + int64_t(n) * 100, false);
    QTemporaryDir dir;
    const QString path = dir.path() + "/all.log";
    ASSERT_TRUE(box.save(path.toStdString(), 3600, {}, MonotonicMicros()));
    const std::vector<TraceRecord> saved = ReadTraceLog(path);
    ASSERT_EQ(saved.size(), box.capacity());
    EXPECT_EQ(numberOf(saved.front().frame), 1000u);
    EXPECT_EQ(numberOf(saved.back().frame), total - 1);
}

TEST(BlackBox, ASaveOvertakenByFramesHoldsOnlyWholeFramesInOrder)
{
    BlackBox box(1);
    std::atomic<bool> stop{false};
    // Faster than any bus: the ring is overwritten under the save.
    std::thread producer([&] {
        for (uint64_t n = 0; !stop.load(std::memory_order_relaxed); ++n)
            box.add(numbered(n), MonotonicMicros(), false);
    });
    while (box.framesAdded() < box.capacity() * 2)
        std::this_thread::yield();
    QTemporaryDir dir;
    const QString path = dir.path() + "/busy.log";
    const bool saved = box.save(path.toStdString(), 3600, {}, MonotonicMicros());
    stop = true;
    producer.join();
    ASSERT_TRUE(saved);
    const std::vector<TraceRecord> records = ReadTraceLog(path);
    ASSERT_FALSE(records.empty());
    const QJsonObject session = readJson(dir.path() + "/busy.json");
    EXPECT_EQ(session["frames_written"].toInt(), int(records.size()));
    EXPECT_EQ(uint64_t(session["frames_written"].toInt() + session["frames_lost"].toInt()), box.capacity());
    for (size_t k = 0; k < records.size(); ++k) {
        // Every frame whole: its number and identifier belong together.
        EXPECT_EQ(records[k].frame.id, numbered(numberOf(records[k].frame)).id);
        // Overwritten ones are left out (and counted lost), never mixed in.
        if (k > 0)
            ASSERT_GT(numberOf(records[k].frame), numberOf(records[k - 1].frame)) << k;
    }
}

TEST(BlackBox, ASaveThatCannotWriteFailsAndLeavesNothing)
{
    BlackBox box(1);
    box.add(numbered(1), MonotonicMicros(), false);
    const int64_t now = MonotonicMicros();
    errno = 0;
    EXPECT_FALSE(box.save("/nonexistent-folder/x.log", 60, {}, now));
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_FALSE(box.save("", 60, {}, now));
    EXPECT_EQ(errno, EINVAL);

    QTemporaryDir dir;
    const QString path = dir.path() + "/x.log";
    errno = 0;
    EXPECT_FALSE(box.save(path.toStdString(), 0, {}, now));
    EXPECT_EQ(errno, EINVAL);
    // A full disk: the temporary file takes the open, every write fails.
    ASSERT_TRUE(QFile::link("/dev/full", path + ".tmp"));
    errno = 0;
    EXPECT_FALSE(box.save(path.toStdString(), 60, {}, now));
    EXPECT_EQ(errno, ENOSPC);
    // The session file cannot be made: the log goes too.
    ASSERT_TRUE(QDir(dir.path()).mkdir("y.json"));
    EXPECT_FALSE(box.save((dir.path() + "/y.log").toStdString(), 60, {}, now));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 0);
    // The frames are still there for a save that can write.
    ASSERT_TRUE(box.save(path.toStdString(), 60, {}, now));
    EXPECT_EQ(ReadTraceLog(path).size(), 1u);
}

} // namespace
