// Two receive threads decode a million messages while the display timer
// runs; once they are done and the display has caught up, every grid cell
// matches the model. Run under ThreadSanitizer as well.
#include "MonitorTestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace monitor_test;

namespace {

constexpr uint32_t MESSAGES_PER_THREAD = 500000;
// Each thread lets at least one display pass happen after every chunk, so
// passes and decoding really overlap however fast the machine is.
constexpr uint32_t CHUNK = 25000;
// Reception times stay below 2^24 ticks, where the float time is exact.
constexpr uint32_t TIME_SPAN_MS = 16000;

// Counts display ticks and lets the decoding threads wait for the next one.
class TickGate {
public:
    void Ticked()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++ticks_;
        }
        changed_.notify_all();
    }
    uint64_t Ticks()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return ticks_;
    }
    // Returns when a tick after `seen` has happened (or after a long while,
    // so that a stalled display cannot hang the test).
    void WaitPast(uint64_t seen)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(60), [&] { return ticks_ > seen; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t ticks_ = 0;
};

void DecodePdos(TForm_MTU &form, TickGate &gate)
{
    const uint32_t base = uint32_t(uint64_t(form.CounterBase));
    for (uint32_t i = 0; i < MESSAGES_PER_THREAD; ++i) {
        if (i % CHUNK == 0)
            gate.WaitPast(gate.Ticks());
        Message pdo{};
        switch (i % 4) {
        case 0:
        case 1:
            pdo = Pdo(GATEWAY_INDEX_MTU_PARAMETER, uint8_t(1 + ((i / 4) * 2 + i % 4) % 254), i);
            break;
        case 2:
            pdo = Pdo(GATEWAY_INDEX_DINBUS_BYTE, uint8_t(1 + i % 36), uint8_t(i >> 3), 0, 0, 0);
            break;
        default: {
            const uint8_t width = uint8_t(0x32 + (i / 4) % 3);
            const uint8_t element = uint8_t(1 + (i / 12) % (width == 0x32 ? 8 : width == 0x33 ? 4 : 2));
            pdo = Pdo(uint16_t(width << 8 | (i / 7) % 32), element, i);
            break;
        }
        }
        form.DecodePdoData(GATEWAY_NODE, 8, pdo.data(), i + 1, base + 1000u * (1 + i % TIME_SPAN_MS));
    }
}

void DecodeEmergencies(TForm_MTU &form, TickGate &gate)
{
    for (uint32_t i = 0; i < MESSAGES_PER_THREAD; ++i) {
        if (i % CHUNK == 0)
            gate.WaitPast(gate.Ticks());
        const Message message = i % 1000 == 999
                                    ? Emergency((i / 1000) % 2 != 0 ? 0x0000 : 0xFF00, 0)
                                    : Emergency(0xFF00, 1, uint16_t(1 + i % 400), uint16_t((i / 400) % 3));
        form.DecodeEmergency(GATEWAY_NODE, message.data(), StampMsAgo(0));
    }
}

std::string Printed(const char *format, unsigned long value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool FlagsClear(const TForm_MTU &form)
{
    return form.FaultsChanged.load() == 0 && form.MtuDataChanged.load() == 0 && form.StatusChanged.load() == 0 &&
           form.DinBusChanged.load() == 0 && form.J1939Changed.load() == 0;
}

TEST(MonitorConcurrency, GridsEqualTheModelAfterTheLastTick)
{
    TForm_MTU form;
    form.NodeId = GATEWAY_NODE;
    TickGate gate;
    // Connected after the display's own handler, so it counts finished passes.
    QObject::connect(form.Timer1, &QTimer::timeout, [&gate] { gate.Ticked(); });
    ASSERT_TRUE(form.Timer1->isActive());

    std::atomic<int> running{2};
    std::thread pdoThread([&] {
        DecodePdos(form, gate);
        --running;
    });
    std::thread emergencyThread([&] {
        DecodeEmergencies(form, gate);
        --running;
    });
    while (running.load() != 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    pdoThread.join();
    emergencyThread.join();
    const uint64_t lastDecode = gate.Ticks();
    while (!(FlagsClear(form) && gate.Ticks() > lastDecode))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    for (int n = 1; n <= GATEWAY_MTU_PARAMETER_LAST; ++n) {
        const int32_t value = form.MtuValue[n].load();
        ASSERT_EQ(Cell(form.AdvStringGrid_MTU_Data, 2, n), std::to_string(value)) << n;
        ASSERT_EQ(Cell(form.AdvStringGrid_MTU_Data, 3, n), Printed("0x%08lx", uint32_t(value))) << n;
        const uint32_t ms = (form.MtuRxTime2[n].load() - uint32_t(uint64_t(form.CounterBase))) / 1000u;
        ASSERT_EQ(Cell(form.AdvStringGrid_MTU_Data, 4, n), Printed("%lu.00", ms)) << n;
        ASSERT_EQ(form.MtuValueShown[n], value);
        ASSERT_EQ(form.MtuRxTime1Shown[n], form.MtuRxTime1[n].load());
    }
    for (int n = 1; n <= FAULT_LAST_ROW; ++n)
        ASSERT_EQ(Cell(form.AdvStringGrid_MTU_FaultCodes, 1, n), form.FaultState[n].load() != 0 ? "Fault Active" : "0")
            << n;
    for (int n = 1; n <= GATEWAY_DINBUS_BYTE_LAST; ++n)
        ASSERT_EQ(Cell(form.AdvStringGrid_DinBus, 2, n), Printed("%lx", form.DinBusByte[n].load())) << n;
    for (int s = 0; s < GATEWAY_J1939_SLOTS; ++s) {
        std::string expected;
        for (int b = 0; b < J1939_DATA_BYTES; ++b)
            expected += Printed(b == 0 ? "%02lx" : " %02lx", form.J1939Params[s].Data[b].load());
        ASSERT_EQ(Cell(form.AdvStringGrid_J1939, 2, s + 1), expected) << s;
    }
    EXPECT_EQ(form.StatusText().toStdString(),
              form.MtuOnline.load() != 0 ? "MTU Status: Online" : "MTU Status: Offline!!!!!!!!!!");
}

} // namespace
