// Replay of a recording (interface kind 5): the file reader and the pacing
// without a bus, then the library playing a file through its exports into
// the very queues a bus feeds.
#include "LibraryFixture.h"
#include "trace/ReplayClock.h"
#include "trace/ReplayFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <vector>

namespace trace = qelcopn::trace;

namespace {

// Wall-clock seconds of the first line of the test recordings.
constexpr int64_t kStart = 1733750000'000000;

class ReplayFiles : public ::testing::Test {
protected:
    std::string write(const char *name, const QByteArray &text)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path.toStdString();
    }
    QTemporaryDir dir;
};

std::vector<trace::TraceRecord> readAll(trace::ReplayFile &file)
{
    std::vector<trace::TraceRecord> records;
    trace::TraceRecord r;
    while (file.next(&r))
        records.push_back(r);
    return records;
}

// Three PDOs of node 7 at irregular gaps, an emergency, a heartbeat, one
// frame the recording's host sent, a line of garbage and a cut last line.
const QByteArray kRecording = "(1733750000.000000) can0 187#0102030405060708 R\n"
                              "(1733750000.000100) can0 000#0100 T\n"
                              "\n"
                              "(1733750000.037223) can0 187#1112 R\n"
                              "this is no frame\n"
                              "(1733750000.040000) can0 087#1023010000000000 R\n"
                              "(1733750000.041000) can0 707#05 R\n"
                              "(1733750000.287723) can0 187#21 R\n"
                              "(1733750000.300000) can0 187#0001420200DC";

} // namespace

TEST_F(ReplayFiles, OnlyAReadableRecordingOpensEachRefusalNamed)
{
    std::string message;
    EXPECT_EQ(trace::ReplayFile::check(dir.filePath("none.log").toStdString(), &message), ENOENT);
    EXPECT_NE(message.find("No such file"), std::string::npos) << message;
    EXPECT_EQ(trace::ReplayFile::check("relative.log", &message), ENOENT);
    EXPECT_NE(message.find("not an absolute path"), std::string::npos);
    EXPECT_EQ(trace::ReplayFile::check(dir.path().toStdString()), EISDIR);
    EXPECT_EQ(trace::ReplayFile::check(write("empty.log", "")), int(QELCOPN_ERROR_NOT_A_RECORDING));
    // Text that is no trace, whatever its name says.
    const std::string notes = write("run.asc", "shopping list\nmilk\neggs\n");
    EXPECT_EQ(trace::ReplayFile::check(notes, &message), int(QELCOPN_ERROR_NOT_A_RECORDING));
    EXPECT_NE(message.find("not a candump log"), std::string::npos);
    EXPECT_EQ(trace::ReplayFile::open(notes), nullptr);
    // Vector's ASC, as log2asc writes it, under a candump log's name.
    const std::string asc = write("run.log", "date Wed Dec 9 15:30:00 2026\nbase hex  timestamps absolute\n"
                                             "   0.000000 1  187             Rx   d 2 11 22\n");
    const std::unique_ptr<trace::ReplayFile> ascFile = trace::ReplayFile::open(asc);
    ASSERT_NE(ascFile, nullptr);
    EXPECT_EQ(ascFile->format(), trace::TraceFormat::Asc);
    const std::string unreadable = write("locked.log", kRecording);
    QFile::setPermissions(QString::fromStdString(unreadable), QFileDevice::WriteOwner);
    if (::geteuid() != 0) { // root reads it all the same
        EXPECT_EQ(trace::ReplayFile::check(unreadable), EACCES);
    }
    EXPECT_EQ(trace::ReplayFile::check(write("good.log", kRecording)), 0);
}

TEST_F(ReplayFiles, ReceivedFramesComeOutBadLinesAreCountedOnceSentOnesLeftOut)
{
    std::unique_ptr<trace::ReplayFile> file = trace::ReplayFile::open(write("run.log", kRecording));
    ASSERT_NE(file, nullptr);
    std::vector<trace::TraceRecord> records = readAll(*file);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].frame.id, 0x187u);
    EXPECT_EQ(records[0].frame.length, 8);
    EXPECT_EQ(records[1].wallMicros, kStart + 37223);
    EXPECT_EQ(records[2].frame.id, 0x087u);
    EXPECT_EQ(records[4].frame.data[0], 0x21);
    // The garbage and the cut last line, whose data would read short.
    EXPECT_EQ(file->badLines(), 2u);
    EXPECT_EQ(file->sentSkipped(), 1u);

    ASSERT_TRUE(file->rewind());
    EXPECT_EQ(readAll(*file).size(), 5u);
    EXPECT_EQ(file->badLines(), 2u);
}

TEST(ReplayClock, GapsAreTheRecordedOnesScaledByTheSpeedWhateverTheWakeUps)
{
    trace::ReplayClock paced(0);
    paced.start(5000);
    EXPECT_EQ(paced.due(kStart, 9000), 5000);             // the first frame: at the start
    EXPECT_EQ(paced.due(kStart + 37223, 5100), 5000 + 37223); // woken early or late
    EXPECT_EQ(paced.due(kStart + 287723, 900000), 5000 + 287723);
    // A clock set back while recording: the next frame plays at once after.
    EXPECT_EQ(paced.due(kStart - 1000000, 900000), 5000 + 287723);
    EXPECT_EQ(paced.due(kStart - 1000000 + 10, 900000), 5000 + 287733);

    trace::ReplayClock tenfold(10);
    tenfold.start(0);
    tenfold.due(kStart, 0);
    EXPECT_EQ(tenfold.due(kStart + 250000, 0), 25000);

    trace::ReplayClock fastest(QELCOPN_REPLAY_FASTEST);
    fastest.start(100);
    EXPECT_EQ(fastest.due(kStart + 5000000, 120), 120);
    EXPECT_EQ(fastest.due(kStart + 6000000, 110), 120); // never back
}

