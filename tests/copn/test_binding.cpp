// The binding against the recording double: what each wrapper hands to its
// export, and the order of the calls at destruction.
#include "EveryWrapper.h"
#include "FreeLibrarySpy.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "ScriptedSuccess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

using qeldouble::Call;

uint64_t address(const void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}

std::vector<uint64_t> argsOf(const std::string &name)
{
    const auto calls = qeldouble::CallsTo(name);
    EXPECT_EQ(calls.size(), 1u) << name;
    return calls.empty() ? std::vector<uint64_t>{} : calls.front().args;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        qeldouble::Reset();
        OnFreeLibrary([](HMODULE module) { qeldouble::Record("FreeLibrary", {address(module)}); });
        copn = std::make_unique<TQEL_COPN_Interface>();
    }
    void TearDown() override
    {
        copn.reset();
        OnFreeLibrary(nullptr);
    }
    std::unique_ptr<TQEL_COPN_Interface> copn;
};

TEST_F(Binding, ConstructionBindsEveryExportTheLibraryHasAndCallsNothing)
{
    EXPECT_NE(copn->LibraryHandle, nullptr);
    EXPECT_EQ(copn->InterfaceHandle, 0u);
    // Names of QEL_COPN.h are bound; names the library lacks stay null.
    EXPECT_EQ(copn->pfnSetBaud, &::SetBaud);
    EXPECT_EQ(copn->pfnCOP_PDO_Get_Event, &::COP_PDO_Get_Event);
    EXPECT_EQ(copn->pfnCheckEmergency, &::CheckEmergency);
    EXPECT_EQ(copn->pfnOpenCard, nullptr);
    EXPECT_EQ(copn->pfnVersionInformationWindow, nullptr);
    for (const NodeIdentity &node : copn->NodeTable) {
        EXPECT_EQ(node.Online, 0u);
        EXPECT_EQ(node.ValidFields, 0u);
    }
    const HardwareConfiguration zeroHw{};
    const CANopenConfiguration zeroCo{};
    EXPECT_EQ(std::memcmp(&copn->HardwareConfiguration, &zeroHw, sizeof zeroHw), 0);
    EXPECT_EQ(std::memcmp(&copn->CANopenConfiguration, &zeroCo, sizeof zeroCo), 0);
    EXPECT_TRUE(qeldouble::Calls().empty());
}

TEST_F(Binding, ConfigurationCallsPassPathAndRecordsButNoHandle)
{
    char path[] = "\\Software\\Quelbrook\\Tarnwick\\";
    HardwareConfiguration hw{};
    hw.InterfaceType = 2;
    std::strcpy(hw.AccessPoint, "can0");
    CANopenConfiguration co{};
    co.Baud = 250000;
    co.InterfaceNodeID = 127;
    qeldouble::SetStoredConfiguration(hw, co);

    EXPECT_EQ(copn->ReadConfiguration(path), 1);
    EXPECT_EQ(copn->SaveConfiguration(path), 1);
    EXPECT_EQ(copn->CANopenConfigurationWindow(), 1);
    char name[256] = {};
    qeldouble::SetInterfaceName(2, "Virtual CAN bus");
    EXPECT_EQ(copn->GetInterfaceName(2, name), 1);
    EXPECT_STREQ(name, "Virtual CAN bus");

    EXPECT_EQ(copn->HardwareConfiguration.InterfaceType, 2u);
    EXPECT_STREQ(copn->HardwareConfiguration.AccessPoint, "can0");
    EXPECT_EQ(copn->CANopenConfiguration.Baud, 250000u);
    const auto records = std::vector<uint64_t>{address(path), address(&copn->HardwareConfiguration),
                                               address(&copn->CANopenConfiguration)};
    for (const char *export_ : {"ReadConfiguration", "SaveConfiguration"}) {
        const auto calls = qeldouble::CallsTo(export_);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].args, records) << export_;
        EXPECT_EQ(calls[0].text, "\\Software\\Quelbrook\\Tarnwick\\");
    }
    EXPECT_EQ(argsOf("CANopenConfigurationWindow"),
              (std::vector<uint64_t>{address(&copn->HardwareConfiguration), address(&copn->CANopenConfiguration)}));
    EXPECT_EQ(argsOf("GetInterfaceName"), (std::vector<uint64_t>{2, address(name)}));
}

