// tarnwick-node against the simulator's extra node on a private virtual
// bus: what it prints and the exit status, for reads, writes, aborts, the
// node list and bad usage.
#include "PeerThread.h"
#include "SimulatorProcess.h"
#include "eds/EdsReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

constexpr char NODE_EDS[] = TARNWICK_NODE_TEST_DIR "/extra_node.eds";
constexpr char ALL_TYPES_EDS[] = TARNWICK_EDS_DIR "/all_types.eds";

struct Outcome {
    int status = -1;
    std::vector<std::string> out;
    std::string errors;
};

class NodeProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        url_ = privateBusUrl(freeLocalPort()).toStdString();
        simulator_ = new SimulatorProcess({"--interface", url_, "--extra-node", "12", "--heartbeat", "500",
                                           "--extra-node", std::string("20:") + ALL_TYPES_EDS});
        ASSERT_NE(simulator_->waitLine("ready "), "") << simulator_->errorOutput();
    }
    static void TearDownTestSuite()
    {
        delete simulator_;
        simulator_ = nullptr;
    }
    void TearDown() override { simulator_->collect(); }

    static Outcome node(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--kind", "virtualcan", "--interface", url_, "--bitrate", "250000"});
        SimulatorProcess program(TARNWICK_NODE_PROGRAM, args);
        Outcome run;
        while (true) {
            const std::string line = program.waitLine("");
            if (line.empty())
                break;
        }
        run.status = program.wait();
        run.out = program.lines();
        run.errors = program.errorOutput();
        return run;
    }
    static std::string only(const Outcome &run) { return run.out.size() == 1 ? run.out[0] : "<" + std::to_string(run.out.size()) + " lines>"; }

    static std::string url_;
    static SimulatorProcess *simulator_;
};

std::string NodeProgram::url_;
SimulatorProcess *NodeProgram::simulator_ = nullptr;

TEST_F(NodeProgram, ReadsPrintAsTheirTypeSays)
{
    // Segmented (the name is longer than four bytes) and expedited, typed
    // by CiA 301's communication objects, by --type, by the EDS, or as hex.
    Outcome run = node({"read", "12", "0x1008"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(only(run), "Tarnwick I/O Node");
    EXPECT_EQ(only(node({"read", "12", "0x1018:1"})), "321");
    EXPECT_EQ(only(node({"read", "12", "0x1018:4"})), "200012");
    EXPECT_EQ(only(node({"read", "12", "0x1017"})), "1000");
    EXPECT_EQ(only(node({"read", "12", "0x1000:0", "--type", "UNSIGNED16"})), "91 01 03 00");
    EXPECT_EQ(only(node({"read", "12", "0x2000"})), "00 00 00 00");
    EXPECT_EQ(only(node({"read", "12", "0x2000", "--eds", NODE_EDS})), "0");
}

TEST_F(NodeProgram, AbortsAndSilenceFailWithTheirText)
{
    Outcome run = node({"read", "12", "0x3000"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("0x06020000 Object does not exist in the object dictionary"), std::string::npos)
        << run.errors;
    EXPECT_TRUE(run.out.empty());
    run = node({"read", "13", "0x1000"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("no answer"), std::string::npos) << run.errors;
}

TEST_F(NodeProgram, WritesAreTakenOrRefusedByTheNode)
{
    Outcome run = node({"write", "12", "0x2000:0", "-123456", "--eds", NODE_EDS});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(only(node({"read", "12", "0x2000", "--eds", NODE_EDS})), "-123456");

    run = node({"write", "12", "0x1018:1", "5"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("0x06010002 Attempt to write a read only object"), std::string::npos) << run.errors;
    EXPECT_EQ(only(node({"read", "12", "0x1018:1"})), "321");

    // Refused before anything is sent: beyond the type, beyond the EDS's
    // limits, a type not known.
    EXPECT_EQ(node({"write", "12", "0x1017:0", "70000"}).status, 2);
    EXPECT_EQ(node({"write", "12", "0x1017:0", "60001", "--eds", NODE_EDS}).status, 2);
    EXPECT_EQ(node({"write", "12", "0x2000:0", "1"}).status, 2);
}

TEST_F(NodeProgram, DumpReadsEveryEntryOfTheEds)
{
    const Outcome run = node({"dump", "12", "--eds", NODE_EDS});
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.out.size(), 10u);
    EXPECT_EQ(run.out[0], "0x1000:00  Device type  197009");
    EXPECT_EQ(run.out[2], "0x1008:00  Manufacturer device name  Tarnwick I/O Node");
    EXPECT_EQ(run.out[8], "0x1018:04  Serial number  200012");

    // The DCF holds what the node holds, not the EDS's defaults.
    ASSERT_EQ(node({"write", "12", "0x1017:0", "750"}).status, 0);
    const std::string dcf = ::testing::TempDir() + "/node12.dcf";
    ASSERT_EQ(node({"dump", "12", "--eds", NODE_EDS, "--dcf", dcf}).status, 0);
    std::ifstream in(dcf);
    std::stringstream text;
    text << in.rdbuf();
    const auto read = network::eds::readEds(text.str(), 0);
    ASSERT_TRUE(std::holds_alternative<network::eds::ObjectDictionary>(read)) << text.str();
    const auto &saved = std::get<network::eds::ObjectDictionary>(read);
    EXPECT_EQ(saved.nodeId, 12);
    const network::eds::Entry *heartbeat = saved.find(0x1017, 0);
    ASSERT_TRUE(heartbeat != nullptr && heartbeat->parameterValue);
    EXPECT_EQ(network::eds::formatValue(heartbeat->type, *heartbeat->parameterValue), "750");
    node({"write", "12", "0x1017:0", "1000"});
}

TEST_F(NodeProgram, ListShowsEveryNodeLedByItsId)
{
    const Outcome run = node({"list", "--seconds", "2"});
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.out.size(), 3u);
    EXPECT_EQ(run.out[0].rfind("7   Pre-operational  500 ms", 0), 0u) << run.out[0];
    EXPECT_EQ(run.out[1].rfind("12  Pre-operational  1000 ms", 0), 0u) << run.out[1];
    EXPECT_EQ(run.out[2].rfind("20  Pre-operational  500 ms", 0), 0u) << run.out[2];
}

TEST_F(NodeProgram, BadUsageExitsWithTwoAndSaysWhy)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"read", "0", "0x1000"},
        {"read", "12", "0x1000:256"},
        {"read", "12"},
        {"list", "--eds", NODE_EDS},
        {"dump", "12"},
        {"nmt", "12", "go"},
        {"read", "12", "0x1000", "--type", "UNSIGNED33"},
        {"read", "12", "0x1000", "--eds", "/nonexistent.eds"},
    };
    for (const auto &args : bad) {
        const Outcome run = node(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]) << ": " << run.errors;
        EXPECT_NE(run.errors.find("tarnwick-node: "), std::string::npos);
    }
    EXPECT_EQ(node({"--help"}).status, 0);
}

