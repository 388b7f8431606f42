// The library through its C exports on a private virtual bus, against a
// scripted node in a peer thread.
#include "LibraryFixture.h"
#include "Platform.h"

#include <QCoreApplication>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

using qelcopn::CanFrame;
using qelcopn::CanBusPort;

namespace {

// The next frame the peer saw, as "ID: bytes".
std::string nextFrameAtPeer(PeerThread &peer)
{
    CanFrame f;
    if (!peer.waitFrame(&f))
        return "nothing";
    char text[64];
    int at = std::snprintf(text, sizeof text, "%03X:", unsigned(f.id));
    for (int i = 0; i < f.length; ++i)
        at += std::snprintf(text + at, sizeof text - size_t(at), " %02X", f.data[i]);
    return text;
}

} // namespace

TEST_F(LibraryTest, OpenOnlineOfflineAndClose)
{
    // Held open and online: a second open is the wrong mode.
    ASSERT_NE(SetOnline(h, 1), 0);
    uint32_t second = 0;
    EXPECT_EQ(OpenInterface(&second, &hw), 0);
    EXPECT_EQ(errno, int(QELCOPN_ERROR_WRONG_MODE));

    EXPECT_NE(NMT_StartRemoteNode(h, kPeerNode), 0);
    EXPECT_EQ(nextFrameAtPeer(*peer), "000: 01 07");
    EXPECT_NE(NMT_ResetCommunication(h, 0), 0); // 0 = all nodes
    EXPECT_EQ(nextFrameAtPeer(*peer), "000: 82 00");

    // Offline: nothing goes out.
    ASSERT_NE(SetOnline(h, 0), 0);
    EXPECT_EQ(NMT_StartRemoteNode(h, kPeerNode), 0);
    uint32_t online = 7;
    EXPECT_EQ(GetNodeOnline(h, kPeerNode, &online), 0);

    // Held open but not online: opening again releases the old handle.
    ASSERT_NE(OpenInterface(&second, &hw), 0);
    EXPECT_NE(second, h);
    EXPECT_EQ(SetOnline(h, 1), 0); // stale now
    ASSERT_NE(SetOnline(second, 1), 0);
    EXPECT_NE(NMT_EnterPreOperational(second, kPeerNode), 0);
    EXPECT_EQ(nextFrameAtPeer(*peer), "000: 80 07");

    EXPECT_NE(CloseInterface(second), 0);
    EXPECT_EQ(CloseInterface(second), 0);
    EXPECT_EQ(NMT_StartRemoteNode(second, kPeerNode), 0);
    EXPECT_EQ(CloseCard(second), 0);
}

