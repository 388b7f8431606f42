// The simulator as a program on a private virtual bus, with the CANopen
// library as its master: what a monitor reads from it, byte for byte.
#include "GatewayHarness.h"
#include "LibraryFixture.h"
#include "PeerThread.h"
#include "Platform.h"
#include "QEL_COPN.h"
#include "SimulatorProcess.h"
#include "TableValues.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>

using qelcopn::CanFrame;

using namespace gatewaysim;
using namespace gatewaysim::testing;

namespace {

constexpr uint8_t NODE = 7;
constexpr int LIMIT_MS = 30000; // only ends a broken run; nothing is timed

class GatewayOnBus : public ::testing::Test {
protected:
    void start(std::vector<std::string> args)
    {
        url = privateBusUrl(freeLocalPort()).toStdString();
        args.insert(args.begin(), {"--interface", url});
        sim = std::make_unique<SimulatorProcess>(args);
        ASSERT_TRUE(sim->started());
        ASSERT_NE(sim->waitLine("ready "), "") << sim->errorOutput();
        ASSERT_NE(LoadDriver(), 0);
        HardwareConfiguration hw{};
        hw.InterfaceType = QELCOPN_KIND_VIRTUALCAN;
        std::strncpy(hw.AccessPoint, url.c_str(), sizeof hw.AccessPoint - 1);
        ASSERT_NE(OpenInterface(&h, &hw), 0);
        SetNodeID(h, 127);
        SetBaud(h, 250000);
        ASSERT_NE(SetOnline(h, 1), 0);
        AddNode(h, NODE);
    }

    void TearDown() override
    {
        if (h != 0) {
            SetOnline(h, 0);
            CloseInterface(h);
        }
        UnloadDriver();
        if (sim) {
            EXPECT_EQ(sim->stop(SIGTERM), 0) << sim->errorOutput();
            EXPECT_EQ(sim->lines().back().rfind("stop signal=SIGTERM", 0), 0u);
        }
    }

    void registerPdo()
    {
        ASSERT_NE(AddPDO(h, NODE, 16, 3, 1000), 0);
        ASSERT_NE(COP_PDO_Get_Event(h, NODE, 18, 3, &pdoEvent), 0);
    }

    uint32_t pdosReceived()
    {
        uint32_t received = 0, dropped = 0;
        EXPECT_NE(PDO_Read_Receive_Count(h, NODE, 18, 3, &received, &dropped), 0);
        EXPECT_EQ(dropped, 0u);
        return received;
    }

    // Reads PDOs and emergencies into the traffic until done() holds.
    bool readUntil(DecodedTraffic &traffic, const std::function<bool()> &done)
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(LIMIT_MS);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit)
                return false;
            sim->collect();
            WaitForSingleObject(pdoEvent, 50);
            CanFrame frame;
            frame.id = 0x480 + NODE;
            uint8_t data[256];
            uint32_t t1 = 0, t2 = 0;
            while (COP_PDO_Read_Data_wTime(h, NODE, 18, 3, &frame.length, data, &t1, &t2)) {
                std::memcpy(frame.data, data, 8);
                traffic.decodePdo(frame);
            }
            uint8_t from = 0, message[18];
            while (CheckEmergency(h, &from, message)) {
                EXPECT_EQ(from, NODE);
                frame.id = 0x80 + NODE;
                frame.length = 8;
                std::memcpy(frame.data, message, 8);
                traffic.decodeEmergency(frame);
            }
        }
        return true;
    }

    std::string upload(uint16_t index, uint8_t sub)
    {
        uint8_t buffer[256] = {};
        uint32_t length = sizeof buffer;
        if (!SDO_Upload(h, NODE, index, sub, &length, buffer))
            return "(failed)";
        return std::string(reinterpret_cast<char *>(buffer), length);
    }

    std::string url;
    std::unique_ptr<SimulatorProcess> sim;
    uint32_t h = 0;
    int32_t pdoEvent = -1;
};

