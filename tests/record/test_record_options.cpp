// The recorder's command line: what it leaves to the stored configuration,
// the kinds and numbers it takes, and a clear refusal of bad input.
#include "CommandLine.h"
#include "RecordOptions.h"
#include "protocol/Cia301.h"
#include "protocol/InterfaceKinds.h"

#include <gtest/gtest.h>

using namespace record;

namespace {

TEST(RecordOptionsTest, UnsetOptionsLeaveTheConfigurationAndGivenOnesAreTaken)
{
    const ParseResult none = parseOptions({});
    ASSERT_EQ(none.error, "");
    EXPECT_FALSE(none.options.kind || none.options.interfaceName || none.options.bitrate || none.options.output
                 || none.options.seconds || none.options.help);

    const ParseResult r = parseOptions({"--kind=peakcan", "--interface", "tcp://127.0.0.1:4000/can0", "--bitrate",
                                        "0x7A120", "--output=run.log", "--seconds", "010"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.kind, 3u);
    EXPECT_EQ(r.options.interfaceName, "tcp://127.0.0.1:4000/can0");
    EXPECT_EQ(r.options.bitrate, 500000u);
    EXPECT_EQ(r.options.output, "run.log");
    // Decimal, as the usage says: a leading zero is not octal.
    EXPECT_EQ(r.options.seconds, 10u);
    // The kind also by the code the adapter configuration stores.
    EXPECT_EQ(parseOptions({"--kind", "2"}).options.kind, 2u);
    EXPECT_TRUE(parseOptions({"-h"}).options.help);
}

TEST(RecordOptionsTest, TheFormatIsAsGivenElseTheOutputsExtensionElseTheCandumpLog)
{
    using qelcopn::trace::TraceFormat;
    const ParseResult given = parseOptions({"--format=BLF", "--output", "run.asc"});
    ASSERT_EQ(given.error, "");
    EXPECT_EQ(outputFormat(given.options, "run.asc"), TraceFormat::Blf);
    EXPECT_EQ(outputFormat(parseOptions({}).options, "/tmp/x.d/run.trc"), TraceFormat::Trc);
    EXPECT_EQ(outputFormat(parseOptions({}).options, "/tmp/x.trc/run"), TraceFormat::Log);
    const ParseResult convert = parseOptions({"--convert", "in.blf", "--output", "out.log"});
    ASSERT_EQ(convert.error, "");
    EXPECT_EQ(convert.options.convert, "in.blf");
}

TEST(RecordOptionsTest, BadInputIsNamedInTheMessage)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--kind", "slcan"}, "bad value 'slcan' for --kind: expected socketcan, virtualcan, peakcan or tinycan"},
        {{"--kind", "9"}, "bad value '9' for --kind"},
        {{"--bitrate", "12345"}, "bad value '12345' for --bitrate: expected a CANopen bit rate: 10000,"},
        {{"--bitrate", "-250000"}, "bad value '-250000' for --bitrate"},
        {{"--seconds", "0"}, "bad value '0' for --seconds"},
        {{"--seconds", "4294967296"}, "bad value '4294967296' for --seconds"},
        {{"--output="}, "bad value '' for --output"},
        {{"--interface", ""}, "bad value '' for --interface"},
        {{"--seconds"}, "option --seconds needs a value"},
        {{"--help=yes"}, "option --help takes no value"},
        {{"--node", "7"}, "unknown option '--node'"},
        {{"run.log"}, "unexpected argument 'run.log'"},
        {{"--format", "mf4"}, "bad value 'mf4' for --format: expected log, asc, trc or blf"},
        {{"--convert", "in.blf"}, "--convert needs --output"},
        {{"--convert", "in.blf", "--output", "o.asc", "--seconds", "5"}, "--convert reads a file"},
    };
    for (const auto &[args, message] : cases) {
        const ParseResult r = parseOptions(args);
        EXPECT_EQ(r.error.rfind(message, 0), 0u) << "got: " << r.error;
    }
}

// The usage texts and messages build their lists from the tables: the list
// must read as a sentence, and a long one must wrap under its own column.
TEST(CommandLineText, ListsReadAsASentenceAndWrapUnderTheTextColumn)
{
    EXPECT_EQ(cmdline::alternatives({}), "");
    EXPECT_EQ(cmdline::alternatives({"log"}), "log");
    EXPECT_EQ(cmdline::alternatives({"log", "asc"}), "log or asc");
    EXPECT_EQ(cmdline::alternatives({"log", "asc", "trc"}), "log, asc or trc");

    EXPECT_EQ(cmdline::usageEntry("--seconds N", "stop after N seconds"),
              "  --seconds N        stop after N seconds\n");
    EXPECT_EQ(cmdline::usageEntry("--bitrate BPS", cmdline::alternatives(qelcopn::cia301::bitRateNames()) +
                                                       " (default: as configured)"),
              "  --bitrate BPS      10000, 20000, 50000, 125000, 250000, 500000, 800000 or\n"
              "                     1000000 (default: as configured)\n");
    // An option longer than the column still keeps a space before its text.
    EXPECT_EQ(cmdline::usageEntry("--network-scenario NAME", "steady"), "  --network-scenario NAME steady\n");
}

} // namespace
