// The NMT slave: boot-up, the working states, resets, heartbeats, and what
// each state lets the gateway send.
#include "GatewayHarness.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

using namespace gatewaysim;
using namespace gatewaysim::testing;
using namespace cia301;

namespace {

bool isBootUp(const CanFrame &f) { return f.id == 0x707 && f.length == 1 && f.data[0] == 0x00; }

int countPdos(const std::vector<CanFrame> &frames)
{
    return int(std::count_if(frames.begin(), frames.end(), [](const CanFrame &f) { return f.id == 0x487; }));
}

TEST(NmtTest, BootsPreOperationalAndSendsNoPdoUntilStarted)
{
    Harness h(tableConfig());
    std::vector<CanFrame> frames = h.takeFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(isBootUp(frames.front()));
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::PreOperational);
    h.runFor(3'000'000);
    frames = h.takeFrames();
    EXPECT_EQ(countPdos(frames), 0);
    EXPECT_EQ(h.sink.framesWithId(0x87).size(), 0u); // emergencies wait for the start too

    h.nmt(NMT_START_REMOTE_NODE, 7);
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::Operational);
    h.runFor(100'000);
    EXPECT_GT(countPdos(h.takeFrames()), 0);
}

TEST(NmtTest, SelfStartingNodeGoesOperationalAfterEveryBootUp)
{
    GatewayConfig config = tableConfig();
    config.selfStart = true;
    Harness h(config);
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::Operational);
    EXPECT_TRUE(h.sink.noted("nmt self-start"));
    h.runFor(100'000);
    EXPECT_GT(countPdos(h.takeFrames()), 0);

    // A stop holds until the next boot-up, which starts the node again.
    h.nmt(NMT_STOP_REMOTE_NODE, 7);
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::Stopped);
    h.nmt(NMT_RESET_COMMUNICATION, 7);
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::Operational);
}

TEST(NmtTest, HeartbeatCarriesTheStateAtItsPeriod)
{
    GatewayConfig config = tableConfig();
    config.heartbeatMs = 250;
    Harness h(config);
    h.takeFrames();
    h.runFor(1'000'000);
    std::vector<CanFrame> beats = h.sink.framesWithId(0x707);
    ASSERT_EQ(beats.size(), 5u); // the boot-up and four heartbeats
    EXPECT_EQ(beats.back().data[0], NMT_STATE_PRE_OPERATIONAL);

    h.nmt(NMT_STOP_REMOTE_NODE, 0);
    h.runFor(250'000);
    EXPECT_EQ(h.sink.framesWithId(0x707).back().data[0], NMT_STATE_STOPPED);
    h.nmt(NMT_START_REMOTE_NODE, 0);
    h.runFor(250'000);
    EXPECT_EQ(h.sink.framesWithId(0x707).back().data[0], NMT_STATE_OPERATIONAL);

    EXPECT_EQ(h.downloadU16(0x1017, 0, 0), 0u);
    EXPECT_EQ(h.sink.notes.back(), "heartbeat off");
    const size_t count = h.sink.framesWithId(0x707).size();
    h.runFor(2'000'000);
    EXPECT_EQ(h.sink.framesWithId(0x707).size(), count);
}

TEST(NmtTest, StoppedNodeKeepsQuietButObeysNmt)
{
    Harness h(tableConfig());
    h.nmt(NMT_START_REMOTE_NODE, 7);
    h.nmt(NMT_STOP_REMOTE_NODE, 7);
    h.takeFrames();
    h.runFor(500'000);
    EXPECT_EQ(countPdos(h.takeFrames()), 0);
    EXPECT_EQ(h.sdo({0x40, 0x00, 0x10, 0, 0, 0, 0, 0}).id, 0u); // no SDO while stopped

    h.nmt(NMT_ENTER_PRE_OPERATIONAL, 7);
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::PreOperational);
    EXPECT_EQ(h.upload(0x1018, 2).u32(), 1101u);
    h.runFor(500'000);
    EXPECT_EQ(countPdos(h.takeFrames()), 0);
}

TEST(NmtTest, ResetsBootAgainAndRestoreTheCommunicationParameters)
{
    Harness h(tableConfig());
    h.nmt(NMT_START_REMOTE_NODE, 7);
    EXPECT_EQ(h.downloadU16(0x1803, 5, 0), 0u);
    EXPECT_EQ(h.downloadU16(0x1017, 0, 100), 0u);
    h.takeFrames();

    h.nmt(NMT_RESET_COMMUNICATION, 0); // all nodes
    std::vector<CanFrame> frames = h.takeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(isBootUp(frames[0]));
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::PreOperational);
    EXPECT_EQ(h.upload(0x1803, 5).u32(), 10u);
    EXPECT_EQ(h.upload(0x1017, 0).u32(), 1000u);
    EXPECT_FALSE(h.gateway.scheduler().changeOfState());

    h.takeFrames();
    h.nmt(NMT_RESET_NODE, 7);
    EXPECT_TRUE(isBootUp(h.takeFrames().at(0)));
    const std::vector<std::string> expected = {"nmt reset-communication", "nmt boot-up", "nmt reset-node",
                                               "nmt boot-up"};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), h.sink.notes.end() - long(expected.size())));
}

TEST(NmtTest, IgnoresCommandsForOthersAndMalformedOnes)
{
    Harness h(tableConfig());
    h.takeFrames();
    h.nmt(NMT_START_REMOTE_NODE, 8);
    h.deliver(makeFrame(0, {NMT_START_REMOTE_NODE}));
    h.deliver(makeFrame(0, {NMT_START_REMOTE_NODE, 7, 0}));
    h.deliver(makeFrame(0, {0x55, 7}));
    CanFrame remote = makeFrame(0, {NMT_START_REMOTE_NODE, 7});
    remote.remote = true;
    h.deliver(remote);
    EXPECT_EQ(h.gateway.state(), NmtSlave::State::PreOperational);
    EXPECT_TRUE(h.takeFrames().empty());
}

} // namespace
