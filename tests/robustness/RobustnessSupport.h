// What the robustness tests share on top of the end-to-end harness
// (AppOnBus: the application's own windows, the real library, a scripted
// user): a picture of everything the monitor shows, the display's ticks,
// settled process figures, the finding of the gateway, and the tap's
// account of what the gateway sent.
#pragma once

#include "AppOnBus.h"
#include "BusConfiguration.h"
#include "BusParties.h"
#include "ProcessFigures.h"

#include <QMetaObject>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QRadioButton;

constexpr uint8_t GATEWAY_NODE = 7;

// The sanitizers hold on to freed memory and to ended threads' histories by
// design, so under them resident memory tells nothing about leaks: the
// figures are still shown, but not compared.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool INSTRUMENTED_BUILD = true;
#else
constexpr bool INSTRUMENTED_BUILD = false;
#endif
constexpr bool RESIDENT_MEMORY_TELLS = !INSTRUMENTED_BUILD;

// A whole number from the environment, for longer runs by hand; else `fallback`.
int EnvironmentNumber(const char *name, int fallback);

// The monitor's cells.
std::string MtuCell(int column, int parameter);
std::string FaultCell(int fault);
std::string DinBusCell(int byte);
// Everything the monitor shows: every value cell of its four grids and the
// status panel, in one list that compares as a whole.
std::vector<std::string> MonitorPicture();

// What the process holds once Qt's thread pools have let their threads go:
// Qt keeps pool threads (and their event descriptors) for up to half a
// minute after some drawing and first-time jobs, so they come and go with no
// leak behind them. Waits for them with the event loop running.
ProcessFigures MeasureSettledProcess(AppOnBus &app);
// "main, QThread, ..." for a message.
std::string JoinedThreadNames();

// The interface the application opened is online in the library: false
// once the library has noticed that the bus is gone.
bool LibraryOnline();

// While it lives, counts the monitor's display ticks (Timer1) and runs
// `look` at each, after the display has drawn.
class DisplayTicks {
public:
    explicit DisplayTicks(std::function<void()> look = {});
    ~DisplayTicks();
    DisplayTicks(const DisplayTicks &) = delete;
    DisplayTicks &operator=(const DisplayTicks &) = delete;
    int count() const { return count_; }

private:
    std::function<void()> look_;
    QMetaObject::Connection connection_;
    int count_ = 0;
};

// Chooses the mode, starts network access and browses (Yes): the gateway at
// node 7 is found, monitored, and no message box came up.
::testing::AssertionResult FoundGateway(AppOnBus &app, QRadioButton *mode);

// What the tap saw of the gateway, once the gateway reported itself stopped.
struct TapReport {
    uint64_t pdos = 0;
    uint64_t pdosAfterWrite = 0;
    uint64_t emergencies = 0;
    std::map<std::pair<uint16_t, uint8_t>, uint32_t> last; // object -> data field
};

// Stops the gateway (an NMT stop through the library, as another master
// might send it) and waits for the tap's account; false when it did not come.
bool StopGatewayAndReadTap(AppOnBus &app, SimulatorProcess &tap, TapReport *report);

// Where the monitor's grids differ from the last values the tap saw sent
// (MTU parameters 1 to 254 and DinBus bytes 1 to 36); empty when they agree.
std::vector<std::string> DifferencesFromLastSent(const TapReport &report);

// The library's counts for the gateway's PDO since network access started.
struct PdoCounts {
    uint32_t received = 0;
    uint32_t dropped = 0;
};
PdoCounts GatewayPdoCounts(const AppOnBus &app);