TEST_F(GatewayOnBus, ServesIdentityBitmapAndAbortsUnknownObjects)
{
    start({"--scenario", "table"});
    uint32_t value = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED32(h, NODE, 0x1000, 0, &value), 0);
    EXPECT_EQ(upload(0x1008, 0), "MTU Engine Gateway 1101"); // segmented
    EXPECT_EQ(upload(0x1009, 0), "HW 2.1");
    EXPECT_EQ(upload(0x100A, 0), "Tarnwick gateway simulator 1.06");
    const uint32_t identity[] = {0x141, 1101, 0x00010006, 100007};
    for (uint8_t sub = 1; sub <= 4; ++sub) {
        ASSERT_NE(SDO_Upload_UNSIGNED32(h, NODE, 0x1018, sub, &value), 0) << int(sub);
        EXPECT_EQ(value, identity[sub - 1]);
    }
    uint8_t online = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED8(h, NODE, 0x4210, 0, &online), 0);
    EXPECT_EQ(online, 1);
    const std::string bitmap = upload(0x4203, 0);
    ASSERT_EQ(bitmap.size(), 51u);
    for (int fault = 0; fault < 408; ++fault)
        EXPECT_EQ((bitmap[fault / 8] >> (fault % 8)) & 1, tableFaults().count(fault) ? 1 : 0) << fault;

    EXPECT_EQ(SDO_Upload_UNSIGNED32(h, NODE, 0x2000, 0, &value), 0);
    EXPECT_EQ(SDO_Upload_UNSIGNED32(h, NODE, 0x1018, 7, &value), 0);
    EXPECT_EQ(SDO_Download_UNSIGNED16(h, NODE, 0x1000, 0, 1), 0);
    EXPECT_NE(sim->waitLine("sdo abort 0x2000:0 0x06020000"), "");
    EXPECT_NE(sim->waitLine("sdo abort 0x1018:7 0x06090011"), "");
    EXPECT_NE(sim->waitLine("sdo abort 0x1000:0 0x06010002"), "");
}

TEST_F(GatewayOnBus, NoPdoBeforeStartAndResetBootsAgain)
{
    start({"--scenario", "table", "--heartbeat", "0"});
    registerPdo();
    uint32_t product = 0;
    for (int i = 0; i < 5; ++i) // round trips: the gateway has had every chance to send
        ASSERT_NE(SDO_Upload_UNSIGNED32(h, NODE, 0x1018, 2, &product), 0);
    EXPECT_EQ(pdosReceived(), 0u);

    ASSERT_NE(NMT_ResetCommunication(h, NODE), 0);
    EXPECT_NE(sim->waitLine("nmt reset-communication"), "");
    EXPECT_NE(sim->waitLine("nmt boot-up"), "");
    uint8_t state = 0xFF;
    DecodedTraffic traffic;
    EXPECT_TRUE(readUntil(traffic, [&] { return GetNodeState(h, NODE, &state) && state == 0x00; }));
    EXPECT_EQ(pdosReceived(), 0u);

    ASSERT_NE(NMT_StartRemoteNode(h, NODE), 0);
    EXPECT_NE(sim->waitLine("nmt start"), "");
    EXPECT_TRUE(readUntil(traffic, [&] { return traffic.mtuSeen[2]; }));
}

