// The recording's line format and its writer, without a bus.
#include "QEL_COPN.h"
#include "trace/CandumpLine.h"
#include "trace/Recorder.h"
#include "trace/TraceFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <thread>

namespace trace = qelcopn::trace;
using qelcopn::CanFrame;

using namespace trace;

namespace {

TraceRecord record(uint32_t id, std::initializer_list<uint8_t> bytes, int64_t wall = 1733750000123456, bool sent = false)
{
    TraceRecord r;
    r.frame.id = id;
    for (uint8_t b : bytes)
        r.frame.data[r.frame.length++] = b;
    r.wallMicros = wall;
    r.sent = sent;
    return r;
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

TEST(CandumpLine, FormatsEveryKindOfFrame)
{
    EXPECT_EQ(formatLine(record(0x487, {0x00, 0x01, 0x42, 0x02, 0x00, 0xDC, 0x05, 0x00}), "can0"),
              "(1733750000.123456) can0 487#0001420200DC0500 R\n");
    EXPECT_EQ(formatLine(record(0x000, {0x01, 0x07}, 1000000000000005, true), "vcan1"),
              "(1000000000.000005) vcan1 000#0107 T\n");
    EXPECT_EQ(formatLine(record(0x701, {}, 0), "can0"), "(0.000000) can0 701# R\n");

    // A remote frame keeps the length it asks for, as candump writes it.
    TraceRecord remote = record(0x123, {});
    remote.frame.remote = true;
    for (uint8_t length : {0, 4, 8}) {
        remote.frame.length = length;
        const std::string line = formatLine(remote, "can0");
        EXPECT_EQ(line, "(1733750000.123456) can0 123#R" + (length > 0 ? std::to_string(length) : "") + " R\n");
        TraceRecord back;
        ASSERT_EQ(parseLine(line, &back), ParseResult::Frame) << line;
        EXPECT_TRUE(back.frame.remote);
        EXPECT_EQ(back.frame.length, length) << line;
    }

    TraceRecord error = record(0x004, {0, 0x08, 0, 0, 0, 0, 0, 0});
    error.frame.error = true;
    EXPECT_EQ(formatLine(error, "can0"), "(1733750000.123456) can0 20000004#0008000000000000 R\n");
}

TEST(CandumpLine, ParsesWhatItWritesAndWhatOtherToolsWrite)
{
    for (TraceRecord r : {record(0x487, {1, 2, 3, 4, 5, 6, 7, 0xFF}), record(0x7FF, {}, 42, true),
                          record(0x081, {0x10, 0x81})}) {
        TraceRecord back;
        std::string channel;
        ASSERT_EQ(parseLine(formatLine(r, "can0"), &back, &channel), ParseResult::Frame);
        EXPECT_EQ(back.frame.id, r.frame.id);
        EXPECT_EQ(back.frame.length, r.frame.length);
        EXPECT_EQ(0, std::memcmp(back.frame.data, r.frame.data, 8));
        EXPECT_EQ(back.wallMicros, r.wallMicros);
        EXPECT_EQ(back.sent, r.sent);
        EXPECT_EQ(channel, "can0");
    }

    TraceRecord r;
    // python-can without a direction, a short fraction, lower-case hex.
    ASSERT_EQ(parseLine("(12.5) vcan0 1a3#deadbeef\r\n", &r), ParseResult::Frame);
    EXPECT_EQ(r.frame.id, 0x1A3u);
    EXPECT_EQ(r.wallMicros, 12500000);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(r.frame.data[3], 0xEF);
    // candump's remote frame with a length; an error frame without direction.
    ASSERT_EQ(parseLine("(1.000000) can0 123#R8 T", &r), ParseResult::Frame);
    EXPECT_TRUE(r.frame.remote);
    EXPECT_EQ(r.frame.length, 8);
    EXPECT_TRUE(r.sent);
    ASSERT_EQ(parseLine("(1.000000) can0 20000080#0000000000000000", &r), ParseResult::Frame);
    EXPECT_TRUE(r.frame.error);
    EXPECT_EQ(r.frame.id, 0x80u);

    EXPECT_EQ(parseLine("   \n", &r), ParseResult::Blank);
}

TEST(CandumpLine, GarbageAndTruncatedLinesAreBad)
{
    TraceRecord r = record(0x555, {9});
    for (const char *line : {
             "garbage", "(1733750000.123456) can0 487#000",
             "(1733750000.123456) can0", "(1733750000.123456", "1733750000.123456 can0 487#00 R",
             "(17x3.1) can0 487#00 R", "(1.0) can0 800#00 R", "(1.0) can0 487#00 X", "(1.0) can0 487#00 R extra",
             "(1.0) can0 487#001122334455667788 R", "(1.0) can0 487#0G R", "(1.0) can0 12345678#00 R",
             "(1.0) can0 487##1001122 R", "(1.0) can0 487 R", "(1.0) can0 #00 R", "(1.0) can0 123#R9 R",
             "(1234567890123.0) can0 123#00 R"}) {
        EXPECT_EQ(parseLine(line, &r), ParseResult::Bad) << line;
    }
    EXPECT_EQ(r.frame.id, 0x555u); // a bad line leaves the record alone
}

// One rule for every host: the file name's extension, whatever it is, gives
// way to .json; a dot in a folder's name is not an extension.
TEST(SessionFile, SitsBesideTheRecordingWhateverItsExtension)
{
    EXPECT_EQ(sessionPathFor("/data/run.log"), "/data/run.json");
    EXPECT_EQ(sessionPathFor("/data/run.asc"), "/data/run.json");
    EXPECT_EQ(sessionPathFor("/data/run.2.blf"), "/data/run.2.json");
    EXPECT_EQ(sessionPathFor("/data/run"), "/data/run.json");
    EXPECT_EQ(sessionPathFor("/data.d/run"), "/data.d/run.json");
    EXPECT_EQ(sessionPathFor("run.trc"), "run.json");
    char small[8];
    EXPECT_EQ(QELCOPN_SessionPath("/data/run.log", small, sizeof small), 0) << "too long for the buffer";
    EXPECT_EQ(QELCOPN_SessionPath("ab.log", small, sizeof small), 1);
    EXPECT_STREQ(small, "ab.json");
}

TEST(Recorder, WritesTheLogAndTheSessionAtStartAndStop)
{
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/session.log").toStdString();
    SessionInfo info;
    info.interfaceKind = 2;
    info.interfaceName = "Virtual CAN";
    info.accessPoint = "tcp://127.0.0.1:1234/can1";
    info.bitrate = 250000;
    info.ownNodeId = 127;
    std::unique_ptr<Recorder> recorder = Recorder::start(path, info);
    ASSERT_TRUE(recorder);

    const QJsonObject atStart = readJson(dir.path() + "/session.json");
    EXPECT_EQ(atStart["interface_kind"].toInt(), 2);
    EXPECT_EQ(atStart["access_point"].toString(), "tcp://127.0.0.1:1234/can1");
    EXPECT_EQ(atStart["bitrate"].toInt(), 250000);
    EXPECT_TRUE(atStart.contains("start"));
    EXPECT_FALSE(atStart.contains("end"));
    EXPECT_FALSE(atStart.contains("mode"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/session.json.tmp"));

    CanFrame f;
    f.id = 0x181;
    f.length = 2;
    for (int i = 0; i < 1000; ++i) {
        f.data[0] = uint8_t(i);
        recorder->add(f, 1000 + i, i % 2 == 1);
    }
    // Written while running, not only at the end.
    for (int wait = 0; wait < 2000 && recorder->framesWritten() < 1000; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(recorder->framesWritten(), 1000u);
    recorder->add(f, 5000, false);
    recorder->stop();
    EXPECT_EQ(recorder->framesWritten(), 1001u);
    EXPECT_EQ(recorder->framesLost(), 0u);

    QFile log(QString::fromStdString(path));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1002); // the last newline leaves an empty part
    EXPECT_EQ(uint64_t(log.size()), recorder->bytesWritten());
    TraceRecord first, second;
    std::string channel;
    ASSERT_EQ(parseLine(lines[0].toStdString(), &first, &channel), ParseResult::Frame);
    ASSERT_EQ(parseLine(lines[1].toStdString(), &second), ParseResult::Frame);
    EXPECT_EQ(channel, "can1");
    EXPECT_EQ(second.wallMicros - first.wallMicros, 1); // one offset for all
    EXPECT_FALSE(first.sent);
    EXPECT_TRUE(second.sent);

    const QJsonObject atEnd = readJson(dir.path() + "/session.json");
    EXPECT_EQ(atEnd["frames_written"].toInt(), 1001);
    EXPECT_EQ(atEnd["frames_lost"].toInt(), 0);
    EXPECT_TRUE(atEnd.contains("end"));
    EXPECT_EQ(atEnd["version"].toString().isEmpty(), false);
}

TEST(Recorder, UnwritablePathFailsWithErrno)
{
    errno = 0;
    EXPECT_FALSE(Recorder::start("/nonexistent-folder/x.log", {}));
    EXPECT_EQ(errno, ENOENT);
    QTemporaryDir dir;
    // The log can be made but not its session file beside it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("session.json"));
    errno = 0;
    EXPECT_FALSE(Recorder::start((dir.path() + "/session.log").toStdString(), {}));
    EXPECT_NE(errno, 0);
    EXPECT_FALSE(QFile::exists(dir.path() + "/session.log"));
}

TEST(Recorder, AFullDiskAndAFullQueueCountLostFrames)
{
    // /dev/full takes the open and fails every write with ENOSPC.
    QTemporaryDir dir;
    const QString link = dir.path() + "/full.log";
    ASSERT_TRUE(QFile::link("/dev/full", link));
    std::unique_ptr<Recorder> recorder = Recorder::start(link.toStdString(), {});
    ASSERT_TRUE(recorder);
    CanFrame f;
    f.id = 0x181;
    f.length = 8;
    // More than the queue holds, faster than any disk: the rest is lost,
    // never waited for.
    const uint64_t total = Recorder::kQueueCapacity * 2;
    for (uint64_t i = 0; i < total; ++i)
        recorder->add(f, int64_t(i), false);
    recorder->stop();
    EXPECT_EQ(recorder->framesWritten(), 0u);
    EXPECT_EQ(recorder->framesLost(), total);
    EXPECT_EQ(recorder->lastError(), ENOSPC);
    EXPECT_EQ(readJson(dir.path() + "/full.json")["frames_lost"].toInt(), int(total));
}
