// The receive threads against a scripted library: the binding finds no
// library here, so its slots are pointed at the functions below.
#include "GatewayObjects.h"
#include "Platform.h"
#include "QEL_COPN_Interface.h"
#include "QtTestSupport.h"
#include "TForm_MTU.h"
#include "TThread_Emergency.h"
#include "TThread_PdoData.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

const bool applicationInstalled = InstallApplicationInScratchDirectory();

constexpr uint8_t GATEWAY = 7;

struct Message {
    uint8_t node;
    std::array<uint8_t, 8> bytes;
};

// What the fake library holds and counts, shared with the threads.
struct FakeLibrary {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Message> pdos;
    std::deque<Message> emergencies;
    std::atomic<int> pdoReads{0};
    std::atomic<int> emcyReads{0};
    std::atomic<uint8_t> lastPdoNode{0};
    uint32_t sequence = 0;
    // While set, the first emergency read that finds a message waits for the
    // test's go-ahead, so that a stop is sure to come mid-backlog.
    bool holdFirstEmergency = false;
    // The same for the first PDO read.
    bool holdFirstPdo = false;
    bool released = false;
    // The receive stamp the library puts after an emergency's eight bytes.
    uint32_t emcyStamp = 0;

    bool popPdo(uint8_t node, uint8_t *length, uint8_t *data, uint32_t *t1, uint32_t *t2)
    {
        ++pdoReads;
        lastPdoNode = node;
        std::unique_lock<std::mutex> lock(mutex);
        if (holdFirstPdo) {
            holdFirstPdo = false;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
        }
        if (pdos.empty())
            return false;
        std::memcpy(data, pdos.front().bytes.data(), 8);
        *length = 8;
        *t1 = ++sequence;
        *t2 = sequence * 1000;
        pdos.pop_front();
        changed.notify_all();
        return true;
    }

    bool popEmergency(uint8_t *node, uint8_t *message)
    {
        ++emcyReads;
        std::unique_lock<std::mutex> lock(mutex);
        if (emergencies.empty())
            return false;
        if (holdFirstEmergency) {
            holdFirstEmergency = false;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
        }
        *node = emergencies.front().node;
        std::memcpy(message, emergencies.front().bytes.data(), 8);
        for (int k = 0; k < 4; ++k)
            message[8 + k] = uint8_t(emcyStamp >> (8 * k));
        emergencies.pop_front();
        changed.notify_all();
        return true;
    }
};

FakeLibrary *fake = nullptr;

int32_t FakeRead(uint32_t, uint8_t node, uint8_t kind, uint16_t number, uint8_t *length, uint8_t *data, uint32_t *t1,
                 uint32_t *t2)
{
    if (kind != QELCOPN_PDO_TRANSMIT_READ || number != GATEWAY_PDO_NUMBER)
        return 0;
    return fake->popPdo(node, length, data, t1, t2);
}

int32_t FakeCheckEmergency(uint32_t, uint8_t *node, uint8_t *message)
{
    return fake->popEmergency(node, message);
}

Message MtuPdo(uint8_t parameter, int32_t value)
{
    Message m{GATEWAY, {0, 0x00, 0x42, parameter, 0, 0, 0, 0}};
    std::memcpy(&m.bytes[4], &value, 4);
    return m;
}

Message FaultReport(uint8_t node, uint16_t fault, uint16_t state)
{
    return {node, {0, 0, 0, 1, uint8_t(fault), uint8_t(fault >> 8), uint8_t(state), uint8_t(state >> 8)}};
}

class ReceiveThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = &library;
        CopnInterface = new TQEL_COPN_Interface;
        CopnInterface->pfnCOP_PDO_Read_Data_wTime = &FakeRead;
        CopnInterface->pfnCheckEmergency = &FakeCheckEmergency;
        Form_MTU = new TForm_MTU;
        Form_MTU->Timer1->stop();
        Form_MTU->NodeId = GATEWAY;
        event = CreateCountingEvent();
    }

    void TearDown() override
    {
        delete PdoDataThread;
        PdoDataThread = nullptr;
        delete EmergencyThread;
        EmergencyThread = nullptr;
        delete Form_MTU;
        Form_MTU = nullptr;
        delete CopnInterface;
        CopnInterface = nullptr;
        CloseHandle(event);
        fake = nullptr;
    }

    // The stop sequence of the main window: terminate, wake, wait.
    void StopPdoThread()
    {
        PdoDataThread->Terminate();
        SetEvent(PdoDataThread->PdoEvent);
        if (!PdoDataThread->Suspended())
            PdoDataThread->WaitFor();
    }

    void QueuePdos(int count)
    {
        for (int i = 0; i < count; ++i) {
            {
                std::lock_guard<std::mutex> lock(library.mutex);
                library.pdos.push_back(MtuPdo(uint8_t(1 + i % 254), i));
            }
            SetEvent(event);
        }
    }

    void WaitUntil(const std::function<bool()> &done)
    {
        std::unique_lock<std::mutex> lock(library.mutex);
        library.changed.wait(lock, done);
    }

    // For a wait that the faulty behaviour would make last for hours; the
    // bound is far beyond what the work takes on any machine.
    bool WaitAtMost(std::chrono::seconds bound, const std::function<bool()> &done)
    {
        std::unique_lock<std::mutex> lock(library.mutex);
        return library.changed.wait_for(lock, bound, done);
    }

    void Release()
    {
        {
            std::lock_guard<std::mutex> lock(library.mutex);
            library.released = true;
        }
        library.changed.notify_all();
    }

    // The pace of `reads` over a moment of running, counted from the first.
    static double ReadsPerSecond(const std::atomic<int> &reads)
    {
        while (reads.load() == 0)
            Sleep(1);
        const int first = reads.load();
        const auto start = std::chrono::steady_clock::now();
        Sleep(300);
        const int counted = reads.load() - first;
        return counted / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    FakeLibrary library;
    EVENT_HANDLE event = NO_EVENT;
};

TEST_F(ReceiveThreads, PdoThreadDecodesEveryQueuedPdo)
{
    PdoDataThread = new TThread_PdoData(true);
    PdoDataThread->PdoNodeId = GATEWAY;
    PdoDataThread->PdoEvent = event;
    QueuePdos(5000);
    EXPECT_EQ(library.pdoReads.load(), 0) << "a suspended thread must not read";
    PdoDataThread->Resume();
    WaitUntil([&] { return library.pdos.empty(); });
    StopPdoThread();
    // The last value of each parameter is the one the display will show.
    for (int parameter = 1; parameter <= 254; ++parameter) {
        const int last = (5000 - 1) - ((5000 - 1 - (parameter - 1)) % 254);
        EXPECT_EQ(Form_MTU->MtuValue[parameter].load(), last) << "parameter " << parameter;
    }
    EXPECT_TRUE(Form_MTU->MtuDataChanged.load());
}

// A backlog that built up while the thread was busy is taken whole on the
// next wake: the thread does not wait between PDOs while any is queued (one
// PDO per wait took 500 ms a PDO here, and a time slice a PDO on a busy
// machine, where the library's FIFO then overflowed).
TEST_F(ReceiveThreads, PdoThreadTakesAWholeBacklogOnOneWake)
{
    constexpr int BACKLOG = 1000;
    library.holdFirstPdo = true;
    PdoDataThread = new TThread_PdoData(true);
    PdoDataThread->PdoNodeId = GATEWAY;
    PdoDataThread->PdoEvent = event;
    PdoDataThread->Resume();
    WaitUntil([&] { return !library.holdFirstPdo; });
    {
        std::lock_guard<std::mutex> lock(library.mutex);
        for (int i = 0; i < BACKLOG; ++i)
            library.pdos.push_back(MtuPdo(1, i));
    }
    SetEvent(event); // one wake for the lot
    Release();
    const bool drained = WaitAtMost(std::chrono::seconds(60), [&] { return library.pdos.empty(); });
    StopPdoThread();
    EXPECT_TRUE(drained) << library.pdos.size() << " of " << BACKLOG << " PDOs still queued";
    EXPECT_EQ(library.sequence, uint32_t(BACKLOG)) << "PDOs decoded";
    EXPECT_EQ(Form_MTU->MtuValue[1].load(), BACKLOG - 1);
}

