// The recorder's command line: what it leaves to the stored configuration,
// the kinds and numbers it takes, and a clear refusal of bad input.
#include "RecordOptions.h"
#include "protocol/Cia301.h"
#include "transport/InterfaceKinds.h"

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

// The texts that name the kinds and the bit rates to a user are written
// out beside their tables: each must name every entry, in order.
std::vector<std::string> WordsOf(const std::string &text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text + ",") {
        if (c == ',' || c == ' ') {
            if (!word.empty() && word != "or")
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

TEST(RecordOptionsTest, TheListsInTheMessagesNameEveryKindAndRate)
{
    std::vector<std::string> plugins;
    for (const qelcopn::InterfaceKind &kind : qelcopn::INTERFACE_KINDS)
        if (kind.plugin != nullptr)
            plugins.push_back(kind.plugin);
    EXPECT_EQ(WordsOf(qelcopn::PLUGIN_NAMES_TEXT), plugins);
    std::vector<std::string> rates;
    for (uint32_t rate : qelcopn::cia301::BIT_RATES)
        rates.push_back(std::to_string(rate));
    EXPECT_EQ(WordsOf(qelcopn::cia301::BIT_RATES_TEXT), rates);
}

} // namespace
