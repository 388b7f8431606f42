// The configuration store: defaults, a round trip by field name, stored
// values that are missing, malformed or out of range, and bad paths. The
// store lives in a temporary folder, never in the user's settings.
#include "QEL_COPN.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kPath[] = "\\Software\\Quelbrook\\Tarnwick\\";
std::string configFolder;

std::string storeFile() { return configFolder + "/Quelbrook/Tarnwick.conf"; }

void writeStore(const std::string &text)
{
    std::string dir = configFolder + "/Quelbrook";
    std::string command = "mkdir -p '" + dir + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ofstream(storeFile()) << text;
}

void expectDefaults(const HardwareConfiguration &hw, const CANopenConfiguration &co)
{
    EXPECT_EQ(hw.InterfaceType, 2u);
    EXPECT_STREQ(hw.AccessPoint, "can0");
    EXPECT_EQ(co.Baud, 250000u);
    EXPECT_EQ(co.InterfaceNodeID, 127u);
}

} // namespace

TEST(ConfigurationTest, NothingStoredGivesTheDefault)
{
    HardwareConfiguration hw;
    CANopenConfiguration co;
    std::memset(&hw, 0xEE, sizeof hw);
    std::memset(&co, 0xEE, sizeof co);
    ASSERT_NE(ReadConfiguration(kPath, &hw, &co), 0);
    expectDefaults(hw, co);
    EXPECT_EQ(hw.Port, 0u);
    EXPECT_EQ(hw.ComPort, 0u);
}