TEST_F(ReceiveThreads, PdoThreadFollowsANewNodeIdFromItsNextPass)
{
    PdoDataThread = new TThread_PdoData(true);
    PdoDataThread->PdoNodeId = GATEWAY;
    PdoDataThread->PdoEvent = event;
    PdoDataThread->Resume();
    while (library.lastPdoNode.load() != GATEWAY)
        Sleep(1);
    PdoDataThread->PdoNodeId = 12;
    SetEvent(event);
    while (library.lastPdoNode.load() != 12)
        Sleep(1);
    StopPdoThread();
}

// An idle thread pausing 10 ms between reads makes about 100 a second; a
// tight loop would make millions. The bound only catches spinning.
constexpr double IDLE_READS_PER_SECOND_AT_MOST = 2000.0;

TEST_F(ReceiveThreads, PdoThreadWithoutAValidEventDoesNotSpin)
{
    PdoDataThread = new TThread_PdoData(true);
    PdoDataThread->PdoNodeId = GATEWAY;
    PdoDataThread->PdoEvent = NO_EVENT; // as when the library gave no event
    PdoDataThread->Resume();
    const double perSecond = ReadsPerSecond(library.pdoReads);
    StopPdoThread();
    EXPECT_LT(perSecond, IDLE_READS_PER_SECOND_AT_MOST);
}

TEST_F(ReceiveThreads, IdleEmergencyThreadPausesBetweenPolls)
{
    EmergencyThread = new TThread_Emergency(false);
    const double perSecond = ReadsPerSecond(library.emcyReads);
    EmergencyThread->Terminate();
    EmergencyThread->WaitFor();
    EXPECT_LT(perSecond, IDLE_READS_PER_SECOND_AT_MOST);
}

TEST_F(ReceiveThreads, PdoThreadWithoutAValidEventStillDrainsWhatArrives)
{
    PdoDataThread = new TThread_PdoData(true);
    PdoDataThread->PdoNodeId = GATEWAY;
    PdoDataThread->PdoEvent = NO_EVENT;
    QueuePdos(3000);
    PdoDataThread->Resume();
    WaitUntil([&] { return library.pdos.empty(); });
    StopPdoThread();
    EXPECT_EQ(Form_MTU->MtuValue[1].load(), 2794);
}

TEST_F(ReceiveThreads, EmergencyThreadDrainsItsBacklogBeforeEnding)
{
    {
        std::lock_guard<std::mutex> lock(library.mutex);
        library.holdFirstEmergency = true;
        for (uint16_t fault = 1; fault <= 400; ++fault)
            library.emergencies.push_back(FaultReport(GATEWAY, fault, 1));
        library.emergencies.push_back(FaultReport(GATEWAY + 1, 5, 0)); // another node: read, then dropped
    }
    EmergencyThread = new TThread_Emergency(false);
    WaitUntil([&] { return !library.holdFirstEmergency; });
    EmergencyThread->Terminate();
    Release();
    EmergencyThread->WaitFor();
    EXPECT_TRUE(library.emergencies.empty());
    for (int fault = 1; fault <= 400; ++fault)
        ASSERT_EQ(Form_MTU->FaultState[fault].load(), 1) << "fault " << fault;
    EXPECT_TRUE(Form_MTU->FaultsChanged.load());
}

// The history's time is the library's receive stamp, not when the thread
// got round to the message.
TEST_F(ReceiveThreads, EmergencyThreadHandsOnTheLibrarysReceiveStamp)
{
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    {
        std::lock_guard<std::mutex> lock(library.mutex);
        library.emcyStamp = uint32_t(uint64_t(now - 2000000));
        library.emergencies.push_back(FaultReport(GATEWAY, 23, 1));
    }
    EmergencyThread = new TThread_Emergency(false);
    WaitUntil([&] { return library.emergencies.empty(); });
    EmergencyThread->Terminate();
    EmergencyThread->WaitFor();
    THistoryEvent event;
    ASSERT_TRUE(Form_MTU->HistoryFeed.Take(event));
    EXPECT_EQ(event.FaultCode, 23);
    EXPECT_EQ(event.RxUs, now - 2000000);
}

} // namespace
