// Monitor start and stop against the recording double: Open Monitor Window
// in each mode, the receive threads' reuse, their stop in order, and the
// main window's close while they run.
#include "test_network_support.h"

#include "SpinEdit.h"

#include <condition_variable>
#include <mutex>

namespace {

using namespace network_test;

using MonitorStartStop = NetworkWindow;

TEST_F(MonitorStartStop, ListenOnlyOpeningRegistersAgainEachTimeAndReusesTheThreads)
{
    const EVENT_HANDLE event = CreateCountingEvent();
    qeldouble::SetPdoEvent(event);
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("12"));
    StartAccess();
    qeldouble::ClearCalls();

    ASSERT_TRUE(OpenAndCloseMonitor());
    // Nothing goes to the gateway: no SDO transfer, no NMT command.
    EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"AddPDO", "COP_PDO_Get_Event"}));
    EXPECT_EQ(qeldouble::CallsTo("AddPDO").at(0).args, (std::vector<uint64_t>{HANDLE, 12, 16, 3, 1000}));
    const auto get = qeldouble::CallsTo("COP_PDO_Get_Event").at(0).args;
    EXPECT_EQ(std::vector<uint64_t>(get.begin(), get.begin() + 4), (std::vector<uint64_t>{HANDLE, 12, 18, 3}));
    ASSERT_NE(PdoDataThread, nullptr);
    ASSERT_NE(EmergencyThread, nullptr);
    EXPECT_EQ(PdoDataThread->PdoEvent, event);
    EXPECT_EQ(PdoDataThread->PdoNodeId, 12);
    EXPECT_EQ(Form_MTU->ListenOnly, 1);
    EXPECT_EQ(Form_MTU->NodeId, 12);
    EXPECT_EQ(Form_MTU->ProductCode, 0) << "no browse has found a gateway";
    TThread_PdoData *const pdoThread = PdoDataThread;
    TThread_Emergency *const emergencyThread = EmergencyThread;

    // Again, for another node: the same two registrations, the same threads.
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("13"));
    qeldouble::ClearCalls();
    ASSERT_TRUE(OpenAndCloseMonitor());
    EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"AddPDO", "COP_PDO_Get_Event"}));
    EXPECT_EQ(qeldouble::CallsTo("AddPDO").at(0).args, (std::vector<uint64_t>{HANDLE, 13, 16, 3, 1000}));
    EXPECT_EQ(PdoDataThread, pdoThread);
    EXPECT_EQ(EmergencyThread, emergencyThread);
    EXPECT_EQ(PdoDataThread->PdoNodeId, 13);
    EXPECT_EQ(Form_MTU->NodeId, 13);

    // The thread waits on the library's event; Stop wakes it and it ends.
    StopAccess();
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(EmergencyThread, nullptr);
    CloseHandle(event);
}

TEST_F(MonitorStartStop, OpeningAfterABrowseOnlyHandsOverTheSettingsAndShows)
{
    ScriptNode(5, GATEWAY_VENDOR, 1104);
    for (QRadioButton *mode : {form->RadioButton_Cyclic, form->RadioButton_COS}) {
        SCOPED_TRACE(mode->text().toStdString());
        mode->click();
        StartAccess();
        boxes.answers = {QMessageBox::Yes};
        form->Button_NetworkBrowse->click();
        ASSERT_TRUE(form->Button_OpenMonitorWindow->isEnabled());
        TThread_PdoData *const pdoThread = PdoDataThread;
        qeldouble::ClearCalls();

        ASSERT_TRUE(OpenAndCloseMonitor());
        // Only the showing's own reads of the gateway's state.
        EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"SDO_Upload_UNSIGNED8", "SDO_Upload"}));
        EXPECT_EQ(Form_MTU->ListenOnly, 0);
        EXPECT_EQ(Form_MTU->NodeId, 5);
        EXPECT_EQ(Form_MTU->ProductCode, 1104);
        EXPECT_EQ(PdoDataThread, pdoThread);

        // Closing the window does not stop monitoring.
        qeldouble::ClearCalls();
        EXPECT_TRUE(qeldouble::WaitForCalls("CheckEmergency", 2));
        StopAccess();
    }
}