TEST(ConfigurationTest, RoundTripByFieldName)
{
    HardwareConfiguration hw{};
    CANopenConfiguration co{};
    hw.InterfaceType = 1;
    hw.Port = 3;
    std::strcpy(hw.AccessPoint, "can1");
    co.Baud = 500000;
    co.InterfaceNodeID = 42;
    QELCOPN_SetBlackBoxMinutes(&co, 25);
    ASSERT_NE(SaveConfiguration(kPath, &hw, &co), 0);

    std::stringstream text;
    text << std::ifstream(storeFile()).rdbuf();
    EXPECT_NE(text.str().find("AccessPoint=can1"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("Baud=500000"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("BlackBoxMinutes=25"), std::string::npos) << text.str();

    HardwareConfiguration back{};
    CANopenConfiguration coBack{};
    ASSERT_NE(ReadConfiguration(kPath, &back, &coBack), 0);
    EXPECT_EQ(back.InterfaceType, 1u);
    EXPECT_EQ(back.Port, 3u);
    EXPECT_STREQ(back.AccessPoint, "can1");
    EXPECT_EQ(coBack.Baud, 500000u);
    EXPECT_EQ(coBack.InterfaceNodeID, 42u);
    EXPECT_EQ(QELCOPN_GetBlackBoxMinutes(&coBack), 25u);

    // A record without a zero in its access point is refused, not stored.
    std::memset(hw.AccessPoint, 'a', sizeof hw.AccessPoint);
    EXPECT_EQ(SaveConfiguration(kPath, &hw, &co), 0);
    ASSERT_NE(ReadConfiguration(kPath, &back, &coBack), 0);
    EXPECT_STREQ(back.AccessPoint, "can1");
}

uint32_t reservedWord(const HardwareConfiguration &hw, int at)
{
    uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = value << 8 | hw.Reserved[at + k];
    return value;
}

TEST(ConfigurationTest, ReplaySpeedAndLoopAreStoredByNameInTheReservedBytes)
{
    HardwareConfiguration hw{};
    CANopenConfiguration co{};
    hw.InterfaceType = QELCOPN_KIND_RECORDING;
    std::strcpy(hw.AccessPoint, "/home/tech/run.log");
    hw.Reserved[0] = 10;
    hw.Reserved[4] = 1;
    co.Baud = 250000;
    co.InterfaceNodeID = 127;
    ASSERT_NE(SaveConfiguration(kPath, &hw, &co), 0);
    std::stringstream text;
    text << std::ifstream(storeFile()).rdbuf();
    EXPECT_NE(text.str().find("ReplaySpeed=10"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("ReplayLoop=1"), std::string::npos) << text.str();
    HardwareConfiguration back;
    std::memset(&back, 0xEE, sizeof back);
    ASSERT_NE(ReadConfiguration(kPath, &back, &co), 0);
    EXPECT_EQ(back.InterfaceType, QELCOPN_KIND_RECORDING);
    EXPECT_EQ(reservedWord(back, 0), 10u);
    EXPECT_EQ(reservedWord(back, 4), 1u);
    for (size_t k = 8; k < sizeof back.Reserved; ++k)
        EXPECT_EQ(back.Reserved[k], 0) << k;

    // A speed not offered plays at the recorded pace; a loop not 0 or 1 is off.
    writeStore("[Hardware]\nReplaySpeed=3\nReplayLoop=7\n");
    ASSERT_NE(ReadConfiguration(kPath, &back, &co), 0);
    EXPECT_EQ(reservedWord(back, 0), 0u);
    EXPECT_EQ(reservedWord(back, 4), 0u);
    writeStore("[Hardware]\nReplaySpeed=4294967295\n");
    ASSERT_NE(ReadConfiguration(kPath, &back, &co), 0);
    EXPECT_EQ(reservedWord(back, 0), QELCOPN_REPLAY_FASTEST);
}

TEST(ConfigurationTest, BadStoredValuesReadAsTheirDefaults)
{
    writeStore("[Hardware]\n"
               "InterfaceType=9\n"
               "Port=abc\n"
               "Irq=99999999999\n"
               "ComPort=-1\n"
               "AccessPoint=" + std::string(300, 'q') + "\n"
               "[CANopen]\n"
               "InterfaceNodeID=0\n"
               "Baud=12345\n"
               "BlackBoxMinutes=31\n");
    HardwareConfiguration hw;
    CANopenConfiguration co;
    std::memset(&hw, 0xEE, sizeof hw);
    ASSERT_NE(ReadConfiguration(kPath, &hw, &co), 0);
    expectDefaults(hw, co);
    EXPECT_EQ(hw.Port, 0u);
    EXPECT_EQ(hw.Irq, 0u);
    EXPECT_EQ(hw.ComPort, 0u);
    EXPECT_NE(std::memchr(hw.AccessPoint, 0, sizeof hw.AccessPoint), nullptr);
    EXPECT_EQ(QELCOPN_GetBlackBoxMinutes(&co), 0u) << "0: the default";

    // Good values beside bad ones are kept.
    writeStore("[Hardware]\nInterfaceType=4\nAccessPoint=can0.0\n[CANopen]\nInterfaceNodeID=200\nBaud=1000000\n");
    ASSERT_NE(ReadConfiguration(kPath, &hw, &co), 0);
    EXPECT_EQ(hw.InterfaceType, 4u);
    EXPECT_STREQ(hw.AccessPoint, "can0.0");
    EXPECT_EQ(co.InterfaceNodeID, 127u);
    EXPECT_EQ(co.Baud, 1000000u);
}

TEST(ConfigurationTest, PathsNotOfTheExpectedFormFail)
{
    HardwareConfiguration hw{};
    CANopenConfiguration co{};
    for (const char *path : {"", "\\", "\\Software\\Quelbrook\\", "Software/Quelbrook/Tarnwick",
                             "\\Hardware\\Quelbrook\\Tarnwick\\", "\\Software\\Quelbrook\\Tarnwick\\Extra\\",
                             "\\Software\\..\\Tarnwick\\", "\\Software\\a/b\\Tarnwick\\"}) {
        EXPECT_EQ(ReadConfiguration(path, &hw, &co), 0) << path;
        EXPECT_EQ(SaveConfiguration(path, &hw, &co), 0) << path;
    }
    EXPECT_EQ(ReadConfiguration(nullptr, &hw, &co), 0);
    EXPECT_EQ(ReadConfiguration(kPath, nullptr, &co), 0);
    EXPECT_EQ(SaveConfiguration(kPath, &hw, nullptr), 0);
    EXPECT_NE(ReadConfiguration("Software\\Quelbrook\\Tarnwick", &hw, &co), 0); // outer backslashes optional
}

int main(int argc, char **argv)
{
    // Before anything reads the settings location.
    char folder[] = "/tmp/qelcopn-config-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    configFolder = folder;
    setenv("XDG_CONFIG_HOME", folder, 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const std::string cleanup = "rm -rf '" + configFolder + "'";
    std::system(cleanup.c_str());
    return result;
}
