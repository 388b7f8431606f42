// Recording through the library's exports: every frame both ways, stamped,
// and a close that ends the recording with everything written.
#include "LibraryFixture.h"
#include "ReadTraceLog.h"
#include "trace/CandumpLine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cerrno>
#include <vector>

namespace trace = qelcopn::trace;

TEST_F(LibraryTest, RecordsBothWaysUntilCloseInterface)
{
    QTemporaryDir dir;
    const QString log = dir.path() + "/run.log";
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(SetNodeID(h, 5), 0);
    ASSERT_NE(Trace_Start(h, log.toUtf8().constData()), 0);
    errno = 0;
    EXPECT_EQ(Trace_Start(h, log.toUtf8().constData()), 0); // one at a time
    EXPECT_EQ(errno, EBUSY);

    const int64_t before = QDateTime::currentMSecsSinceEpoch() * 1000;
    ASSERT_NE(NMT_StartRemoteNode(h, kPeerNode), 0);
    sendFromPeer(0x187, {0x11, 0x22});
    ASSERT_TRUE(eventually([&] {
        TraceStatus s{};
        return Trace_GetStatus(h, &s) && s.FramesWritten >= 2;
    }));
    TraceStatus status{};
    ASSERT_NE(Trace_GetStatus(h, &status), 0);
    EXPECT_EQ(status.Recording, 1u);
    EXPECT_EQ(QString::fromUtf8(status.Path), log);

    sendFromPeer(0x287, {0x33});
    // Received before the close (PDO counts show it), in the file after it.
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 2, 0), 0);
    sendFromPeer(0x387, {0x44});
    ASSERT_TRUE(eventually([&] {
        uint32_t received = 0, dropped = 0;
        return PDO_Read_Receive_Count(h, kPeerNode, 18, 2, &received, &dropped) && received == 1;
    }));
    ASSERT_NE(CloseInterface(h), 0);
    h = 0;

    std::vector<trace::TraceRecord> records = ReadTraceLog(log);
    std::vector<trace::TraceRecord> mine;
    for (const trace::TraceRecord &r : records)
        if (r.frame.id != 0x77F) // the fixture's heartbeats may come late
            mine.push_back(r);
    ASSERT_EQ(mine.size(), 4u);
    EXPECT_TRUE(mine[0].sent);
    EXPECT_EQ(mine[0].frame.id, 0x000u);
    EXPECT_EQ(mine[0].frame.data[0], 0x01);
    EXPECT_FALSE(mine[1].sent);
    EXPECT_EQ(mine[1].frame.id, 0x187u);
    EXPECT_EQ(mine[1].frame.data[1], 0x22);
    EXPECT_EQ(mine[2].frame.id, 0x287u);
    EXPECT_EQ(mine[3].frame.id, 0x387u);
    EXPECT_EQ(mine[3].frame.data[0], 0x44);
    const int64_t after = QDateTime::currentMSecsSinceEpoch() * 1000;
    for (const trace::TraceRecord &r : mine) {
        EXPECT_GE(r.wallMicros, before - 1000);
        EXPECT_LE(r.wallMicros, after + 1000);
    }

    QFile json(dir.path() + "/run.json");
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject session = QJsonDocument::fromJson(json.readAll()).object();
    EXPECT_EQ(session["frames_written"].toInt(), int(records.size()));
    EXPECT_EQ(session["own_node_id"].toInt(), 5);
    EXPECT_EQ(session["interface_kind"].toInt(), int(QELCOPN_KIND_VIRTUALCAN));
    EXPECT_TRUE(session.contains("end"));
}

TEST_F(LibraryTest, TraceStartOnAnUnwritablePathFailsWithErrno)
{
    errno = 0;
    EXPECT_EQ(Trace_Start(h, "/nonexistent-folder/run.log"), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(Trace_Start(h, nullptr), 0);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(Trace_Start(h + 1000, "/tmp/x.log"), 0);
    EXPECT_EQ(Trace_Stop(h), 0); // nothing running
    TraceStatus status{};
    ASSERT_NE(Trace_GetStatus(h, &status), 0);
    EXPECT_EQ(status.Recording, 0u);
    EXPECT_EQ(Trace_GetStatus(h, nullptr), 0);
}

TEST_F(LibraryTest, SaveRecentWritesWhatTheBlackBoxKeptBothWays)
{
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(NMT_StartRemoteNode(h, kPeerNode), 0);
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 1, 0), 0);
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 2, 0), 0);
    const auto pdoReceived = [&](uint16_t number) {
        uint32_t received = 0, dropped = 0;
        return PDO_Read_Receive_Count(h, kPeerNode, 18, number, &received, &dropped) && received == 1;
    };
    sendFromPeer(0x187, {0x11, 0x22});
    sendFromPeer(0x287, {0x33});
    ASSERT_TRUE(eventually([&] { return pdoReceived(1); }));
    QTemporaryDir dir;
    const QString log = dir.path() + "/recent.log";
    // More seconds than were kept: all of it.
    ASSERT_NE(Trace_SaveRecent(h, log.toUtf8().constData(), 600), 0);
    std::vector<trace::TraceRecord> mine;
    for (const trace::TraceRecord &r : ReadTraceLog(log))
        if (r.frame.id != 0x77F)
            mine.push_back(r);
    ASSERT_EQ(mine.size(), 3u);
    EXPECT_TRUE(mine[0].sent);
    EXPECT_EQ(mine[0].frame.id, 0x000u);
    EXPECT_EQ(mine[1].frame.id, 0x187u);
    EXPECT_EQ(mine[2].frame.data[0], 0x33);
    EXPECT_TRUE(QFile::exists(dir.path() + "/recent.json"));

    errno = 0;
    EXPECT_EQ(Trace_SaveRecent(h, log.toUtf8().constData(), 0), 0);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(Trace_SaveRecent(h, "/nonexistent-folder/recent.log", 60), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(Trace_SaveRecent(h + 1000, log.toUtf8().constData(), 60), 0);
    EXPECT_EQ(errno, ENXIO);

    // A new size starts afresh; more than the cap is refused.
    EXPECT_EQ(Trace_SetBlackBoxMinutes(h, 31), 0);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_NE(Trace_SetBlackBoxMinutes(h, 1), 0);
    sendFromPeer(0x387, {0x44});
    ASSERT_TRUE(eventually([&] { return pdoReceived(2); }));
    ASSERT_NE(Trace_SaveRecent(h, log.toUtf8().constData(), 60), 0);
    mine.clear();
    for (const trace::TraceRecord &r : ReadTraceLog(log))
        if (r.frame.id != 0x77F)
            mine.push_back(r);
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].frame.id, 0x387u);
}