// The simulator's node 20 takes its objects and defaults from the EDS with
// every data type; each reads back, expedited or segmented, as the EDS says.
TEST_F(NodeProgram, EveryDataTypeReadsFromANodeWithAnEds)
{
    std::ifstream in(ALL_TYPES_EDS);
    std::stringstream text;
    text << in.rdbuf();
    const auto dictionary = std::get<network::eds::ObjectDictionary>(network::eds::readEds(text.str(), 20));
    size_t read = 0;
    for (const network::eds::Entry &entry : dictionary.entries) {
        if (!entry.defaultValue)
            continue;
        char where[16];
        std::snprintf(where, sizeof where, "0x%04X:%u", entry.index, entry.subIndex);
        const Outcome run = node({"read", "20", where, "--eds", ALL_TYPES_EDS});
        EXPECT_EQ(run.status, 0) << where << ": " << run.errors;
        EXPECT_EQ(only(run), network::eds::formatValue(entry.type, *entry.defaultValue)) << where;
        ++read;
    }
    EXPECT_EQ(read, 33u);
    // A string entry takes a value of another length.
    EXPECT_EQ(node({"write", "20", "0x2009:0", "abcd", "--eds", ALL_TYPES_EDS}).status, 0);
    EXPECT_EQ(only(node({"read", "20", "0x2009", "--eds", ALL_TYPES_EDS})), "abcd");
}

TEST_F(NodeProgram, SimulatorRefusesABrokenEdsWithItsLine)
{
    const std::string broken = ::testing::TempDir() + "/broken.eds";
    std::ofstream(broken) << "[DeviceInfo]\nVendorNumber=0x1G\n";
    SimulatorProcess simulator({"--interface", url_, "--extra-node", "30:" + broken});
    EXPECT_EQ(simulator.wait(), 2);
    EXPECT_NE(simulator.errorOutput().find("broken.eds: line 2: bad number in VendorNumber"), std::string::npos)
        << simulator.errorOutput();
}

} // namespace