TEST_F(LibraryTest, BadInputFailsAndSendsNothing)
{
    ASSERT_NE(SetOnline(h, 1), 0);
    uint32_t value32 = 0;
    uint8_t value8 = 0;
    uint32_t length = 256;
    uint8_t buffer[256];
    for (uint8_t bad : {uint8_t(0), uint8_t(128), uint8_t(255)}) {
        EXPECT_EQ(SDO_Upload_UNSIGNED32(h, bad, 0x1000, 0, &value32), 0);
        EXPECT_EQ(SDO_Upload(h, bad, 0x1008, 0, &length, buffer), 0);
        EXPECT_EQ(SDO_Download_UNSIGNED16(h, bad, 0x1803, 5, 10), 0);
        EXPECT_EQ(AddPDO(h, bad, 16, 3, 1000), 0);
        EXPECT_EQ(GetNodeOnline(h, bad, &value32), 0);
        EXPECT_EQ(SetNodeID(h, bad), 0);
    }
    EXPECT_EQ(NMT_StartRemoteNode(h, 128), 0);
    EXPECT_EQ(SDO_Upload_UNSIGNED8(h, kPeerNode, 0x1001, 0, nullptr), 0);
    EXPECT_EQ(SDO_Upload(h, kPeerNode, 0x1008, 0, nullptr, buffer), 0);
    EXPECT_EQ(SDO_Upload(h, kPeerNode, 0x1008, 0, &length, nullptr), 0);
    EXPECT_EQ(GetNodeOnline(h, kPeerNode, nullptr), 0);
    EXPECT_EQ(CheckEmergency(h, nullptr, buffer), 0);
    EXPECT_EQ(AddPDO(h, kPeerNode, 17, 3, 1000), 0);
    EXPECT_EQ(AddPDO(h, kPeerNode, 16, 4, 1000), 0);
    int32_t event = 0;
    EXPECT_EQ(COP_PDO_Get_Event(h, kPeerNode, 18, 3, &event), 0); // not registered
    EXPECT_EQ(SDO_Upload_UNSIGNED8(h + 1000, kPeerNode, 0x1001, 0, &value8), 0);
    for (uint32_t rate : {0u, 1u, 100000u, 250001u, 2000000u})
        EXPECT_EQ(SetBaud(h, rate), 0) << rate;
    EXPECT_NE(SetBaud(h, 500000), 0);
    EXPECT_NE(SetNodeID(h, 1), 0);

    // Opening: bad kinds and access points fail with a code that is not
    // the wrong-mode one.
    uint32_t other = 0;
    HardwareConfiguration bad = hardwareFor("can0", 9);
    errno = 0;
    EXPECT_EQ(OpenInterface(&other, &bad), 0);
    EXPECT_NE(errno, 0);
    EXPECT_NE(errno, int(QELCOPN_ERROR_WRONG_MODE));
    bad = hardwareFor("");
    EXPECT_EQ(OpenInterface(&other, &bad), 0);
    EXPECT_NE(errno, int(QELCOPN_ERROR_WRONG_MODE));
    std::memset(bad.AccessPoint, 'c', sizeof bad.AccessPoint); // no zero anywhere
    errno = 0;
    EXPECT_EQ(OpenInterface(&other, &bad), 0);
    EXPECT_NE(errno, 0);
    EXPECT_NE(errno, int(QELCOPN_ERROR_WRONG_MODE));
    EXPECT_EQ(OpenInterface(nullptr, &hw), 0);
    EXPECT_EQ(OpenInterface(&other, nullptr), 0);

    // The first frame the node sees is the one asked for now.
    EXPECT_NE(NMT_StopRemoteNode(h, kPeerNode), 0);
    EXPECT_EQ(nextFrameAtPeer(*peer), "000: 02 07");
}

TEST_F(LibraryTest, SdoTransfers)
{
    node.setObject(0x1000, 0, {0x91, 0x01, 0x0F, 0x00});
    node.setObject(0x1001, 0, {0x00});
    std::vector<uint8_t> name(255);
    for (size_t i = 0; i < name.size(); ++i)
        name[i] = uint8_t('A' + i % 26);
    node.setObject(0x1008, 0, name);
    node.setObject(0x100A, 0, std::vector<uint8_t>(257, 'x'));
    ASSERT_NE(SetOnline(h, 1), 0);

    // Never heard of: the library asks once, and the answer counts.
    uint32_t online = 0;
    ASSERT_NE(GetNodeOnline(h, kPeerNode, &online), 0);
    EXPECT_EQ(online, 1u);
    ASSERT_NE(GetNodeOnline(h, kPeerNode + 1, &online), 0);
    EXPECT_EQ(online, 0u);

    uint32_t deviceType = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED32(h, kPeerNode, 0x1000, 0, &deviceType), 0);
    EXPECT_EQ(deviceType, 0x000F0191u);
    uint8_t errorRegister = 0xFF;
    ASSERT_NE(SDO_Upload_UNSIGNED8(h, kPeerNode, 0x1001, 0, &errorRegister), 0);
    EXPECT_EQ(errorRegister, 0);

    uint8_t buffer[256 + 16];
    std::memset(buffer, 0xA5, sizeof buffer);
    uint32_t length = 256;
    ASSERT_NE(SDO_Upload(h, kPeerNode, 0x1008, 0, &length, buffer), 0);
    ASSERT_EQ(length, 255u);
    EXPECT_EQ(std::memcmp(buffer, name.data(), 255), 0);

    // One byte more than the buffer: the transfer is aborted, fails, and
    // nothing is written past the buffer (nor into it).
    std::memset(buffer, 0xA5, sizeof buffer);
    length = 256;
    EXPECT_EQ(SDO_Upload(h, kPeerNode, 0x100A, 0, &length, buffer), 0);
    for (uint8_t b : buffer)
        ASSERT_EQ(b, 0xA5);
    ASSERT_TRUE(eventually([&] { return !node.abortsReceived().empty(); }));
    EXPECT_EQ(node.abortsReceived().back(), 0x05040005u);

    // The node's abort fails the call.
    EXPECT_EQ(SDO_Upload_UNSIGNED32(h, kPeerNode, 0x2000, 0, &deviceType), 0);

    ASSERT_NE(SDO_Download_UNSIGNED16(h, kPeerNode, 0x1803, 5, 10), 0);
    EXPECT_EQ(node.object(0x1803, 5), (std::vector<uint8_t>{0x0A, 0x00}));

    // A node that stops answering: the time-out fails the call, and the
    // library tells the node with an abort.
    node.setSilent(true);
    ASSERT_NE(SetSDOTimeout(h, 100), 0);
    EXPECT_EQ(SDO_Upload_UNSIGNED32(h, kPeerNode, 0x1000, 0, &deviceType), 0);
    ASSERT_TRUE(eventually([&] { return node.abortsReceived().size() == 2; }));
    EXPECT_EQ(node.abortsReceived().back(), 0x05040000u);
    EXPECT_EQ(SetSDOTimeout(h, 0), 0);
}

