// The protocol logic without a bus: SDO client transfers against a scripted
// server, NMT frames, node state, bus figures, and the bounded frame FIFO.
#include "protocol/BusCounter.h"
#include "protocol/EmergencyLog.h"
#include "protocol/NodeProbe.h"
#include "protocol/ReceiveClock.h"
#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"
#include "protocol/FrameRing.h"
#include "protocol/Nmt.h"
#include "protocol/NodeMonitor.h"
#include "protocol/SdoClient.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace cia301 = qelcopn::cia301;
namespace nodeprobe = qelcopn::nodeprobe;
using qelcopn::CanFrame;
using qelcopn::BusCounter;
using qelcopn::FrameRing;
using qelcopn::NodeMonitor;
using qelcopn::ReceiveClock;
using qelcopn::SdoClient;
using qelcopn::isNmtTarget;
using qelcopn::nmtFrame;
using qelcopn::readLe32;
using qelcopn::PdoEntry;

using namespace cia301;
using Status = SdoClient::Status;

namespace {

constexpr uint8_t kNode = 9;
constexpr int64_t kTimeout = 500'000;

CanFrame serverFrame(std::initializer_list<uint8_t> bytes) { return sdoFrame(COB_SDO_TX + kNode, bytes); }

uint32_t abortCodeOf(const CanFrame &f) { return readLe32(f.data + 4); }

// One object on a scripted node kNode, served to a client without a bus;
// what the client sent is kept.
struct Exchange {
    ScriptedPeer peer{kNode};
    std::vector<CanFrame> requests;

    Exchange(uint16_t index, std::vector<uint8_t> object, gatewaysim::SdoServer::UploadStyle style = {})
    {
        peer.setObject(index, 0, std::move(object));
        peer.setUploadStyle(style);
    }

    SdoClient::Step run(SdoClient &client, SdoClient::Step step, int64_t now = 0)
    {
        while (step.status == Status::Running && step.send) {
            requests.push_back(step.frame);
            std::optional<CanFrame> reply;
            peer.handle(step.frame, [&reply](const CanFrame &f) {
                reply = f;
                return true;
            });
            if (!reply)
                return step;
            step = client.onFrame(*reply, now);
        }
        if (step.send)
            requests.push_back(step.frame);
        return step;
    }
};

std::vector<uint8_t> pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 7 + 3);
    return v;
}

// 256 bytes for the caller, then a guard that must never change.
struct GuardedBuffer {
    uint8_t bytes[256 + 32];
    GuardedBuffer() { std::memset(bytes, 0xA5, sizeof bytes); }
    bool guardIntact() const
    {
        for (size_t i = 256; i < sizeof bytes; ++i)
            if (bytes[i] != 0xA5)
                return false;
        return true;
    }
};

} // namespace

TEST(SdoUploadTest, SizesFromEmptyToOneByteTooMany)
{
    // As the gateway sends them; without the size; all segmented, without the size.
    using Style = gatewaysim::SdoServer::UploadStyle;
    for (const Style style : {Style{true, true}, Style{true, false}, Style{false, false}}) {
        for (size_t size : {0u, 1u, 4u, 5u, 7u, 8u, 255u, 256u, 257u}) {
            SCOPED_TRACE(testing::Message() << size << " bytes, small expedited: " << style.expediteSmall
                                            << ", size announced: " << style.announceSize);
            Exchange server(0x1008, pattern(size), style);
            GuardedBuffer buffer;
            SdoClient client;
            const SdoClient::Step end =
                server.run(client, client.startUpload(kNode, 0x1008, 0, buffer.bytes, 256, 0, kTimeout));

            EXPECT_TRUE(buffer.guardIntact());
            ASSERT_FALSE(server.requests.empty());
            EXPECT_EQ(server.requests[0].id, COB_SDO_RX + kNode);
            EXPECT_EQ(server.requests[0].data[0], 0x40);
            EXPECT_EQ(server.requests[0].data[1], 0x08);
            EXPECT_EQ(server.requests[0].data[2], 0x10);
            if (size <= 256) {
                EXPECT_EQ(end.status, Status::Done);
                EXPECT_EQ(client.length(), size);
                if (size > 0) {
                    EXPECT_EQ(std::memcmp(buffer.bytes, pattern(size).data(), size), 0);
                }
                // Segment requests alternate the toggle bit.
                for (size_t i = 1; i < server.requests.size(); ++i)
                    EXPECT_EQ(server.requests[i].data[0], (i % 2) ? 0x60 : 0x70);
            } else {
                // Too much for the buffer: the client aborts and fails.
                EXPECT_EQ(end.status, Status::Failed);
                EXPECT_EQ(client.abortCode(), sdo::ABORT_OUT_OF_MEMORY);
                EXPECT_EQ(server.requests.back().data[0], 0x80);
                EXPECT_EQ(abortCodeOf(server.requests.back()), sdo::ABORT_OUT_OF_MEMORY);
            }
        }
    }
}

