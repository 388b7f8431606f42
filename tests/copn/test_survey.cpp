// The node identity survey against the recording double.
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

constexpr uint32_t ALL_FIELDS = 0x1FF;

class Survey : public ::testing::Test {
protected:
    void SetUp() override
    {
        qeldouble::Reset();
        copn = std::make_unique<TQEL_COPN_Interface>();
        qeldouble::ClearCalls();
    }

    // A node that answers every identity object.
    static void ScriptNode(uint8_t node, uint32_t vendor, uint32_t product)
    {
        qeldouble::SetNodeOnline(node, 1);
        qeldouble::SetObjectU32(node, 0x1000, 0, 0x00020191);
        qeldouble::SetObject(node, 0x1001, 0, {0x11});
        qeldouble::SetObjectText(node, 0x1008, 0, "Gateway");
        qeldouble::SetObjectText(node, 0x1009, 0, "HW 2.0");
        qeldouble::SetObjectText(node, 0x100A, 0, "SW 1.06");
        qeldouble::SetObjectU32(node, 0x1018, 1, vendor);
        qeldouble::SetObjectU32(node, 0x1018, 2, product);
        qeldouble::SetObjectU32(node, 0x1018, 3, 0x00010002);
        qeldouble::SetObjectU32(node, 0x1018, 4, 123456);
    }

    // Index and sub-index of each upload, in order.
    static std::vector<std::pair<uint64_t, uint64_t>> uploads()
    {
        std::vector<std::pair<uint64_t, uint64_t>> objects;
        for (const auto &call : qeldouble::Calls())
            if (call.name.rfind("SDO_Upload", 0) == 0)
                objects.emplace_back(call.args[2], call.args[3]);
        return objects;
    }

    std::unique_ptr<TQEL_COPN_Interface> copn;
};

TEST_F(Survey, OnlineNodeIsReadCompletelyInOrder)
{
    ScriptNode(5, 0x141, 1101);
    EXPECT_EQ(copn->SurveyNode(5), 1);
    const NodeIdentity &node = copn->NodeTable[5];
    EXPECT_EQ(node.Online, 1u);
    EXPECT_EQ(node.ValidFields, ALL_FIELDS);
    EXPECT_EQ(node.DeviceType, 0x00020191u);
    EXPECT_EQ(node.ErrorRegister, 0x11);
    EXPECT_STREQ(node.DeviceName, "Gateway");
    EXPECT_STREQ(node.HardwareVersion, "HW 2.0");
    EXPECT_STREQ(node.SoftwareVersion, "SW 1.06");
    EXPECT_EQ(node.VendorId, 0x141u);
    EXPECT_EQ(node.ProductCode, 1101u);
    EXPECT_EQ(node.RevisionNumber, 0x00010002u);
    EXPECT_EQ(node.SerialNumber, 123456u);

    const auto names = qeldouble::CallNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "GetNodeOnline");
    EXPECT_EQ(names[1], "SetSDOTimeout");
    EXPECT_EQ(qeldouble::CallsTo("SetSDOTimeout")[0].args, (std::vector<uint64_t>{0, 500}));
    const std::vector<std::pair<uint64_t, uint64_t>> expected = {
        {0x1000, 0}, {0x1001, 0}, {0x1008, 0}, {0x1009, 0}, {0x100A, 0},
        {0x1018, 1}, {0x1018, 2}, {0x1018, 3}, {0x1018, 4}};
    EXPECT_EQ(uploads(), expected);
    EXPECT_EQ(qeldouble::CallCount("SDO_Upload_UNSIGNED8"), 1u) << "the error register is one byte";
}

TEST_F(Survey, TextsAreCutTo255BytesAndAlwaysTerminated)
{
    ScriptNode(3, 0x141, 1101);
    qeldouble::SetObjectText(3, 0x1008, 0, "");
    qeldouble::SetObjectText(3, 0x1009, 0, std::string(255, 'a'));
    qeldouble::SetObjectText(3, 0x100A, 0, std::string(256, 'b'));
    std::memset(copn->NodeTable[3].DeviceName, 'X', 256);
    ASSERT_EQ(copn->SurveyNode(3), 1);
    const NodeIdentity &node = copn->NodeTable[3];
    EXPECT_STREQ(node.DeviceName, "") << "an empty text is stored and counts";
    EXPECT_EQ(std::string(node.HardwareVersion), std::string(255, 'a'));
    EXPECT_EQ(std::string(node.SoftwareVersion), std::string(255, 'b'));
    EXPECT_EQ(node.ValidFields, ALL_FIELDS);
    for (const auto &call : qeldouble::CallsTo("SDO_Upload"))
        EXPECT_EQ(call.args[6], 256u) << "the buffer size is handed in";

    // A library that reports more than the buffer holds is not trusted.
    qeldouble::SetObject(3, 0x1008, 0, std::vector<uint8_t>(256, 'c'), 300);
    ASSERT_EQ(copn->SurveyNode(3), 1);
    EXPECT_EQ(std::string(node.DeviceName), std::string(255, 'c'));
}