TEST_F(LibraryTest, TypedUploadsTakeTheLowBytesOfAnyExpeditedReply)
{
    // A small object answered with four bytes, as some servers do.
    node.setObject(0x2001, 0, {0x34, 0x12, 0x00, 0x00});
    ASSERT_NE(SetOnline(h, 1), 0);
    uint8_t value8 = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED8(h, kPeerNode, 0x2001, 0, &value8), 0);
    EXPECT_EQ(value8, 0x34);
    uint16_t value16 = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED16(h, kPeerNode, 0x2001, 0, &value16), 0);
    EXPECT_EQ(value16, 0x1234);

    // Expedited without a size: four bytes.
    node.setSilent(true);
    uint32_t value32 = 0;
    int32_t ok = 0;
    std::thread caller([&] { ok = SDO_Upload_UNSIGNED32(h, kPeerNode, 0x2001, 0, &value32); });
    CanFrame request;
    const bool asked = peer->waitFrame(&request);
    sendFromPeer(0x580 + kPeerNode, {0x42, 0x01, 0x20, 0x00, 0x78, 0x56, 0x34, 0x12});
    caller.join();
    ASSERT_TRUE(asked);
    EXPECT_NE(ok, 0);
    EXPECT_EQ(value32, 0x12345678u);
}

TEST_F(LibraryTest, OnlineCloseAndUnloadFromTwoThreadsAtOnce)
{
    // Going online again connects in a nested event loop; a close or an
    // unload from another thread must wait for it, not run inside it.
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> handle{h};
    std::thread toggler([&] {
        while (!stop.load()) {
            SetOnline(handle, 1);
            uint32_t online = 0;
            GetNodeOnline(handle, kPeerNode, &online);
            SetOnline(handle, 0);
        }
    });
    Sleep(200);
    EXPECT_NE(CloseInterface(h), 0);
    uint32_t again = 0;
    EXPECT_NE(OpenInterface(&again, &hw), 0);
    handle = again;
    h = again;
    Sleep(100);
    EXPECT_NE(UnloadDriver(), 0);
    stop = true;
    toggler.join();
    EXPECT_EQ(SetOnline(h, 1), 0);
}

TEST_F(LibraryTest, TheFirstProbeAsksEveryUnheardNodeAtOnce)
{
    ASSERT_NE(SetOnline(h, 1), 0);
    uint32_t online = 1;
    ASSERT_NE(GetNodeOnline(h, 20, &online), 0);
    EXPECT_EQ(online, 0u);
    // Requests to nodes 1..126 (127 is our own), and the time-out's abort
    // to each but the node that answered.
    ASSERT_TRUE(eventually([&] { return peer->receivedCount() == 126 + 125; }));
    ASSERT_NE(GetNodeOnline(h, 30, &online), 0);
    EXPECT_EQ(online, 0u);
    ASSERT_NE(GetNodeOnline(h, kPeerNode, &online), 0);
    EXPECT_EQ(online, 1u);
    Sleep(100);
    EXPECT_EQ(peer->receivedCount(), 126u + 125u) << "later calls use the answers";
}