TEST(SdoUploadTest, ExpeditedReplyLargerThanASmallBufferFails)
{
    Exchange server(0x1000, {1, 2, 3, 4});
    uint8_t small[2 + 4] = {0, 0, 0xA5, 0xA5, 0xA5, 0xA5};
    SdoClient client;
    const auto end = server.run(client, client.startUpload(kNode, 0x1000, 0, small, 2, 0, kTimeout));
    EXPECT_EQ(end.status, Status::Failed);
    EXPECT_EQ(small[2], 0xA5);
    EXPECT_EQ(small[5], 0xA5);
}

TEST(SdoUploadTest, ProtocolFaultsAbortTheTransfer)
{
    uint8_t buffer[256];
    {
        SCOPED_TRACE("toggle error");
        SdoClient client;
        client.startUpload(kNode, 0x1008, 0, buffer, sizeof buffer, 0, kTimeout);
        auto step = client.onFrame(serverFrame({0x41, 0x08, 0x10, 0x00, 20, 0, 0, 0}), 0);
        ASSERT_TRUE(step.send);
        EXPECT_EQ(step.frame.data[0], 0x60);
        // The server answers with the toggle bit set where it must be clear.
        step = client.onFrame(serverFrame({0x10, 'a', 'b', 'c', 'd', 'e', 'f', 'g'}), 0);
        EXPECT_EQ(step.status, Status::Failed);
        ASSERT_TRUE(step.send);
        EXPECT_EQ(step.frame.data[0], 0x80);
        EXPECT_EQ(abortCodeOf(step.frame), sdo::ABORT_TOGGLE);
        EXPECT_EQ(client.abortCode(), sdo::ABORT_TOGGLE);
    }
    {
        SCOPED_TRACE("server abort");
        SdoClient client;
        client.startUpload(kNode, 0x1018, 4, buffer, sizeof buffer, 0, kTimeout);
        const auto step = client.onFrame(serverFrame({0x80, 0x18, 0x10, 0x04, 0x11, 0x00, 0x09, 0x06}), 0);
        EXPECT_EQ(step.status, Status::Failed);
        EXPECT_FALSE(step.send); // an abort is not answered
        EXPECT_EQ(client.abortCode(), sdo::ABORT_NO_SUBINDEX);
    }
    for (auto reply : {serverFrame({0x43, 0x01, 0x10, 0x00, 1, 2, 3, 4}),   // wrong index
                       serverFrame({0x43, 0x00, 0x10, 0x01, 1, 2, 3, 4})}) { // wrong sub-index
        SCOPED_TRACE("reply for another object");
        SdoClient client;
        uint32_t value = 0xDEADBEEF;
        client.startUpload(kNode, 0x1000, 0, reinterpret_cast<uint8_t *>(&value), 4, 0, kTimeout);
        const auto step = client.onFrame(reply, 0);
        EXPECT_EQ(step.status, Status::Failed);
        EXPECT_TRUE(step.send);
        EXPECT_EQ(step.frame.data[0], 0x80);
        EXPECT_EQ(value, 0xDEADBEEFu);
    }
    {
        SCOPED_TRACE("frames of other nodes are not ours");
        SdoClient client;
        client.startUpload(kNode, 0x1000, 0, buffer, sizeof buffer, 0, kTimeout);
        CanFrame other = serverFrame({0x43, 0x00, 0x10, 0x00, 1, 2, 3, 4});
        other.id = COB_SDO_TX + kNode + 1;
        const auto step = client.onFrame(other, 0);
        EXPECT_EQ(step.status, Status::Running);
        EXPECT_FALSE(step.send);
        EXPECT_TRUE(client.running());
    }
}

