// The QtSerialBus glue on a private virtual bus: frames both ways with
// receive stamps, refusal of bad names and frames, and loss of the bus.
#include "PeerProcess.h"
#include "PeerThread.h"
#include "Platform.h"
#include "transport/CanBusPort.h"
#include "transport/IoThread.h"
#include "transport/NetDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

namespace netdevice = qelcopn::netdevice;

using qelcopn::CanFrame;
using qelcopn::CanBusPort;
using qelcopn::IoThread;
using qelcopn::interfaceKindByCode;
using qelcopn::interfaceKindByPlugin;

namespace {

// Runs this thread's event loop until cond holds; the time-out only keeps a
// broken build from hanging.
bool spinUntil(const std::function<bool()> &cond, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

CanFrame makeFrame(uint32_t id, std::initializer_list<uint8_t> bytes)
{
    CanFrame f;
    f.id = id;
    for (uint8_t b : bytes)
        f.data[f.length++] = b;
    return f;
}

// Our writes leave only while this thread runs its event loop, so wait
// for the peer's output with the loop running.
std::string lineFrom(PeerProcess &peer, const std::string &prefix)
{
    std::string line;
    spinUntil([&] {
        line = peer.waitLine(prefix, 0);
        return !line.empty();
    });
    return line;
}

} // namespace

TEST(CanBusPortTest, KindsByCodeAndPlugin)
{
    ASSERT_NE(interfaceKindByCode(1), nullptr);
    EXPECT_STREQ(interfaceKindByCode(1)->plugin, "socketcan");
    EXPECT_STREQ(interfaceKindByCode(2)->displayName, "Virtual CAN bus");
    EXPECT_STREQ(interfaceKindByCode(3)->displayName, "PEAK PCAN");
    EXPECT_STREQ(interfaceKindByCode(4)->plugin, "tinycan");
    EXPECT_EQ(interfaceKindByCode(0), nullptr);
    EXPECT_EQ(interfaceKindByCode(5)->plugin, nullptr); // a recording plays without one
    EXPECT_EQ(interfaceKindByCode(6), nullptr);
    EXPECT_EQ(interfaceKindByPlugin("virtualcan")->code, 2u);
    EXPECT_EQ(interfaceKindByPlugin("nosuch"), nullptr);
}

TEST(CanBusPortTest, RefusesUnknownKindsAndNames)
{
    CanBusPort port;
    QString error;
    EXPECT_EQ(port.open(9, "can0", 250000, &error), CanBusPort::OpenResult::NoSuchInterface);
    EXPECT_FALSE(error.isEmpty());
    for (const char *name : {"", "can2", "vcan0", "tcp://127.0.0.1:1/can7", "http://127.0.0.1:1/can0"})
        EXPECT_EQ(port.open(2, name, 250000), CanBusPort::OpenResult::NoSuchInterface) << name;
    // Not a CAN interface, or none at all, or a name that tries to leave /sys.
    for (const char *name : {"lo", "nosuchcan0", "../lo"})
        EXPECT_EQ(port.open(1, name, 250000), CanBusPort::OpenResult::NoSuchInterface) << name;
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write(makeFrame(0x123, {1})));
    EXPECT_FALSE(port.setBitrate(250000));
}

// Qt's PEAK and Tiny-CAN plugins are installed here, their makers' driver
// libraries are not: opening fails with the plugin's reason, nothing held.
TEST(CanBusPortTest, AdaptersWithoutTheirDriverFailWithAReason)
{
    CanBusPort port;
    for (uint32_t kind : {3u, 4u}) {
        QString error;
        EXPECT_EQ(port.open(kind, kind == 3 ? "usb0" : "can0.0", 250000, &error), CanBusPort::OpenResult::NoSuchInterface);
        EXPECT_FALSE(error.isEmpty()) << kind;
        EXPECT_FALSE(port.isOpen());
    }
}

TEST(NetDeviceTest, AWrongRateNamesTheCommandThatSetsIt)
{
    const std::string wrong = netdevice::wrongRateMessage("can0", 500000, 250000);
    EXPECT_NE(wrong.find("'can0' runs at 500000 bit/s, not 250000"), std::string::npos) << wrong;
    EXPECT_NE(wrong.find("ip link set can0 type can bitrate 250000"), std::string::npos) << wrong;
    EXPECT_NE(wrong.find("ip link set can0 down"), std::string::npos) << "the rate is set while down";
    const std::string unknown = netdevice::wrongRateMessage("can1", std::nullopt, 125000);
    EXPECT_NE(unknown.find("cannot be read"), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("ip link set can1 type can bitrate 125000"), std::string::npos) << unknown;
    // Not a CAN interface: nothing to read, and taken as needing its rate.
    EXPECT_FALSE(netdevice::bitrate("lo"));
    EXPECT_TRUE(netdevice::hasBitTiming("lo"));
}