TEST_F(LibraryTest, BusStatisticsOfABurstOnTheBus)
{
    ASSERT_NE(SetBaud(h, 250000), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    EXPECT_EQ(GetBusStatistics(h, nullptr), 0);
    EXPECT_EQ(GetBusStatistics(h + 1000, nullptr), 0);
    Sleep(1100); // the set-up's frames leave the window
    BusStatistics before{};
    ASSERT_NE(GetBusStatistics(h, &before), 0);
    for (int k = 0; k < 300; ++k)
        sendFromPeer(0x487, {1, 2, 3, 4, 5, 6, 7, 8});
    BusStatistics s{};
    ASSERT_TRUE(eventually([&] { return GetBusStatistics(h, &s) && s.FramesPerSecondReceived == 300; }));
    EXPECT_EQ(s.FramesReceived - before.FramesReceived, 300u);
    EXPECT_EQ(s.LoadPermille, 300u * (47 + 64) * 1000 / 250000);
    EXPECT_EQ(s.BitRate, 250000u);
    EXPECT_EQ(s.State, QELCOPN_BUS_ERROR_ACTIVE);
    EXPECT_EQ(s.ErrorFrames, 0u);
    EXPECT_LT(s.SilentMs, 1000u);

    // What the queues lost is told with the rest.
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 3, 1000), 0);
    for (int k = 0; k < 4096 + 5; ++k)
        sendFromPeer(0x487, {uint8_t(k)});
    ASSERT_TRUE(eventually([&] { return GetBusStatistics(h, &s) && s.PdoFramesLost == 5; }));
    EXPECT_EQ(s.FramesLost, 5u);
}

TEST_F(LibraryTest, NodeStateFromBootUpAndHeartbeat)
{
    ASSERT_NE(SetOnline(h, 1), 0);
    uint8_t state = 0;
    ASSERT_NE(GetNodeState(h, 9, &state), 0);
    EXPECT_EQ(state, 0xFF);
    sendFromPeer(0x709, {0x00});
    ASSERT_TRUE(eventually([&] { return GetNodeState(h, 9, &state) && state == 0x00; }));
    sendFromPeer(0x709, {0x05});
    ASSERT_TRUE(eventually([&] { return GetNodeState(h, 9, &state) && state == 0x05; }));
    uint32_t online = 0;
    ASSERT_NE(GetNodeOnline(h, 9, &online), 0);
    EXPECT_EQ(online, 1u);
    // Heard of, so no probe went out for it.
    EXPECT_EQ(peer->receivedCount(), 0u);
}

TEST_F(LibraryTest, ANodeSilentSinceOurResetIsOfflineWithoutAProbe)
{
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(NMT_ResetCommunication(h, 0), 0);
    ASSERT_TRUE(eventually([&] { return peer->receivedCount() == 1; }));
    // Past the time a present node takes to announce its boot-up.
    Sleep(700);
    uint32_t online = 1;
    ASSERT_NE(GetNodeOnline(h, 9, &online), 0);
    EXPECT_EQ(online, 0u);
    Sleep(100);
    EXPECT_EQ(peer->receivedCount(), 1u) << "only the reset went out, no SDO probe";
}

TEST_F(LibraryTest, ListenOnlySilence)
{
    ASSERT_NE(SetNodeID(h, 127), 0);
    ASSERT_NE(SetBaud(h, 250000), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    for (uint8_t n = 1; n <= 99; ++n)
        AddNode(h, n);
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 3, 1000), 0);
    int32_t event = -1;
    ASSERT_NE(COP_PDO_Get_Event(h, kPeerNode, 18, 3, &event), 0);
    // The node talks; the library only listens.
    sendFromPeer(0x707, {0x05});
    sendFromPeer(0x487, {1, 2, 3, 4, 5, 6, 7, 8});
    sendFromPeer(0x087, {0x10, 0x42, 0x01, 0, 0, 0, 0, 0});
    ASSERT_EQ(WaitForSingleObject(event, 20000), WAIT_OBJECT_0);
    uint8_t length = 0, data[256], emcyNode = 0, message[18];
    uint32_t t1 = 0, t2 = 0;
    ASSERT_NE(COP_PDO_Read_Data_wTime(h, kPeerNode, 18, 3, &length, data, &t1, &t2), 0);
    ASSERT_TRUE(eventually([&] { return CheckEmergency(h, &emcyNode, message) != 0; }));
    uint8_t state = 0;
    GetNodeState(h, kPeerNode, &state);

    // The first frame the peer ever sees is the one an export sends now.
    EXPECT_EQ(peer->receivedCount(), 0u);
    EXPECT_NE(NMT_ResetCommunication(h, kPeerNode), 0);
    EXPECT_EQ(nextFrameAtPeer(*peer), "000: 82 07");
}

