// The multiplexed PDO and the emergency messages, read back by the layouts
// a monitor decodes them with, against the values the scenarios promise.
#include "GatewayHarness.h"
#include "GatewayMessages.h"
#include "TableValues.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

using namespace gatewaysim;
using namespace gatewaysim::testing;
using namespace cia301;

namespace {

// A frame the simulator may put on the bus: 11-bit identifier, 0 to 8 data bytes.
bool isWellFormed(const qelcopn::CanFrame &frame) { return frame.id <= 0x7FF && frame.length <= 8; }

TEST(MessagesTest, ElementsSitAtTheEndOfTheDataField)
{
    ProcessImage image;
    image.j1939[4] = {1, 2, 3, 4, 5, 6, 7, 8};
    image.j1939[5] = {1, 2, 3, 4, 5, 6, 7, 8};
    const CanFrame byte8 = encodePdo({PdoItem::Kind::J1939Element, 4, 8, 8}, image, 7);
    const CanFrame word2 = encodePdo({PdoItem::Kind::J1939Element, 5, 16, 2}, image, 7);
    const CanFrame dword2 = encodePdo({PdoItem::Kind::J1939Element, 5, 32, 2}, image, 7);
    EXPECT_EQ(std::vector<uint8_t>(byte8.data, byte8.data + 8), (std::vector<uint8_t>{7, 0x04, 0x32, 8, 0, 0, 0, 8}));
    EXPECT_EQ(std::vector<uint8_t>(word2.data, word2.data + 8), (std::vector<uint8_t>{7, 0x05, 0x33, 2, 0, 0, 3, 4}));
    EXPECT_EQ(std::vector<uint8_t>(dword2.data, dword2.data + 8),
              (std::vector<uint8_t>{7, 0x05, 0x34, 2, 5, 6, 7, 8}));
    image.mtu[2] = 10000;
    const CanFrame mtu = encodePdo({PdoItem::Kind::MtuParameter, 2}, image, 7);
    EXPECT_EQ(std::vector<uint8_t>(mtu.data, mtu.data + 8), (std::vector<uint8_t>{7, 0x00, 0x42, 2, 0x10, 0x27, 0, 0}));
    EXPECT_EQ(mtu.id, 0x487u);
}

TEST(MessagesTest, EmergencyLayouts)
{
    const CanFrame offline = mtuStateReport(false, 0x01, 7);
    EXPECT_EQ(offline.id, 0x87u);
    EXPECT_EQ(std::vector<uint8_t>(offline.data, offline.data + 8), (std::vector<uint8_t>{0x00, 0xFF, 1, 0, 0, 0, 0, 0}));
    const CanFrame fault = faultReport(400, 0x0203, 0x01, 7);
    EXPECT_EQ(std::vector<uint8_t>(fault.data, fault.data + 8),
              (std::vector<uint8_t>{0x00, 0xFF, 1, 1, 0x90, 0x01, 0x03, 0x02}));
    const CanFrame cleared = faultReport(17, 0, 0, 7);
    EXPECT_EQ(cleared.data[0] | cleared.data[1] << 8, 0x0000);
}

// One full round of the table scenario, decoded.
DecodedTraffic tableRound(uint32_t product, uint16_t eventTimerMs)
{
    Harness h(tableConfig(product));
    h.nmt(NMT_START_REMOTE_NODE, 7);
    if (eventTimerMs != 10) {
        EXPECT_EQ(h.downloadU16(0x1803, 5, eventTimerMs), 0u);
    }
    h.runFor(2'000'000);
    DecodedTraffic decoded;
    const std::vector<CanFrame> frames = h.takeFrames();
    for (const CanFrame &f : frames)
        EXPECT_TRUE(isWellFormed(f));
    decoded.decodeAll(frames, 7);
    return decoded;
}

class TableRoundTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(TableRoundTest, MtuGatewaySendsTheTable)
{
    const DecodedTraffic d = tableRound(1101, GetParam());
    for (int n = 1; n <= 254; ++n) {
        ASSERT_TRUE(d.mtuSeen[n]) << n;
        EXPECT_EQ(d.mtu[n], tableMtuValue(n)) << "MTU parameter " << n;
    }
    EXPECT_FALSE(d.mtuSeen[0] || d.mtuSeen[255]);
    for (int n = 1; n <= 36; ++n)
        EXPECT_EQ(d.dinBus[n], tableDinBusByte(n)) << "DinBus byte " << n;
    EXPECT_EQ(d.mtuOnline, 1);
    for (int fault = 0; fault <= 400; ++fault) {
        const auto it = tableFaults().find(fault);
        EXPECT_EQ(d.faultState[fault], it == tableFaults().end() ? -1 : it->second) << "fault " << fault;
    }
}

TEST_P(TableRoundTest, J1939GatewaySendsTheTable)
{
    const DecodedTraffic d = tableRound(1104, GetParam());
    for (int slot = 0; slot < 32; ++slot) {
        EXPECT_EQ(d.j1939Seen[slot], (std::array<bool, 8>{true, true, true, true, true, true, true, true}));
        EXPECT_EQ(d.j1939[slot], tableJ1939Slot(slot)) << "slot " << slot;
    }
    for (int n = 1; n <= 36; ++n)
        EXPECT_EQ(d.dinBus[n], tableDinBusByte(n));
    for (int n = 0; n < 256; ++n)
        EXPECT_FALSE(d.mtuSeen[n]);
    EXPECT_EQ(d.mtuOnline, -1); // no MTU behind a J1939 gateway
}

INSTANTIATE_TEST_SUITE_P(CyclicAndChangeOfState, TableRoundTest, ::testing::Values(10, 0));

TEST(ScenarioTest, ChangeOfStateSendsEachValueOnceThenOnlyChanges)
{
    Harness h(tableConfig());
    h.nmt(NMT_START_REMOTE_NODE, 7);
    EXPECT_EQ(h.downloadU16(0x1803, 5, 0), 0u);
    h.runFor(2'000'000);
    const auto first = h.sink.framesWithId(0x487);
    EXPECT_EQ(first.size(), 254u + 36u);
    h.runFor(5'000'000);
    EXPECT_EQ(h.sink.framesWithId(0x487).size(), first.size()); // the table never changes

    GatewayConfig live = tableConfig();
    live.scenario = ScenarioKind::Live;
    Harness l(live);
    l.nmt(NMT_START_REMOTE_NODE, 7);
    EXPECT_EQ(l.downloadU16(0x1803, 5, 0), 0u);
    l.runFor(2'000'000);
    l.takeFrames();
    l.runFor(1'000'000);
    DecodedTraffic changes;
    const auto frames = l.takeFrames();
    changes.decodeAll(frames, 7);
    EXPECT_TRUE(changes.mtuSeen[2]);   // engine speed moves
    EXPECT_FALSE(changes.mtuSeen[6]);  // nominal speed does not
    EXPECT_FALSE(changes.mtuSeen[200]);
}

TEST(ScenarioTest, LiveEngineIsPlausibleAndItsFaultComesAndGoes)
{
    GatewayConfig config = tableConfig();
    config.scenario = ScenarioKind::Live;
    Harness h(config);
    h.nmt(NMT_START_REMOTE_NODE, 7);
    int32_t lowest = INT32_MAX, highest = INT32_MIN, lastFuel = 0;
    for (int second = 1; second <= 95; ++second) {
        h.runFor(1'000'000);
        DecodedTraffic d;
        d.decodeAll(h.takeFrames(), 7);
        lowest = std::min(lowest, d.mtu[2]);
        highest = std::max(highest, d.mtu[2]);
        EXPECT_GE(d.mtu[89], lastFuel) << "total fuel must count up, second " << second;
        lastFuel = d.mtu[89];
        EXPECT_GE(d.mtu[92], 15);
        EXPECT_LE(d.mtu[92], 100);
    }
    EXPECT_LT(lowest, 620);
    EXPECT_GT(highest, 1780);
    EXPECT_LE(highest, 1810);
    EXPECT_TRUE(h.sink.noted("fault 23 active"));
    EXPECT_TRUE(h.sink.noted("fault 23 cleared"));
    const auto emergencies = h.sink.framesWithId(0x87);
    DecodedTraffic d;
    d.decodeAll(emergencies, 7);
    EXPECT_EQ(d.faultState[23], 0);
    EXPECT_EQ(d.mtuOnline, 1);
}

TEST(ScenarioTest, FlapTakesTheMtuOfflineAndBackWithReportsAndObject)
{
    GatewayConfig config = tableConfig();
    config.scenario = ScenarioKind::Flap;
    Harness h(config);
    h.nmt(NMT_START_REMOTE_NODE, 7);
    EXPECT_EQ(h.upload(0x4210, 0).data, std::vector<uint8_t>{1});
    h.takeFrames();
    h.runFor(3'500'000);
    EXPECT_EQ(h.sink.notes.back(), "mtu offline");
    DecodedTraffic d;
    d.decodeAll(h.takeFrames(), 7);
    EXPECT_EQ(d.mtuOnline, 0);
    EXPECT_EQ(d.mtu[2], 0x7FFFFFFF); // nothing from the engine while it is offline
    EXPECT_EQ(h.upload(0x4210, 0).data, std::vector<uint8_t>{0});
    EXPECT_EQ(h.upload(0x1001, 0).data, std::vector<uint8_t>{1});
    h.runFor(3'000'000);
    d.decodeAll(h.takeFrames(), 7);
    EXPECT_EQ(d.mtuOnline, 1);
    EXPECT_EQ(h.upload(0x4210, 0).data, std::vector<uint8_t>{1});
}

TEST(ScenarioTest, FlapReportsAreOnTimeWithoutPdos)
{
    GatewayConfig config = tableConfig();
    config.scenario = ScenarioKind::Flap;
    config.heartbeatMs = 0;
    Harness h(config); // started at 1 s; pre-operational, so no PDO wakes it
    EXPECT_EQ(h.gateway.nextDueUs(), 4'000'000);
    h.runFor(3'000'000);
    const auto emergencies = h.sink.framesWithId(0x87);
    ASSERT_EQ(emergencies.size(), 1u);
    EXPECT_EQ(emergencies[0].data[1], 0xFF);
}

TEST(ScenarioTest, SilentAnswersButSendsNothing)
{
    GatewayConfig config = tableConfig();
    config.scenario = ScenarioKind::Silent;
    Harness h(config);
    h.nmt(NMT_START_REMOTE_NODE, 7);
    h.runFor(2'000'000);
    EXPECT_TRUE(h.sink.framesWithId(0x487).empty());
    EXPECT_TRUE(h.sink.framesWithId(0x87).empty());
    EXPECT_EQ(h.upload(0x4203, 0).data.at(0), 0x06);
}

} // namespace