TEST(CanBusPortTest, FramesBothWaysWithReceiveStamps)
{
    const QString url = privateBusUrl(freeLocalPort());
    PeerThread peer; // opens first, so the bus server lives in its thread
    ASSERT_TRUE(peer.open(url));

    CanBusPort port;
    std::vector<CanFrame> got;
    std::vector<int64_t> stamps;
    port.setFrameHandler([&](const CanFrame &f, int64_t rx) {
        got.push_back(f);
        stamps.push_back(rx);
    });
    ASSERT_EQ(port.open(2, url, 250000), CanBusPort::OpenResult::Ok);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(port.setBitrate(500000)); // the virtual bus takes any rate

    ASSERT_TRUE(port.write(makeFrame(0x601, {0x40, 0x00, 0x10, 0x00})));
    // Our writes leave only while this thread runs its event loop.
    ASSERT_TRUE(spinUntil([&] { return peer.receivedCount() > 0; }));
    CanFrame seen;
    ASSERT_TRUE(peer.waitFrame(&seen));
    EXPECT_EQ(seen.id, 0x601u);
    ASSERT_EQ(seen.length, 4);
    EXPECT_EQ(seen.data[0], 0x40);
    EXPECT_EQ(seen.data[2], 0x10);

    int64_t before = 0;
    QueryPerformanceCounter(&before);
    ASSERT_TRUE(peer.send(makeFrame(0x581, {0x43, 0, 0x10, 0, 0x91, 0x01, 0x0F, 0x00})));
    CanFrame empty = makeFrame(0x701, {});
    ASSERT_TRUE(peer.send(empty));
    ASSERT_TRUE(spinUntil([&] { return got.size() == 2; }));
    int64_t after = 0;
    QueryPerformanceCounter(&after);
    EXPECT_EQ(got[0].id, 0x581u);
    EXPECT_EQ(got[0].length, 8);
    EXPECT_EQ(got[0].data[4], 0x91);
    EXPECT_EQ(got[1].length, 0);
    for (int64_t rx : stamps) {
        EXPECT_GE(rx, before);
        EXPECT_LE(rx, after);
    }

    // Frames the bus could not carry are refused before they reach it.
    EXPECT_FALSE(port.write(makeFrame(0x800, {1})));
    CanFrame tooLong = makeFrame(0x100, {1, 2, 3, 4, 5, 6, 7, 8});
    tooLong.length = 9;
    EXPECT_FALSE(port.write(tooLong));
    EXPECT_EQ(peer.receivedCount(), 0u);
}

TEST(CanBusPortTest, LossOfTheBusIsReportedAndReopenWorks)
{
    const QString url = privateBusUrl(freeLocalPort());
    auto peer = std::make_unique<PeerProcess>(url.toStdString());
    ASSERT_TRUE(peer->ready()); // the peer process hosts the bus server

    CanBusPort port;
    int lost = 0;
    int bootUps = 0;
    port.setLostHandler([&] { ++lost; });
    port.setFrameHandler([&](const CanFrame &f, int64_t) { bootUps += f.id == 0x705; });
    ASSERT_EQ(port.open(2, url, 250000), CanBusPort::OpenResult::Ok);
    ASSERT_TRUE(port.write(makeFrame(0x000, {0x82, 0x05})));
    EXPECT_EQ(lineFrom(*peer, "rx 000"), "rx 000 82 05");

    peer.reset(); // the process hosting the bus server ends
    ASSERT_TRUE(spinUntil([&] { return lost > 0; }));
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write(makeFrame(0x123, {1})));

    // Reopening starts a new server, here; a new peer joins it.
    bootUps = 0;
    ASSERT_EQ(port.open(2, url, 250000), CanBusPort::OpenResult::Ok);
    PeerProcess second(url.toStdString());
    ASSERT_TRUE(second.ready());
    // The server forwards to a client only once it has seen it register;
    // the peer's boot-up coming through shows that it has.
    ASSERT_TRUE(spinUntil([&] { return bootUps == 1; }));
    ASSERT_TRUE(port.write(makeFrame(0x000, {0x01, 0x07})));
    EXPECT_EQ(lineFrom(second, "rx 000"), "rx 000 01 07");

    // Closing on purpose is no loss.
    port.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(lost, 1);
}

// A task waiting in a nested event loop (a device connecting) holds back
// the tasks posted meanwhile; they run once it returns, and stop still ends.
TEST(IoThreadTest, WorkPostedWhileATaskWaitsInANestedLoopRunsAfterIt)
{
    IoThread io;
    ASSERT_TRUE(io.start());
    std::atomic<bool> nested{false};
    std::atomic<bool> posted{false};
    std::atomic<bool> ran{false};
    io.post([&] {
        QEventLoop loop;
        QTimer tick;
        int ticksSincePost = 0;
        // Enough turns of the nested loop for the wake of the post to be
        // delivered, and spent, inside it.
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (posted && ++ticksSincePost == 20)
                loop.quit();
        });
        tick.start(1);
        nested = true;
        loop.exec();
    });
    while (!nested)
        Sleep(1);
    io.post([&] { ran = true; });
    posted = true;
    QElapsedTimer waited;
    waited.start();
    while (!ran && waited.elapsed() < 10000)
        Sleep(5);
    EXPECT_TRUE(ran);
    io.stop();
}