TEST_F(LibraryTest, EmergencyFifo)
{
    ASSERT_NE(SetOnline(h, 1), 0);
    uint8_t node = 0, message[18];
    EXPECT_EQ(CheckEmergency(h, &node, message), 0);
    int64_t before = 0;
    QueryPerformanceCounter(&before);
    sendFromPeer(0x080, {}); // SYNC: no emergency
    sendFromPeer(0x087, {0x10, 0x42, 0x01, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE});
    sendFromPeer(0x0FF, {0x00, 0x00, 0x00}); // short: the rest reads 0
    sendFromPeer(0x089, {0x30, 0x81, 0x11, 1, 2, 3, 4, 5});

    std::memset(message, 0x55, sizeof message);
    ASSERT_TRUE(eventually([&] { return CheckEmergency(h, &node, message) != 0; }));
    EXPECT_EQ(node, 7);
    const uint8_t first[8] = {0x10, 0x42, 0x01, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    EXPECT_EQ(std::memcmp(message, first, 8), 0);
    const uint32_t rx = uint32_t(message[8]) | uint32_t(message[9]) << 8 | uint32_t(message[10]) << 16
        | uint32_t(message[11]) << 24;
    EXPECT_GE(rx - uint32_t(before), 0u);
    EXPECT_LT(rx - uint32_t(before), 0x80000000u); // at or after `before`, modulo the wrap
    ASSERT_TRUE(eventually([&] { return CheckEmergency(h, &node, message) != 0; }));
    EXPECT_EQ(node, 127);
    EXPECT_EQ(message[3], 0);
    EXPECT_EQ(message[7], 0);
    ASSERT_TRUE(eventually([&] { return CheckEmergency(h, &node, message) != 0; }));
    EXPECT_EQ(node, 9);
    EXPECT_EQ(message[1], 0x81);
    EXPECT_EQ(CheckEmergency(h, &node, message), 0);

    // The network's log holds the same three, whatever the queue gave away.
    EmergencyRecord records[8] = {};
    uint64_t next = 0;
    uint32_t count = 0;
    ASSERT_NE(GetEmergencies(h, &next, records, 8, &count), 0);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(next, 4u);
    EXPECT_EQ(records[0].Node, 7);
    EXPECT_EQ(records[1].Length, 3);
    EXPECT_EQ(records[2].Sequence, 3u);
    EXPECT_GE(int64_t(records[0].RxTime), before);
    NodeStatus table[QELCOPN_NODE_TABLE_SIZE];
    ASSERT_NE(GetNodeTable(h, table), 0);
    EXPECT_EQ(table[9].Emergencies, 1u);
    EXPECT_EQ(table[9].LastEmergency[2], 0x11);
    EXPECT_EQ(table[9].State, QELCOPN_NODE_STATE_UNKNOWN);
    EXPECT_EQ(table[9].Heard, 1);
    EXPECT_EQ(table[8].Heard, 0);
    EXPECT_EQ(table[8].SilentMs, QELCOPN_NEVER_HEARD);
    EXPECT_EQ(GetNodeTable(h + 1000, table), 0);
    EXPECT_EQ(GetEmergencies(h, nullptr, records, 8, &count), 0);
}

TEST_F(LibraryTest, BurstOfPdosReadOnePerWake)
{
    constexpr uint32_t kCount = 50000;
    constexpr uint32_t kChunk = 2000; // below the FIFO's 4096: no loss however slow the reader
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 3, 1000), 0);
    int32_t event = -1, again = -1;
    ASSERT_NE(COP_PDO_Get_Event(h, kPeerNode, 18, 3, &event), 0);
    ASSERT_NE(COP_PDO_Get_Event(h, kPeerNode, 18, 3, &again), 0);
    EXPECT_EQ(event, again);
    EXPECT_GT(event, 0);

    std::atomic<uint32_t> read{0};
    std::atomic<bool> inOrder{true};
    std::thread reader([&] {
        uint32_t expectedSequence = 1;
        while (read.load() < kCount) {
            if (WaitForSingleObject(event, 20000) != WAIT_OBJECT_0)
                return;
            uint8_t length = 0, data[256];
            uint32_t t1 = 0, t2 = 0;
            if (!COP_PDO_Read_Data_wTime(h, kPeerNode, 18, 3, &length, data, &t1, &t2)) {
                inOrder = false; // a wake without a PDO
                return;
            }
            uint32_t counter;
            std::memcpy(&counter, data, 4);
            if ((length != 8 || t1 != expectedSequence || counter != read.load()) && inOrder.exchange(false))
                std::fprintf(stderr, "first PDO out of order: read %u, sequence %u, counter %u\n", read.load(), t1,
                             counter);
            ++expectedSequence;
            read.fetch_add(1);
        }
    });
    for (uint32_t sent = 0; sent < kCount; sent += kChunk) {
        peer->run([&](CanBusPort &port) {
            CanFrame f;
            f.id = 0x480 + kPeerNode;
            f.length = 8;
            for (uint32_t i = sent; i < sent + kChunk; ++i) {
                std::memcpy(f.data, &i, 4);
                port.write(f);
            }
        });
        if (!eventually([&] { return read.load() >= sent + kChunk || !inOrder; }, 60000)) {
            uint32_t received = 0, dropped = 0;
            PDO_Read_Receive_Count(h, kPeerNode, 18, 3, &received, &dropped);
            reader.detach(); // it gives up on its own; the test has failed
            FAIL() << "read " << read.load() << " of " << sent + kChunk << ", library received " << received
                   << ", dropped " << dropped;
        }
    }
    reader.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(read.load(), kCount);
    uint32_t received = 0, dropped = 0;
    ASSERT_NE(PDO_Read_Receive_Count(h, kPeerNode, 18, 3, &received, &dropped), 0);
    EXPECT_EQ(received, kCount);
    EXPECT_EQ(dropped, 0u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST_F(LibraryTest, FullPdoFifoDropsTheOldestAndCountsThem)
{
    constexpr uint32_t kCount = 5000;
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 0, 1000), 0); // first transmit PDO, 0x180 + node
    peer->run([&](CanBusPort &port) {
        CanFrame f;
        f.id = 0x180 + kPeerNode;
        f.length = 4;
        for (uint32_t i = 0; i < kCount; ++i) {
            std::memcpy(f.data, &i, 4);
            port.write(f);
        }
    });
    uint32_t received = 0, dropped = 0;
    ASSERT_TRUE(eventually([&] {
        return PDO_Read_Receive_Count(h, kPeerNode, 18, 0, &received, &dropped) && received == kCount;
    }, 60000));
    EXPECT_EQ(dropped, kCount - 4096);
    int32_t event = -1;
    ASSERT_NE(COP_PDO_Get_Event(h, kPeerNode, 18, 0, &event), 0);
    // The event counts exactly what is queued, and the oldest went first.
    uint32_t taken = 0;
    uint8_t length = 0, data[256];
    uint32_t t1 = 0, t2 = 0;
    while (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
        ASSERT_NE(COP_PDO_Read_Data_wTime(h, kPeerNode, 18, 0, &length, data, &t1, &t2), 0);
        EXPECT_EQ(t1, kCount - 4096 + 1 + taken);
        ++taken;
    }
    EXPECT_EQ(taken, 4096u);
    EXPECT_EQ(COP_PDO_Read_Data_wTime(h, kPeerNode, 18, 0, &length, data, &t1, &t2), 0);
}