TEST_F(Survey, DeviceTypeIsAskedTwiceBeforeTheNodeCountsAsOffline)
{
    ScriptNode(9, 0x141, 1104);
    qeldouble::FailObject(9, 0x1000, 0, 1);
    EXPECT_EQ(copn->SurveyNode(9), 1);
    EXPECT_EQ(copn->NodeTable[9].Online, 1u);
    EXPECT_EQ(copn->NodeTable[9].ValidFields, ALL_FIELDS);
    EXPECT_EQ(uploads().size(), 10u) << "one repeat of the device type, nothing else twice";

    // Failing both times: offline, nothing valid, nothing more read, values kept.
    qeldouble::ClearCalls();
    qeldouble::FailObject(9, 0x1000, 0, 2);
    EXPECT_EQ(copn->SurveyNode(9), 0);
    EXPECT_EQ(copn->NodeTable[9].Online, 0u);
    EXPECT_EQ(copn->NodeTable[9].ValidFields, 0u);
    EXPECT_EQ(copn->NodeTable[9].ProductCode, 1104u);
    EXPECT_EQ(uploads(), (std::vector<std::pair<uint64_t, uint64_t>>{{0x1000, 0}, {0x1000, 0}}));
}

TEST_F(Survey, FailedReadsKeepTheOldValuesWithTheirBitsClear)
{
    ScriptNode(12, 0x141, 1101);
    ASSERT_EQ(copn->SurveyNode(12), 1);
    qeldouble::FailObject(12, 0x1001, 0);
    for (uint8_t sub = 1; sub <= 4; ++sub)
        qeldouble::FailObject(12, 0x1018, sub);
    qeldouble::SetObjectText(12, 0x1008, 0, "Renamed");
    qeldouble::ClearCalls();

    EXPECT_EQ(copn->SurveyNode(12), 1);
    const NodeIdentity &node = copn->NodeTable[12];
    EXPECT_EQ(node.Online, 1u);
    EXPECT_EQ(node.ValidFields, VALID_DEVICE_TYPE | VALID_DEVICE_NAME | VALID_HARDWARE_VERSION |
                                    VALID_SOFTWARE_VERSION);
    EXPECT_STREQ(node.DeviceName, "Renamed");
    EXPECT_EQ(node.ErrorRegister, 0x11);
    EXPECT_EQ(node.VendorId, 0x141u);
    EXPECT_EQ(node.ProductCode, 1101u);
    EXPECT_EQ(node.SerialNumber, 123456u);
    EXPECT_EQ(uploads().size(), 9u) << "one failure does not stop the reads after it";
}

TEST_F(Survey, NodeIdsOutsideOneTo127AreRefusedUntouched)
{
    copn->NodeTable[0].ValidFields = 0x55;
    for (int id : {0, 128, 200, 255})
        EXPECT_EQ(copn->SurveyNode(uint8_t(id)), 0) << id;
    EXPECT_TRUE(qeldouble::Calls().empty());
    EXPECT_EQ(copn->NodeTable[0].ValidFields, 0x55u);

    // Read directly, a node past the table would be written over the stored
    // configuration behind it.
    const HardwareConfiguration hardware = copn->HardwareConfiguration;
    const CANopenConfiguration canopen = copn->CANopenConfiguration;
    for (int id : {128, 255}) {
        ScriptNode(uint8_t(id), 0x141, 1101);
        EXPECT_EQ(copn->ReadNodeIdentity(uint8_t(id)), 0) << id;
    }
    EXPECT_TRUE(qeldouble::Calls().empty());
    EXPECT_EQ(std::memcmp(&copn->HardwareConfiguration, &hardware, sizeof hardware), 0);
    EXPECT_EQ(std::memcmp(&copn->CANopenConfiguration, &canopen, sizeof canopen), 0);
}

TEST_F(Survey, OfflineOrUnansweredQueryClearsOnlineOnly)
{
    ScriptNode(20, 0x141, 1101);
    ASSERT_EQ(copn->SurveyNode(20), 1);
    qeldouble::ClearCalls();

    qeldouble::SetNodeOnline(20, 0);
    EXPECT_EQ(copn->SurveyNode(20), 1) << "the query's own result when reported offline";
    EXPECT_EQ(copn->NodeTable[20].Online, 0u);
    EXPECT_EQ(copn->NodeTable[20].VendorId, 0x141u);
    EXPECT_EQ(qeldouble::CallNames(), std::vector<std::string>{"GetNodeOnline"});

    qeldouble::SetNodeOnline(20, 1);
    qeldouble::SetResult("GetNodeOnline", 0);
    EXPECT_EQ(copn->SurveyNode(20), 0) << "a failed query counts as offline";
    EXPECT_EQ(copn->NodeTable[20].Online, 0u);
}

TEST_F(Survey, AllNodesAscendingAndRecordZeroNeverOnline)
{
    ScriptNode(12, 0x141, 1101);
    ScriptNode(5, 0x141, 1104);
    EXPECT_EQ(copn->SurveyNodes(), 1);
    std::vector<uint64_t> asked;
    for (const auto &call : qeldouble::CallsTo("GetNodeOnline"))
        asked.push_back(call.args[1]);
    ASSERT_EQ(asked.size(), 127u);
    for (size_t i = 0; i < asked.size(); ++i)
        EXPECT_EQ(asked[i], i + 1);
    EXPECT_EQ(copn->NodeTable[0].Online, 0u);
    EXPECT_EQ(copn->NodeTable[5].ProductCode, 1104u);
    EXPECT_EQ(copn->NodeTable[12].ProductCode, 1101u);
    int online = 0;
    for (const NodeIdentity &node : copn->NodeTable)
        online += node.Online != 0;
    EXPECT_EQ(online, 2);
}

} // namespace