TEST(SdoUploadTest, SegmentsThatMissTheAnnouncedSizeAbortWithTheFrame)
{
    uint8_t buffer[256];
    const auto announced = [](uint8_t size) { return serverFrame({0x41, 0x08, 0x10, 0x00, size, 0, 0, 0}); };
    {
        SCOPED_TRACE("more than announced: aborted at the segment that passes it");
        SdoClient client;
        client.startUpload(kNode, 0x1008, 0, buffer, sizeof buffer, 0, kTimeout);
        client.onFrame(announced(10), 0);
        EXPECT_TRUE(client.onFrame(serverFrame({0x00, 1, 2, 3, 4, 5, 6, 7}), 0).send); // 7 of 10, not last
        const auto step = client.onFrame(serverFrame({0x10, 1, 2, 3, 4, 5, 6, 7}), 0);  // 14, not last
        EXPECT_EQ(step.status, Status::Failed);
        ASSERT_TRUE(step.send);
        EXPECT_EQ(step.frame.data[0], 0x80);
        EXPECT_EQ(abortCodeOf(step.frame), sdo::ABORT_TOO_LONG);
    }
    {
        SCOPED_TRACE("less than announced: the abort goes out too");
        SdoClient client;
        client.startUpload(kNode, 0x1008, 0, buffer, sizeof buffer, 0, kTimeout);
        client.onFrame(announced(10), 0);
        const auto step = client.onFrame(serverFrame({0x0B, 1, 2}), 0); // 2 bytes, last
        EXPECT_EQ(step.status, Status::Failed);
        ASSERT_TRUE(step.send);
        EXPECT_EQ(abortCodeOf(step.frame), sdo::ABORT_TOO_SHORT);
    }
    {
        SCOPED_TRACE("a short frame on the reply COB-ID is not the server's");
        SdoClient client;
        uint8_t value[4] = {};
        client.startUpload(kNode, 0x1000, 0, value, 4, 0, kTimeout);
        CanFrame runt = serverFrame({0x43, 0x00, 0x10});
        runt.length = 3;
        const auto ignored = client.onFrame(runt, 0);
        EXPECT_FALSE(ignored.send);
        EXPECT_TRUE(client.running());
        EXPECT_EQ(client.onFrame(serverFrame({0x43, 0x00, 0x10, 0x00, 1, 2, 3, 4}), 0).status, Status::Done);
    }
}

TEST(SdoUploadTest, SilentServerTimesOutWithAbort)
{
    uint8_t buffer[8];
    SdoClient client;
    client.startUpload(kNode, 0x1000, 0, buffer, sizeof buffer, 1000, kTimeout);
    EXPECT_FALSE(client.onTime(1000 + kTimeout - 1).send);
    EXPECT_TRUE(client.running());
    // Each answer restarts the time-out.
    client.onFrame(serverFrame({0x41, 0x00, 0x10, 0x00, 8, 0, 0, 0}), 2000);
    EXPECT_FALSE(client.onTime(1000 + kTimeout).send);
    const auto step = client.onTime(2000 + kTimeout);
    EXPECT_EQ(step.status, Status::Failed);
    ASSERT_TRUE(step.send);
    EXPECT_EQ(step.frame.id, COB_SDO_RX + kNode);
    EXPECT_EQ(step.frame.data[0], 0x80);
    EXPECT_EQ(abortCodeOf(step.frame), sdo::ABORT_TIMEOUT);
    EXPECT_FALSE(client.running());
    EXPECT_FALSE(client.onTime(10 * kTimeout).send); // once only
}

TEST(SdoDownloadTest, ExpeditedFramesAndOutcomes)
{
    SdoClient client;
    const uint8_t value[2] = {0x0A, 0x00};
    auto step = client.startDownload(kNode, 0x1803, 5, value, 2, 0, kTimeout);
    ASSERT_TRUE(step.send);
    const uint8_t expected[8] = {0x2B, 0x03, 0x18, 0x05, 0x0A, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(step.frame.data, expected, 8), 0);
    EXPECT_EQ(step.frame.id, 0x609u);
    step = client.onFrame(serverFrame({0x60, 0x03, 0x18, 0x05}), 0);
    EXPECT_EQ(step.status, Status::Done);

    const uint8_t four[4] = {1, 2, 3, 4};
    step = client.startDownload(kNode, 0x2000, 1, four, 4, 0, kTimeout);
    EXPECT_EQ(step.frame.data[0], 0x23);
    step = client.onFrame(serverFrame({0x80, 0x00, 0x20, 0x01, 0x02, 0x00, 0x01, 0x06}), 0);
    EXPECT_EQ(step.status, Status::Failed);
    EXPECT_EQ(client.abortCode(), sdo::ABORT_READ_ONLY);

    EXPECT_EQ(client.startDownload(kNode, 0x2000, 1, four, 5, 0, kTimeout).status, Status::Failed);
    EXPECT_EQ(client.startDownload(kNode, 0x2000, 1, nullptr, 1, 0, kTimeout).status, Status::Failed);
}

