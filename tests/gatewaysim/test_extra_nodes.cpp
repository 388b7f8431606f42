// The simulator's extra nodes in simulated time: identity and writable
// objects over SDO, NMT, heartbeats as 0x1017 says, and the commands that
// make a node send an emergency, fall silent or reboot.
#include "ExtraNodes.h"
#include "GatewayHarness.h"
#include "Options.h"
#include "byte_order/ByteOrder.h"

#include <gtest/gtest.h>

namespace {

using namespace gatewaysim;
using gatewaysim::testing::RecordingSink;
using qelcopn::CanFrame;

constexpr int64_t kMs = 1000;

CanFrame sdoRequest(uint8_t node, std::initializer_list<uint8_t> bytes)
{
    CanFrame f = makeFrame(0x600 + node, bytes);
    f.length = 8;
    return f;
}

struct ExtraNodesTest : ::testing::Test {
    RecordingSink sink;
    ExtraNodes nodes{{10, 11}, 1000, NetworkScenario::Steady, sink};
    int64_t now = 1'000'000;

    void runFor(int64_t us)
    {
        const int64_t until = now + us;
        while (nodes.nextDueUs() <= until) {
            now = std::max(now, nodes.nextDueUs());
            nodes.poll(now);
        }
        now = until;
    }
    // The data bytes of node 10's last answer to an SDO request.
    CanFrame ask(std::initializer_list<uint8_t> bytes)
    {
        sink.frames.clear();
        EXPECT_TRUE(nodes.receive(sdoRequest(10, bytes), now));
        EXPECT_EQ(sink.frames.size(), 1u);
        return sink.frames.empty() ? CanFrame{} : sink.frames.back();
    }
    size_t heartbeatsOf(uint8_t node) const { return sink.framesWithId(0x700u + node).size(); }
};

TEST_F(ExtraNodesTest, BootsBeatsAndServesItsObjects)
{
    nodes.powerOn(now);
    ASSERT_EQ(heartbeatsOf(10), 1u); // the boot-up
    EXPECT_EQ(sink.framesWithId(0x70A)[0].data[0], 0x00);
    runFor(3000 * kMs);
    EXPECT_EQ(heartbeatsOf(10), 4u);
    EXPECT_EQ(sink.framesWithId(0x70A).back().data[0], 0x7F);

    const CanFrame product = ask({0x40, 0x18, 0x10, 0x02});
    EXPECT_EQ(product.data[0], 0x43);
    EXPECT_EQ(qelcopn::readLe32(product.data + 4), EXTRA_NODE_PRODUCT_CODE);
    const CanFrame serial = ask({0x40, 0x18, 0x10, 0x04});
    EXPECT_EQ(qelcopn::readLe32(serial.data + 4), EXTRA_NODE_SERIAL_BASE + 10);
    EXPECT_EQ(ask({0x40, 0x00, 0x30, 0x00}).data[0], 0x80); // no such object
    EXPECT_EQ(ask({0x2B, 0x00, 0x10, 0x00, 1, 2}).data[0], 0x80); // 0x1000 is read-only

    // A written period holds and paces the heartbeat, until a reset.
    EXPECT_EQ(ask({0x2B, 0x17, 0x10, 0x00, 200, 0}).data[0], 0x60);
    EXPECT_EQ(qelcopn::readLe16(ask({0x40, 0x17, 0x10, 0x00}).data + 4), 200);
    sink.frames.clear();
    runFor(1000 * kMs);
    EXPECT_EQ(heartbeatsOf(10), 5u);
    EXPECT_EQ(heartbeatsOf(11), 1u);
    EXPECT_TRUE(nodes.receive(makeFrame(0, {0x82, 10}), now));
    EXPECT_EQ(qelcopn::readLe16(ask({0x40, 0x17, 0x10, 0x00}).data + 4), 1000);

    // NMT: start one node, the other stays pre-operational.
    nodes.receive(makeFrame(0, {0x01, 11}), now);
    EXPECT_EQ(nodes.find(11)->state(), NmtSlave::State::Operational);
    EXPECT_EQ(nodes.find(10)->state(), NmtSlave::State::PreOperational);
}

TEST_F(ExtraNodesTest, CommandsSendEmergenciesSilenceAndReboot)
{
    nodes.powerOn(now);
    EXPECT_EQ(nodes.command("emergency 10 0x8130 0x11 1 2 3 4 0xFF", now), "");
    const auto emcy = sink.framesWithId(0x8A);
    ASSERT_EQ(emcy.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(emcy[0].data, emcy[0].data + 8),
              (std::vector<uint8_t>{0x30, 0x81, 0x11, 1, 2, 3, 4, 0xFF}));
    EXPECT_EQ(ask({0x40, 0x01, 0x10, 0x00}).data[4], 0x11); // the error register holds it

    EXPECT_EQ(nodes.command("heartbeat 11 stop", now), "");
    sink.frames.clear();
    runFor(3000 * kMs);
    EXPECT_EQ(heartbeatsOf(11), 0u);
    EXPECT_EQ(heartbeatsOf(10), 3u);
    EXPECT_EQ(nodes.command("heartbeat 11 resume", now), "");
    runFor(1000 * kMs);
    EXPECT_EQ(heartbeatsOf(11), 1u);

    nodes.receive(makeFrame(0, {0x01, 0}), now);
    EXPECT_EQ(nodes.command("reboot 11", now), "");
    EXPECT_EQ(sink.framesWithId(0x70B).back().data[0], 0x00);
    EXPECT_EQ(nodes.find(11)->state(), NmtSlave::State::PreOperational);

    for (const char *bad : {"emergency 12 0x1000", "emergency 10", "emergency 10 0x10000", "emergency 10 1 2 3",
                            "heartbeat 10 pause", "reboot", "explode 10"})
        EXPECT_NE(nodes.command(bad, now), "") << bad;
    EXPECT_EQ(nodes.command("   ", now), "");
}

TEST(ExtraNodesScenario, TheEventfulCycleComesRoundEvery30Seconds)
{
    RecordingSink sink;
    ExtraNodes nodes{{10, 11}, 1000, NetworkScenario::Eventful, sink};
    int64_t now = 0;
    nodes.powerOn(now);
    const auto runUntil = [&](int64_t until) {
        while (nodes.nextDueUs() <= until) {
            now = nodes.nextDueUs();
            nodes.poll(now);
        }
        now = until;
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        const int64_t start = cycle * 30'000 * kMs;
        sink.notes.clear();
        runUntil(start + 14'000 * kMs);
        EXPECT_TRUE(sink.noted("node 10 emergency 0x8110 register 0x11")) << cycle;
        EXPECT_TRUE(sink.noted("node 10 emergency 0x0000 register 0x00")) << cycle;
        runUntil(start + 16'000 * kMs);
        EXPECT_TRUE(sink.noted("node 11 heartbeat stopped")) << cycle;
        runUntil(start + 30'000 * kMs - 1);
        EXPECT_TRUE(sink.noted("node 11 heartbeat resumed")) << cycle;
        EXPECT_TRUE(sink.noted("node 11 nmt boot-up")) << cycle;
        EXPECT_FALSE(sink.noted("node 10 nmt boot-up")) << cycle;
    }
}

TEST(ExtraNodeOptions, RepeatableDistinctAndNotTheGateway)
{
    const auto good = parseOptions({"--extra-node", "10", "--extra-node=0x0B", "--network-scenario", "eventful"});
    ASSERT_EQ(good.error, "");
    EXPECT_EQ(good.options.extraNodes, (std::vector<uint8_t>{10, 11}));
    EXPECT_EQ(good.options.networkScenario, NetworkScenario::Eventful);
    EXPECT_NE(parseOptions({"--extra-node", "10", "--extra-node", "10"}).error, "");
    EXPECT_NE(parseOptions({"--extra-node", "128"}).error, "");
    EXPECT_NE(parseOptions({"--node", "9", "--extra-node", "9"}).error, "");
    EXPECT_NE(parseOptions({"--network-scenario", "busy"}).error, "");
}

} // namespace