TEST_F(LibraryTest, ThreeThreadsAtOnce)
{
    node.setObject(0x1000, 0, {0x91, 0x01, 0x0F, 0x00});
    node.setObject(0x4203, 0, std::vector<uint8_t>(51, 0x3C));
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(AddPDO(h, kPeerNode, 16, 3, 1000), 0);
    int32_t event = -1;
    ASSERT_NE(COP_PDO_Get_Event(h, kPeerNode, 18, 3, &event), 0);

    constexpr uint32_t kPdos = 3000, kEmcys = 300;
    std::atomic<uint32_t> pdos{0}, emcys{0};
    std::atomic<bool> stop{false};
    std::thread pdoReader([&] {
        while (!stop.load()) {
            if (WaitForSingleObject(event, 50) != WAIT_OBJECT_0)
                continue;
            uint8_t length = 0, data[256];
            uint32_t t1 = 0, t2 = 0;
            if (COP_PDO_Read_Data_wTime(h, kPeerNode, 18, 3, &length, data, &t1, &t2))
                pdos.fetch_add(1);
        }
    });
    std::thread emcyReader([&] {
        while (!stop.load()) {
            uint8_t node = 0, message[18];
            if (CheckEmergency(h, &node, message))
                emcys.fetch_add(1);
            else
                Sleep(1);
        }
    });
    std::thread traffic([&] {
        peer->run([&](CanBusPort &port) {
            CanFrame pdo;
            pdo.id = 0x480 + kPeerNode;
            pdo.length = 8;
            CanFrame emcy;
            emcy.id = 0x080 + kPeerNode;
            emcy.length = 8;
            for (uint32_t i = 0; i < kPdos; ++i) {
                port.write(pdo);
                if (i % (kPdos / kEmcys) == 0)
                    port.write(emcy);
            }
        });
    });
    // The user-interface thread meanwhile.
    int transfers = 0;
    for (int i = 0; i < 30; ++i) {
        uint32_t value = 0, online = 0, length = 256;
        uint8_t buffer[256];
        transfers += SDO_Upload_UNSIGNED32(h, kPeerNode, 0x1000, 0, &value) != 0;
        transfers += SDO_Upload(h, kPeerNode, 0x4203, 0, &length, buffer) != 0;
        transfers += GetNodeOnline(h, kPeerNode, &online) != 0;
    }
    traffic.join();
    EXPECT_TRUE(eventually([&] { return pdos.load() == kPdos && emcys.load() == kEmcys; }));
    stop = true;
    pdoReader.join();
    emcyReader.join();
    EXPECT_EQ(transfers, 90);
    EXPECT_EQ(pdos.load(), kPdos);
    EXPECT_EQ(emcys.load(), kEmcys);
}