TEST(NmtTest, CommandFrames)
{
    const CanFrame start = nmtFrame(NMT_START_REMOTE_NODE, 7);
    EXPECT_EQ(start.id, 0u);
    EXPECT_EQ(start.length, 2);
    EXPECT_EQ(start.data[0], 0x01);
    EXPECT_EQ(start.data[1], 7);
    const CanFrame resetAll = nmtFrame(NMT_RESET_COMMUNICATION, 0);
    EXPECT_EQ(resetAll.data[0], 0x82);
    EXPECT_EQ(resetAll.data[1], 0);
    EXPECT_TRUE(isNmtTarget(0));
    EXPECT_TRUE(isNmtTarget(127));
    EXPECT_FALSE(isNmtTarget(128));
}

TEST(NodeMonitorTest, StateAndOnlineFromWhatTheNodeSends)
{
    NodeMonitor monitor;
    const int64_t s = 1'000'000;
    EXPECT_FALSE(monitor.heardOf(7));
    EXPECT_FALSE(monitor.online(7, s));
    EXPECT_EQ(monitor.state(7), NodeMonitor::kStateUnknown);

    CanFrame bootUp;
    bootUp.id = 0x707;
    bootUp.length = 1;
    monitor.onFrame(bootUp, 10 * s);
    EXPECT_TRUE(monitor.online(7, 10 * s));
    EXPECT_EQ(monitor.state(7), NMT_STATE_BOOTUP);
    EXPECT_TRUE(monitor.online(7, 13 * s));
    EXPECT_FALSE(monitor.online(7, 13 * s + 1));

    // Heartbeats every 2 s widen the window to three periods.
    CanFrame heartbeat = bootUp;
    heartbeat.data[0] = NMT_STATE_OPERATIONAL;
    monitor.onFrame(heartbeat, 20 * s);
    monitor.onFrame(heartbeat, 22 * s);
    EXPECT_EQ(monitor.state(7), NMT_STATE_OPERATIONAL);
    EXPECT_TRUE(monitor.online(7, 26 * s + 500'000));
    EXPECT_TRUE(monitor.online(7, 28 * s));
    EXPECT_FALSE(monitor.online(7, 28 * s + 1));

    // Any frame the node sends counts; frames addressed to it do not.
    CanFrame pdo;
    pdo.id = 0x480 + 9;
    pdo.length = 8;
    monitor.onFrame(pdo, 30 * s);
    EXPECT_TRUE(monitor.online(9, 30 * s));
    EXPECT_EQ(monitor.state(9), NodeMonitor::kStateUnknown);
    for (uint32_t toNode : {0x600u + 11, 0x200u + 11, 0x000u, 0x080u}) {
        CanFrame f;
        f.id = toNode;
        monitor.onFrame(f, 30 * s);
    }
    EXPECT_FALSE(monitor.heardOf(11));
    EXPECT_FALSE(monitor.online(0, 30 * s));
    EXPECT_FALSE(monitor.online(128, 30 * s));
}

TEST(NodeMonitorTest, RemoteRequestsAndLongGapsDoNotKeepANodeOnline)
{
    NodeMonitor monitor;
    const int64_t s = 1'000'000;
    // Another master guarding node 5 sends remote frames on its COB-ID.
    CanFrame guard;
    guard.id = 0x705;
    guard.remote = true;
    monitor.onFrame(guard, 1 * s);
    EXPECT_FALSE(monitor.heardOf(5));
    EXPECT_FALSE(monitor.online(5, 1 * s));

    // Heartbeats 20 s apart are not taken as a period: the node, once
    // silent, is offline after the usual window, not after a minute.
    CanFrame heartbeat;
    heartbeat.id = 0x706;
    heartbeat.length = 1;
    heartbeat.data[0] = NMT_STATE_OPERATIONAL;
    monitor.onFrame(heartbeat, 10 * s);
    monitor.onFrame(heartbeat, 30 * s);
    EXPECT_FALSE(monitor.online(6, 34 * s));
}

CanFrame frameOn(uint32_t id, std::initializer_list<uint8_t> bytes)
{
    CanFrame f;
    f.id = id;
    f.length = uint8_t(bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.data);
    return f;
}

TEST(NodeMonitorTest, ViewTellsStatePeriodLossAndEmergencies)
{
    NodeMonitor monitor;
    const int64_t s = 1'000'000;
    EXPECT_FALSE(monitor.view(12, s).heard);

    monitor.onFrame(frameOn(0x70C, {NMT_STATE_BOOTUP}), 1 * s);
    NodeMonitor::View v = monitor.view(12, 1 * s);
    EXPECT_TRUE(v.heard);
    EXPECT_EQ(v.state, NMT_STATE_BOOTUP);
    EXPECT_FALSE(v.lost); // no period measured yet

    monitor.onFrame(frameOn(0x70C, {NMT_STATE_PRE_OPERATIONAL}), 2 * s);
    monitor.onFrame(frameOn(0x70C, {NMT_STATE_PRE_OPERATIONAL}), 3 * s);
    v = monitor.view(12, 5 * s);
    EXPECT_EQ(v.state, NMT_STATE_PRE_OPERATIONAL);
    EXPECT_EQ(v.heartbeatPeriodMicros, 1 * s);
    EXPECT_FALSE(v.lost);
    // Other frames keep it heard but are no heartbeat: lost after two periods.
    monitor.onFrame(frameOn(0x58C, {0x43, 0, 0x10, 0, 0, 0, 0, 0}), 5 * s);
    v = monitor.view(12, 5 * s + 1);
    EXPECT_TRUE(v.lost);
    EXPECT_EQ(v.lastHeardMicros, 5 * s);

    // A guarding answer (toggle bit set) reports the state as a heartbeat does.
    monitor.onFrame(frameOn(0x70C, {0x80 | NMT_STATE_STOPPED}), 6 * s);
    v = monitor.view(12, 6 * s);
    EXPECT_FALSE(v.lost);
    EXPECT_EQ(v.state, NMT_STATE_STOPPED);

    monitor.onFrame(frameOn(0x8C, {0x30, 0x81, 0x11, 1, 2, 3, 4, 5}), 7 * s);
    monitor.onFrame(frameOn(0x8C, {0x10, 0x81, 0x11, 0xA, 0xB, 0xC, 0xD, 0xE}), 8 * s);
    v = monitor.view(12, 9 * s);
    EXPECT_EQ(v.emergencies, 2u);
    EXPECT_EQ(v.lastEmergencyMicros, 8 * s);
    EXPECT_EQ(std::vector<uint8_t>(v.lastEmergency, v.lastEmergency + 8),
              (std::vector<uint8_t>{0x10, 0x81, 0x11, 0xA, 0xB, 0xC, 0xD, 0xE}));
    // The network's log holds both, in order, with their sender.
    qelcopn::EmergencyEntry entries[4];
    uint64_t next = 0;
    ASSERT_EQ(monitor.emergencies().read(0, entries, 4, &next), 2u);
    EXPECT_EQ(entries[0].node, 12);
    EXPECT_EQ(entries[0].data[0], 0x30);
    EXPECT_EQ(entries[1].rxMicros, 8 * s);
    EXPECT_EQ(next, 3u);
}

TEST(EmergencyLogTest, KeepsTheNewestAndTellsWhatWasMissed)
{
    qelcopn::EmergencyLog log(4);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int k = 0; k < 6; ++k)
        log.push(uint8_t(k + 1), data, 8, k);
    qelcopn::EmergencyEntry entries[8];
    uint64_t next = 0;
    ASSERT_EQ(log.read(1, entries, 8, &next), 4u);
    EXPECT_EQ(entries[0].sequence, 3u); // 1 and 2 went before they were read
    EXPECT_EQ(entries[3].node, 6);
    EXPECT_EQ(next, 7u);
    EXPECT_EQ(log.read(next, entries, 8, &next), 0u);
    EXPECT_EQ(next, 7u);
    // A reader may take them a few at a time.
    log.push(9, data, 3, 9);
    log.push(10, data, 8, 10);
    ASSERT_EQ(log.read(next, entries, 1, &next), 1u);
    EXPECT_EQ(entries[0].length, 3);
    EXPECT_EQ(next, 8u);
    // A number from an earlier interface's log goes on with what comes next.
    EXPECT_EQ(log.read(1000, entries, 8, &next), 0u);
    EXPECT_EQ(next, 9u);
}

TEST(BusCounterTest, RatesAndLoadOfAStreamOfKnownRate)
{
    BusCounter counter;
    CanFrame pdo;
    pdo.id = 0x487;
    pdo.length = 8;
    CanFrame request;
    request.id = 0x607;
    request.length = 2;
    // 926 PDOs a second in, 10 requests a second out, for 3 s and into the
    // slice in progress.
    int64_t nextSent = 5'000'000;
    for (int64_t k = 0; k < 3 * 926 + 5; ++k) {
        const int64_t t = 5'000'000 + k * 1'000'000 / 926;
        for (; nextSent <= t; nextSent += 100'000)
            counter.onSent(request, nextSent);
        counter.onReceived(pdo, t);
    }
    const BusCounter::Figures f = counter.figures(8'005'500, 250000);
    // A whole second: every slice of it, none lost to the one in progress.
    EXPECT_NEAR(f.receivedPerSecond, 926, 1);
    EXPECT_EQ(f.sentPerSecond, 10u);
    EXPECT_EQ(f.received, 3u * 926 + 5);
    EXPECT_EQ(f.sent, 31u);
    // (926 * (47 + 64) + 10 * (47 + 16)) bits of 250,000.
    EXPECT_EQ(f.loadPermille, (f.receivedPerSecond * 111 + 10 * 63) * 1000 / 250000);
    EXPECT_EQ(f.loadPermille / 10, 41u);
    EXPECT_EQ(counter.figures(8'005'500, 0).loadPermille, 0u) << "no rate, no load";

    // Silence: after a second without frames the rates are 0, the time told.
    const BusCounter::Figures quiet = counter.figures(12'000'000, 250000);
    EXPECT_EQ(quiet.receivedPerSecond, 0u);
    EXPECT_EQ(quiet.loadPermille, 0u);
    EXPECT_EQ(quiet.silentMicros, 12'000'000 - (5'000'000 + (3 * 926 + 4) * int64_t(1'000'000) / 926));
    EXPECT_EQ(BusCounter().figures(0, 250000).silentMicros, -1);
}

TEST(BusCounterTest, ErrorFramesAreCountedAndSetTheState)
{
    BusCounter counter;
    using State = BusCounter::State;
    const auto error = [](uint32_t classes, uint8_t controller = 0) {
        CanFrame f;
        f.error = true;
        f.id = classes;
        f.length = 8;
        f.data[1] = controller;
        return f;
    };
    EXPECT_EQ(counter.figures(0, 0).state, State::ErrorActive);
    counter.onReceived(error(0x004, 0x08), 1); // transmit warning
    EXPECT_EQ(counter.figures(1, 0).state, State::Warning);
    counter.onReceived(error(0x004 | 0x080, 0x10), 2); // receive passive, bus error
    EXPECT_EQ(counter.figures(2, 0).state, State::Passive);
    counter.onReceived(error(0x040), 3);
    EXPECT_EQ(counter.figures(3, 0).state, State::BusOff);
    counter.onReceived(error(0x100), 4);
    const BusCounter::Figures f = counter.figures(4, 0);
    EXPECT_EQ(f.state, State::ErrorActive);
    EXPECT_EQ(f.errorFrames, 4u);
    EXPECT_EQ(f.lastErrorClass, 0x100u);
    EXPECT_EQ(f.received, 0u) << "error frames are not bus traffic";
    EXPECT_EQ(f.silentMicros, -1);
}

TEST(FrameRingTest, KeepsOrderAndDropsTheOldestWhenFull)
{
    FrameRing<PdoEntry> ring(4);
    PdoEntry e;
    for (uint32_t i = 1; i <= 4; ++i) {
        e.sequence = i;
        EXPECT_TRUE(ring.push(e));
    }
    e.sequence = 5;
    EXPECT_FALSE(ring.push(e));
    e.sequence = 6;
    EXPECT_FALSE(ring.push(e));
    EXPECT_EQ(ring.dropped(), 2u);
    EXPECT_EQ(ring.pushed(), 6u);
    PdoEntry out;
    for (uint32_t expected = 3; expected <= 6; ++expected) {
        ASSERT_TRUE(ring.take(&out));
        EXPECT_EQ(out.sequence, expected);
    }
    EXPECT_FALSE(ring.take(&out));
}

TEST(ReceiveClockTest, StampsKeepTheirGapsOnTheMonotonicClock)
{
    ReceiveClock clock;
    // The first batch fixes the offset: its newest frame was read at once.
    clock.beginBatch(1'020'000, 50'000'000);
    EXPECT_EQ(clock.map(1'000'000), 49'980'000);
    EXPECT_EQ(clock.map(1'010'000), 49'990'000);
    EXPECT_EQ(clock.map(1'020'000), 50'000'000);
    // A batch read late keeps the offset: its frames are as old as stamped.
    clock.beginBatch(1'100'000, 50'200'000);
    EXPECT_EQ(clock.map(1'100'000), 50'080'000);
    // One read sooner than the first tightens it.
    clock.beginBatch(1'300'000, 50'270'000);
    EXPECT_EQ(clock.map(1'300'000), 50'270'000);
    clock.beginBatch(1'310'000, 50'290'000);
    EXPECT_EQ(clock.map(1'310'000), 50'280'000);
}

TEST(ReceiveClockTest, ZeroStampsAndJumpsNeitherReverseNorOutrunTime)
{
    ReceiveClock clock;
    clock.beginBatch(0, 7'000'000);
    EXPECT_EQ(clock.map(0), 7'000'000) << "no stamp: the read time";
    clock.beginBatch(2'000'000, 7'100'000);
    EXPECT_EQ(clock.map(2'000'000), 7'100'000);
    EXPECT_EQ(clock.map(0), 7'100'000);
    // The adapter's clock jumps back: the offset is taken afresh, gaps kept.
    clock.beginBatch(5'000, 7'300'000);
    EXPECT_EQ(clock.map(1'000), 7'296'000);
    EXPECT_EQ(clock.map(5'000), 7'300'000);
    // ... and forward a day: the newest frame is never later than its read.
    clock.beginBatch(86'400'000'000, 7'400'000);
    EXPECT_EQ(clock.map(86'400'000'000), 7'400'000);
    // A stamp out of order within a batch does not run time backwards.
    clock.beginBatch(86'400'200'000, 7'600'000);
    EXPECT_EQ(clock.map(86'400'200'000), 7'600'000);
    EXPECT_EQ(clock.map(86'400'100'000), 7'600'000);
}

TEST(NodeProbeTest, TimeOutGrowsWithSlowRatesAndTheRequestsQueued)
{
    using nodeprobe::timeoutMicros;
    // One request at full speed or faster: the node's answer time alone,
    // plus its bits.
    EXPECT_EQ(timeoutMicros(1'000'000, 1000, 1), 50'000 + 270);
    EXPECT_EQ(timeoutMicros(125'000, 1000, 1), 50'000 + 2'160);
    // Slower rates stretch the answer time in proportion.
    EXPECT_EQ(timeoutMicros(50'000, 1000, 1), 125'000 + 5'400);
    EXPECT_EQ(timeoutMicros(10'000, 1000, 1), 625'000 + 27'000);
    // 63 requests at once at 10 kbit/s: each waits for those before it.
    EXPECT_EQ(timeoutMicros(10'000, 1000, 63), 625'000 + 63 * 27'000);
    // Never longer than the SDO time-out (but for the queue).
    EXPECT_EQ(timeoutMicros(10'000, 100, 1), 100'000 + 27'000);
    EXPECT_EQ(timeoutMicros(0, 1000, 1), 50'000 + 270) << "rate not set";
}

TEST(NodeProbeTest, AnUnheardNodeIsAskedAgainAfterTenSeconds)
{
    using nodeprobe::due;
    const int64_t s = 1'000'000;
    EXPECT_TRUE(due(false, 0, 0, 5 * s)) << "never asked";
    EXPECT_FALSE(due(false, 5 * s, 0, 14 * s));
    EXPECT_FALSE(due(false, 5 * s, 0, 15 * s - 1));
    EXPECT_TRUE(due(false, 5 * s, 0, 15 * s));
    EXPECT_FALSE(due(true, 0, 0, 5 * s)) << "heard of: its traffic tells";
    // Silent since our reset: absent, without a probe, once it had time to boot.
    EXPECT_TRUE(due(false, 0, 5 * s, 5 * s + 499'999));
    EXPECT_FALSE(due(false, 0, 5 * s, 5 * s + 500'000));
}
