// The command line: defaults, every option, and a clear refusal of each
// kind of bad input.
#include "Options.h"

#include <gtest/gtest.h>

using namespace gatewaysim;

namespace {

TEST(OptionsTest, DefaultsWithoutArguments)
{
    const ParseResult r = parseOptions({});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.kind, "virtualcan");
    EXPECT_EQ(r.options.interfaceName, "can0");
    EXPECT_EQ(r.options.node, 7);
    EXPECT_EQ(r.options.productCode, 1101u);
    EXPECT_EQ(r.options.vendorId, 0x141u);
    EXPECT_EQ(r.options.bitrate, 250000u);
    EXPECT_EQ(r.options.heartbeatMs, 1000);
    EXPECT_EQ(r.options.scenario, ScenarioKind::Live);
    EXPECT_FALSE(r.options.seconds);
    EXPECT_FALSE(r.options.rate);
    EXPECT_NEAR(pdoRateFor(r.options), 925, 1);
}

TEST(OptionsTest, EveryOptionInBothForms)
{
    const ParseResult r = parseOptions({"--kind", "socketcan", "--interface=tcp://127.0.0.1:4000/can0", "--node",
                                        "0x7F", "--product=1104", "--vendor", "0x1234", "--bitrate", "1000000",
                                        "--heartbeat=0", "--scenario", "burst", "--seconds", "5", "--rate=9000"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.kind, "socketcan");
    EXPECT_EQ(r.options.interfaceName, "tcp://127.0.0.1:4000/can0");
    EXPECT_EQ(r.options.node, 127);
    EXPECT_EQ(r.options.productCode, 1104u);
    EXPECT_EQ(r.options.vendorId, 0x1234u);
    EXPECT_EQ(r.options.bitrate, 1000000u);
    EXPECT_EQ(r.options.heartbeatMs, 0);
    EXPECT_EQ(r.options.scenario, ScenarioKind::Burst);
    EXPECT_EQ(r.options.seconds, 5u);
    EXPECT_EQ(pdoRateFor(r.options), 9000);
    EXPECT_TRUE(parseOptions({"--help"}).options.help);
    EXPECT_TRUE(parseOptions({"-h"}).options.help);
    EXPECT_FALSE(r.options.selfStart);
    EXPECT_TRUE(parseOptions({"--self-start"}).options.selfStart);
    EXPECT_NEAR(pdoRateFor(parseOptions({"--scenario", "burst"}).options), 2252, 1);
    const ParseResult replay = parseOptions({"--replay", "run.log", "--loop"});
    ASSERT_EQ(replay.error, "");
    EXPECT_EQ(replay.options.replay, "run.log");
    EXPECT_TRUE(replay.options.loop);
}

TEST(OptionsTest, BadInputIsNamedInTheMessage)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--node", "0"}, "bad value '0' for --node: expected a node ID from 1 to 127"},
        {{"--node", "7x"}, "bad value '7x' for --node"},
        {{"--node", "-1"}, "bad value '-1' for --node"},
        {{"--node="}, "bad value '' for --node"},
        {{"--product", "1102"}, "bad value '1102' for --product: expected 1101 or 1104"},
        {{"--bitrate", "300000"}, "bad value '300000' for --bitrate"},
        {{"--vendor", "0x100000000"}, "bad value '0x100000000' for --vendor"},
        {{"--kind", "slcan"}, "bad value 'slcan' for --kind"},
        {{"--scenario", "storm"}, "bad value 'storm' for --scenario"},
        {{"--rate", "0"}, "bad value '0' for --rate"},
        {{"--interface", ""}, "bad value '' for --interface"},
        {{"--replay="}, "bad value '' for --replay: expected a candump log file"},
        {{"--loop"}, "--loop needs --replay"},
        {{"--replay", "run.log", "--loop=yes"}, "option --loop takes no value"},
        {{"--nodes", "7"}, "unknown option '--nodes'"},
        {{"--node"}, "option --node needs a value"},
        {{"7"}, "unexpected argument '7'"},
        {{"--node", "99999999999999999999"}, "bad value"},
    };
    for (const auto &[args, message] : cases) {
        const ParseResult r = parseOptions(args);
        EXPECT_EQ(r.error.rfind(message, 0), 0u) << "got: " << r.error;
    }
}

} // namespace