class LibraryReplay : public ReplayFiles {
protected:
    void SetUp() override { ASSERT_NE(LoadDriver(), 0); }
    void TearDown() override
    {
        if (h != 0)
            CloseInterface(h);
        UnloadDriver();
    }

    int32_t open(const std::string &path, uint32_t speed = 0, bool loop = false)
    {
        hw = hardwareFor(QString::fromStdString(path), QELCOPN_KIND_RECORDING);
        for (int k = 0; k < 4; ++k) {
            hw.Reserved[k] = uint8_t(speed >> (8 * k));
            hw.Reserved[4 + k] = uint8_t(k == 0 && loop);
        }
        return OpenInterface(&h, &hw);
    }

    uint32_t pdosReceived()
    {
        uint32_t received = 0, dropped = 0;
        PDO_Read_Receive_Count(h, 7, 18, 0, &received, &dropped);
        return received;
    }

    HardwareConfiguration hw{};
    uint32_t h = 0;
};

TEST_F(LibraryReplay, PlaysIntoPdoEmcyAndNodeStateAtTheRecordedGapsAndEndsQuietly)
{
    ASSERT_NE(open(write("run.log", kRecording)), 0) << errno;
    char name[QELCOPN_TEXT_SIZE] = {};
    ASSERT_NE(GetInterfaceName(QELCOPN_KIND_RECORDING, name), 0);
    EXPECT_STREQ(name, "Recording file");
    ASSERT_NE(AddPDO(h, 7, 16, 0, 0), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_TRUE(eventually([&] { return pdosReceived() == 3; }));

    std::vector<uint32_t> stamps;
    uint8_t length = 0, data[256] = {};
    uint32_t sequence = 0, time = 0;
    while (COP_PDO_Read_Data_wTime(h, 7, 18, 0, &length, data, &sequence, &time) != 0)
        stamps.push_back(time);
    ASSERT_EQ(stamps.size(), 3u);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(data[0], 0x21);
    // To the microsecond, however the timer woke.
    EXPECT_EQ(stamps[1] - stamps[0], 37223u);
    EXPECT_EQ(stamps[2] - stamps[1], 250500u);

    uint8_t node = 0, message[18] = {};
    ASSERT_NE(CheckEmergency(h, &node, message), 0);
    EXPECT_EQ(node, 7);
    EXPECT_EQ(message[0], 0x10);
    EXPECT_EQ(message[1], 0x23);
    uint8_t state = 0;
    ASSERT_NE(GetNodeState(h, 7, &state), 0);
    EXPECT_EQ(state, 5);

    // A bus that never answers: the request goes nowhere, the read times out.
    ASSERT_NE(SetSDOTimeout(h, 50), 0);
    uint32_t value = 0;
    EXPECT_EQ(SDO_Upload_UNSIGNED32(h, 7, 0x1000, 0, &value), 0);
    ASSERT_NE(NMT_StartRemoteNode(h, 7), 0);

    BusStatistics statistics{};
    ASSERT_TRUE(eventually([&] { return GetBusStatistics(h, &statistics) && statistics.LinesSkipped == 2; }));
    EXPECT_EQ(statistics.FramesReceived, 5u);
    // The end of the file is no loss of the bus.
    uint32_t online = 0;
    EXPECT_NE(GetNodeOnline(h, 7, &online), 0);
}

TEST_F(LibraryReplay, LoopingPlaysAgainAndOfflineThenOnlineStartsOver)
{
    ASSERT_NE(open(write("run.log", kRecording), QELCOPN_REPLAY_FASTEST, true), 0);
    ASSERT_NE(AddPDO(h, 7, 16, 0, 0), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_TRUE(eventually([&] { return pdosReceived() > 30; }));
    CloseInterface(h);

    ASSERT_NE(open(write("run.log", kRecording), QELCOPN_REPLAY_FASTEST, false), 0);
    ASSERT_NE(AddPDO(h, 7, 16, 0, 0), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_TRUE(eventually([&] { return pdosReceived() == 3; }));
    ASSERT_NE(SetOnline(h, 0), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_TRUE(eventually([&] { return pdosReceived() == 6; }));
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(pdosReceived(), 6u);
}

TEST_F(LibraryReplay, AMissingOrForeignFileFailsOpenInterfaceWithItsReason)
{
    errno = 0;
    EXPECT_EQ(open(dir.filePath("gone.log").toStdString()), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(open(write("notes.log", "shopping list\nmilk\neggs\n")), 0);
    EXPECT_EQ(uint32_t(errno), QELCOPN_ERROR_NOT_A_RECORDING);
    char why[QELCOPN_TEXT_SIZE] = {};
    ASSERT_NE(GetFailureText(why), 0);
    EXPECT_NE(std::string(why).find("is not a candump log"), std::string::npos) << why;
    EXPECT_EQ(h, 0u);
}