TEST_F(Binding, WrappersHandOverTheHandleAndTheirArgumentsInOrder)
{
    CANopenConfiguration co{};
    co.InterfaceNodeID = 0x105;
    co.Baud = 125000;
    ScriptEveryWrapperToSucceed({}, co);
    const auto results = CallEveryWrapper(*copn);
    // Before OpenInterface the handle is 0; OpenInterface gets its address.
    EXPECT_EQ(argsOf("LoadDriver"), std::vector<uint64_t>{});
    EXPECT_EQ(argsOf("OpenInterface"),
              (std::vector<uint64_t>{address(&copn->InterfaceHandle), address(&copn->HardwareConfiguration)}));
    EXPECT_EQ(copn->InterfaceHandle, 1u);
    // Only the low 8 bits of the node ID reach SetNodeID.
    EXPECT_EQ(argsOf("SetNodeID"), (std::vector<uint64_t>{1, 5}));
    EXPECT_EQ(argsOf("SetBaud"), (std::vector<uint64_t>{1, 125000}));
    EXPECT_EQ(argsOf("SetOnline"), (std::vector<uint64_t>{1, 1}));
    EXPECT_EQ(argsOf("AddNode"), (std::vector<uint64_t>{1, 1}));
    EXPECT_EQ(argsOf("NMT_ResetCommunication"), (std::vector<uint64_t>{1, 0}));
    EXPECT_EQ(argsOf("NMT_StartRemoteNode"), (std::vector<uint64_t>{1, 7}));
    EXPECT_EQ(argsOf("SetSDOTimeout"), (std::vector<uint64_t>{1, 500}));
    EXPECT_EQ(argsOf("SDO_Download_UNSIGNED16"), (std::vector<uint64_t>{1, 7, 0x1803, 5, 10}));
    EXPECT_EQ(argsOf("AddPDO"), (std::vector<uint64_t>{1, 7, 16, 3, 1000}));
    const auto upload = argsOf("SDO_Upload");
    ASSERT_EQ(upload.size(), 7u);
    EXPECT_EQ(upload[6], 256u) << "the length holds the buffer size on entry";
    const auto pdo = argsOf("COP_PDO_Read_Data_wTime");
    ASSERT_EQ(pdo.size(), 8u);
    EXPECT_EQ((std::vector<uint64_t>(pdo.begin(), pdo.begin() + 4)), (std::vector<uint64_t>{1, 7, 18, 3}));
    EXPECT_EQ(argsOf("CloseInterface"), std::vector<uint64_t>{1});
    EXPECT_EQ(qeldouble::CallsTo("Trace_Start").at(0).text, "/tmp/binding-test.log");
    EXPECT_EQ(argsOf("Trace_Stop"), std::vector<uint64_t>{1});
    const auto recent = argsOf("Trace_SaveRecent");
    ASSERT_EQ(recent.size(), 3u);
    EXPECT_EQ(recent[0], 1u);
    EXPECT_EQ(recent[2], 60u);
    EXPECT_EQ(argsOf("Trace_SetBlackBoxMinutes"), (std::vector<uint64_t>{1, 0})) << "0: the default";
    EXPECT_EQ(argsOf("CloseCard"), std::vector<uint64_t>{1});
    for (const auto &[name, result] : results)
        EXPECT_EQ(result, 1) << name;
}

TEST_F(Binding, ResultsPassThroughUnchanged)
{
    qeldouble::SetResult("AddNode", 0x12345678);
    qeldouble::SetResult("SetOnline", -1);
    qeldouble::SetResult("LoadDriver", 0);
    EXPECT_EQ(copn->AddNode(3), 0x12345678);
    EXPECT_EQ(copn->SetOnline(1), -1);
    EXPECT_EQ(copn->LoadDriver(), 0);
}

TEST_F(Binding, CloseCardMarksEveryNodeOfflineWhateverTheLibrarySays)
{
    for (NodeIdentity &node : copn->NodeTable)
        node.Online = 1;
    qeldouble::SetResult("CloseCard", 0);
    EXPECT_EQ(copn->CloseCard(), 0);
    for (const NodeIdentity &node : copn->NodeTable)
        EXPECT_EQ(node.Online, 0u);
}

TEST_F(Binding, DestructionAfterCloseTakesTheClosedHandleOfflineThenReleasesInOrder)
{
    qeldouble::SetOpenHandle(0xC0DE);
    ASSERT_EQ(copn->OpenInterface(), 1);
    ASSERT_EQ(copn->CloseInterface(), 1);
    EXPECT_EQ(copn->InterfaceHandle, 0xC0DEu) << "the handle outlives CloseInterface";
    const uint64_t library = address(copn->LibraryHandle);
    // Every step runs whatever the one before returned.
    for (const char *name : {"SetOnline", "CloseCard", "UnloadDriver"})
        qeldouble::SetResult(name, 0);
    qeldouble::ClearCalls();
    copn.reset();
    const auto calls = qeldouble::Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name, "SetOnline");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{0xC0DE, 0}));
    EXPECT_EQ(calls[1].name, "CloseCard");
    EXPECT_EQ(calls[1].args, std::vector<uint64_t>{0xC0DE});
    EXPECT_EQ(calls[2].name, "UnloadDriver");
    EXPECT_EQ(calls[3].name, "FreeLibrary");
    EXPECT_EQ(calls[3].args, std::vector<uint64_t>{library});
}

} // namespace