class TableOnBus : public GatewayOnBus, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(TableOnBus, EveryLayoutDecodesToTheTable)
{
    const uint32_t product = GetParam();
    start({"--scenario", "table", "--product", std::to_string(product)});
    registerPdo();
    ASSERT_NE(NMT_StartRemoteNode(h, NODE), 0);
    DecodedTraffic d;
    const bool mtu = product == 1101;
    ASSERT_TRUE(readUntil(d, [&] {
        for (int n = 1; n <= 36; ++n)
            if (!d.dinBusSeen[n])
                return false;
        if (mtu) {
            for (int n = 1; n <= 254; ++n)
                if (!d.mtuSeen[n])
                    return false;
            for (const auto &[fault, state] : tableFaults())
                if (d.faultState[fault] != state)
                    return false;
            return d.mtuOnline == 1;
        }
        for (int slot = 0; slot < 32; ++slot)
            for (bool seen : d.j1939Seen[slot])
                if (!seen)
                    return false;
        return true;
    }));
    for (int n = 1; n <= 36; ++n)
        EXPECT_EQ(d.dinBus[n], tableDinBusByte(n)) << "DinBus byte " << n;
    if (mtu) {
        for (int n = 1; n <= 254; ++n)
            EXPECT_EQ(d.mtu[n], tableMtuValue(n)) << "MTU parameter " << n;
        for (int fault = 0; fault <= 400; ++fault) {
            if (!tableFaults().count(fault)) {
                EXPECT_EQ(d.faultState[fault], -1) << "fault " << fault;
            }
        }
    } else {
        for (int slot = 0; slot < 32; ++slot)
            EXPECT_EQ(d.j1939[slot], tableJ1939Slot(slot)) << "slot " << slot;
        EXPECT_EQ(d.mtuOnline, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(BothProducts, TableOnBus, ::testing::Values(1101u, 1104u));

TEST_F(GatewayOnBus, EventTimerSwitchesBetweenChangeOfStateAndCyclic)
{
    start({"--scenario", "table"});
    registerPdo();
    ASSERT_NE(SDO_Download_UNSIGNED16(h, NODE, 0x1803, 5, 0), 0);
    EXPECT_NE(sim->waitLine("sdo write 0x1803:5 = 0"), "");
    EXPECT_NE(sim->waitLine("mode change-of-state"), "");
    ASSERT_NE(NMT_StartRemoteNode(h, NODE), 0);
    DecodedTraffic d;
    EXPECT_TRUE(readUntil(d, [&] { return pdosReceived() >= 254 + 36; }));
    uint32_t product = 0;
    for (int i = 0; i < 5; ++i) // round trips, then: the table never changes, so nothing more came
        ASSERT_NE(SDO_Upload_UNSIGNED32(h, NODE, 0x1018, 2, &product), 0);
    EXPECT_EQ(pdosReceived(), 254u + 36u);

    ASSERT_NE(SDO_Download_UNSIGNED16(h, NODE, 0x1803, 5, 10), 0);
    EXPECT_NE(sim->waitLine("mode cyclic 10 ms"), "");
    EXPECT_TRUE(readUntil(d, [&] { return pdosReceived() > 2 * (254 + 36); }));
}

TEST_F(GatewayOnBus, FlappingMtuIsReportedAndReadable)
{
    start({"--scenario", "flap"});
    registerPdo();
    ASSERT_NE(NMT_StartRemoteNode(h, NODE), 0);
    DecodedTraffic d;
    ASSERT_TRUE(readUntil(d, [&] { return d.mtuOnline == 1; }));
    ASSERT_TRUE(readUntil(d, [&] { return d.mtuOnline == 0; }));
    EXPECT_TRUE(readUntil(d, [&] { return d.mtu[2] == 0x7FFFFFFF; }));
    ASSERT_TRUE(readUntil(d, [&] { return d.mtuOnline == 1; }));
    EXPECT_TRUE(sim->saw("mtu offline") || !sim->waitLine("mtu offline").empty());
    uint8_t online = 0xFF;
    const auto reads = [&](uint8_t wanted) {
        return readUntil(d, [&] { return SDO_Upload_UNSIGNED8(h, NODE, 0x4210, 0, &online) && online == wanted; });
    };
    EXPECT_TRUE(reads(0));
    EXPECT_TRUE(reads(1));
}

TEST(GatewayProgram, CommandLineAndEndings)
{
    SimulatorProcess bad({"--node", "0"});
    EXPECT_EQ(bad.wait(), 2);
    EXPECT_NE(bad.errorOutput().find("bad value '0' for --node"), std::string::npos) << bad.errorOutput();

    SimulatorProcess help({"--help"});
    EXPECT_EQ(help.wait(), 0);
    EXPECT_FALSE(help.waitLine("Usage: tarnwick-gatewaysim").empty());

    SimulatorProcess missing({"--kind", "socketcan", "--interface", "tarnwick-nosuch0"});
    EXPECT_EQ(missing.wait(), 1);
    EXPECT_NE(missing.errorOutput().find("cannot open socketcan interface 'tarnwick-nosuch0'"), std::string::npos)
        << missing.errorOutput();

    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    SimulatorProcess timed({"--interface", url, "--seconds", "1"});
    EXPECT_EQ(timed.wait(), 0);
    EXPECT_EQ(timed.lines().back().rfind("stop seconds=1 ", 0), 0u);

    SimulatorProcess interrupted({"--interface", privateBusUrl(freeLocalPort()).toStdString()});
    ASSERT_NE(interrupted.waitLine("ready"), "");
    EXPECT_EQ(interrupted.stop(SIGINT), 0);
    EXPECT_EQ(interrupted.lines().back().rfind("stop signal=SIGINT ", 0), 0u);
}

} // namespace

namespace {

TEST(GatewayProgram, SurvivesTheLossOfTheBusAndReconnects)
{
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    SimulatorProcess host({"--interface", url, "--node", "5"});
    ASSERT_NE(host.waitLine("ready"), "");
    SimulatorProcess guest({"--interface", url, "--node", "8"});
    ASSERT_NE(guest.waitLine("ready"), "");
    EXPECT_EQ(host.stop(SIGTERM), 0); // the bus's server goes with it
    EXPECT_NE(guest.waitLine("bus lost"), "");
    EXPECT_NE(guest.waitLine("bus reconnected"), ""); // now hosting a bus of its own
    EXPECT_EQ(guest.stop(SIGTERM), 0);
}

} // namespace

// --replay: a recording's received frames onto the bus, read by the library
// as from a gateway; then the program ends by itself. A file that is not a
// recording ends it at once.
TEST(GatewayReplay, PlaysTheReceivedFramesOntoTheBusAndEndsAtTheEndOfTheFile)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("run.log");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("(1733750000.000000) can0 707#05 R\n"
               "(1733750000.010000) can0 000#0107 T\n"
               "(1733750000.020000) can0 487#0001420200DC0500 R\n"
               "garbage\n"
               "(1733750000.220000) can0 087#1023010000000000 R\n");
    file.close();

    // The library hosts the bus, so nothing is sent before it listens.
    ASSERT_NE(LoadDriver(), 0);
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    HardwareConfiguration hw{};
    hw.InterfaceType = QELCOPN_KIND_VIRTUALCAN;
    std::strncpy(hw.AccessPoint, url.c_str(), sizeof hw.AccessPoint - 1);
    uint32_t h = 0;
    ASSERT_NE(OpenInterface(&h, &hw), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    ASSERT_NE(AddPDO(h, NODE, 16, 3, 0), 0);

    SimulatorProcess sim({"--interface", url, "--replay", log.toStdString()});
    ASSERT_NE(sim.waitLine("ready replay="), "") << sim.errorOutput();
    ASSERT_EQ(sim.waitLine("replay end"), "replay end frames=3 skipped=1");
    EXPECT_EQ(sim.wait(), 0);
    uint8_t state = 0;
    EXPECT_TRUE(eventually([&] { return GetNodeState(h, NODE, &state) && state == 5; }));
    uint8_t node = 0, message[18] = {};
    EXPECT_TRUE(eventually([&] { return CheckEmergency(h, &node, message) != 0; }));
    EXPECT_EQ(message[1], 0x23);
    uint8_t length = 0, data[256] = {};
    uint32_t sequence = 0, time = 0;
    ASSERT_NE(COP_PDO_Read_Data_wTime(h, NODE, 18, 3, &length, data, &sequence, &time), 0);
    EXPECT_EQ(data[3], 0x02);
    EXPECT_EQ(data[5], 0xDC);
    // Nothing but the recording's received frames.
    BusStatistics statistics{};
    ASSERT_NE(GetBusStatistics(h, &statistics), 0);
    EXPECT_EQ(statistics.FramesReceived, 3u);
    CloseInterface(h);
    UnloadDriver();

    SimulatorProcess missing({"--interface", url, "--replay", dir.filePath("none.log").toStdString()});
    EXPECT_EQ(missing.wait(), 1);
    EXPECT_NE(missing.errorOutput().find("cannot replay"), std::string::npos) << missing.errorOutput();
}