TEST_F(MonitorStartStop, WithoutAMonitorWindowOpeningStillStartsMonitoringAndShowsNothing)
{
    delete Form_MTU;
    Form_MTU = nullptr;
    StartAccess();
    qeldouble::ClearCalls();
    form->Button_OpenMonitorWindow->click();
    EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"AddPDO", "COP_PDO_Get_Event"}));
    EXPECT_NE(PdoDataThread, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MonitorStartStop, StopMonitorWithoutThreadsDoesNothing)
{
    form->StopMonitor();
    form->StopMonitor();
    EXPECT_TRUE(qeldouble::Calls().empty());
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(EmergencyThread, nullptr);
}

// A PDO read that can be held inside the library until the test lets go,
// so that a stop is sure to find the PDO thread still running.
struct HeldPdoRead {
    std::mutex mutex;
    std::condition_variable changed;
    bool holding = true;
    bool held = false;
    decltype(&::COP_PDO_Read_Data_wTime) library = nullptr;

    void Release()
    {
        std::lock_guard lock(mutex);
        holding = false;
        changed.notify_all();
    }
};
HeldPdoRead *heldRead = nullptr;

int32_t HoldingPdoRead(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, uint8_t *length, uint8_t *data,
                       uint32_t *time1, uint32_t *time2)
{
    {
        std::unique_lock lock(heldRead->mutex);
        heldRead->held = heldRead->holding;
        heldRead->changed.notify_all();
        heldRead->changed.wait(lock, [] { return !heldRead->holding; });
    }
    return heldRead->library(h, node, kind, number, length, data, time1, time2);
}

TEST_F(MonitorStartStop, StopMonitorEndsThePdoThreadBeforeTheEmergencyThread)
{
    HeldPdoRead read;
    heldRead = &read;
    read.library = CopnInterface->pfnCOP_PDO_Read_Data_wTime;
    CopnInterface->pfnCOP_PDO_Read_Data_wTime = &HoldingPdoRead;
    StartAccess();
    ASSERT_TRUE(OpenAndCloseMonitor());
    {
        std::unique_lock lock(read.mutex);
        ASSERT_TRUE(read.changed.wait_for(lock, std::chrono::seconds(30), [&] { return read.held; }));
    }

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        form->StopMonitor();
        stopped = true;
    });
    // While the stop waits for the PDO thread, the emergency thread has not
    // been told to end: it goes on polling.
    const size_t polls = qeldouble::CallCount("CheckEmergency");
    EXPECT_TRUE(qeldouble::WaitForCalls("CheckEmergency", polls + 3));
    EXPECT_FALSE(stopped);

    read.Release();
    stopper.join();
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(EmergencyThread, nullptr);
    heldRead = nullptr;
}

TEST_F(MonitorStartStop, StopWakesThePdoThreadFromItsWaitForTheEvent)
{
    const EVENT_HANDLE event = CreateCountingEvent();
    qeldouble::SetPdoEvent(event);
    StartAccess();
    ASSERT_TRUE(OpenAndCloseMonitor());
    // Nothing is queued: after each read the thread waits out 500 ms for the
    // event. Stopping just after one, a stop that only waited would take them all.
    const size_t reads = qeldouble::CallCount("COP_PDO_Read_Data_wTime");
    ASSERT_TRUE(qeldouble::WaitForCalls("COP_PDO_Read_Data_wTime", reads + 1));
    const auto stopping = std::chrono::steady_clock::now();
    form->StopMonitor();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(400));
    EXPECT_EQ(PdoDataThread, nullptr);
    CloseHandle(event);
}

TEST_F(MonitorStartStop, ClosingTheMainWindowWhileMonitoringEndsTheThreadsBeforeTheLibraryGoes)
{
    StartAccess();
    ASSERT_TRUE(OpenAndCloseMonitor());
    ASSERT_TRUE(qeldouble::WaitForCalls("CheckEmergency", 1));
    qeldouble::ClearCalls();

    form->close();
    EXPECT_EQ(PdoDataThread, nullptr);
    EXPECT_EQ(EmergencyThread, nullptr);
    EXPECT_EQ(CopnInterface, nullptr);
    const auto calls = qeldouble::Calls();
    bool libraryReleasing = false;
    for (const auto &call : calls) {
        if (!IsReceiveThreadRead(call.name))
            libraryReleasing = true;
        else
            EXPECT_FALSE(libraryReleasing) << call.name << " after the close began";
    }
    EXPECT_EQ(WindowCallNames(), (std::vector<std::string>{"SetOnline", "SetOnline", "CloseCard", "UnloadDriver"}));
}

} // namespace