TEST(LibraryWithoutInterfaceTest, NamesAndDriverLifetime)
{
    char name[256];
    std::memset(name, 'x', sizeof name);
    EXPECT_NE(GetInterfaceName(1, name), 0);
    EXPECT_STREQ(name, "SocketCAN");
    GetInterfaceName(2, name);
    EXPECT_STREQ(name, "Virtual CAN bus");
    GetInterfaceName(3, name);
    EXPECT_STREQ(name, "PEAK PCAN");
    GetInterfaceName(4, name);
    EXPECT_STREQ(name, "Tiny-CAN");
    EXPECT_EQ(GetInterfaceName(7, name), 0);
    EXPECT_STREQ(name, "Unknown interface (7)");
    GetInterfaceName(0xFFFFFFFF, name);
    EXPECT_STREQ(name, "Unknown interface (4294967295)");
    EXPECT_EQ(GetInterfaceName(1, nullptr), 0);

    // Without the driver nothing opens; a second load is harmless.
    HardwareConfiguration hw = hardwareFor("can0");
    uint32_t h = 0;
    EXPECT_EQ(OpenInterface(&h, &hw), 0);
    EXPECT_NE(errno, 0);
    EXPECT_NE(LoadDriver(), 0);
    EXPECT_NE(LoadDriver(), 0);
    EXPECT_NE(UnloadDriver(), 0);
    EXPECT_EQ(UnloadDriver(), 0);
    EXPECT_NE(LoadDriver(), 0);
    EXPECT_NE(UnloadDriver(), 0);
    // The dialog needs a QApplication; this host has only a core one.
    CANopenConfiguration co{};
    EXPECT_EQ(CANopenConfigurationWindow(&hw, &co), 0);
}
