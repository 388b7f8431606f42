// The whole application against the gateway simulator on a private virtual
// bus, with the real CANopen library: the simulator hosts the bus, the
// library's stored configuration points at it (in a configuration folder of
// this process's own), and the application runs its own start-up with a
// scripted user in place of its message loop. Message boxes are answered
// Yes/OK and recorded. Shared by the end-to-end tests and benchmarks.
//
// Qt's virtual bus keeps per-process state bound to the thread that first
// used it, so one process runs one application session.
#pragma once

#include "AppTestSupport.h"
#include "QtTestSupport.h"
#include "SimulatorProcess.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QRadioButton;

// Points the process's configuration folder (XDG_CONFIG_HOME) at a temporary
// folder of its own, once: call it before the application object exists and
// before anything reads the library's configuration.
void UsePrivateConfigurationFolder();
// Installs the tests' application object, that folder set first; a test
// executable calls it once, at namespace scope.
bool InstallAppOnBusApplication();

class AppOnBus {
public:
    AppOnBus();
    ~AppOnBus(); // ends the simulator if it still runs

    // Starts tarnwick-gatewaysim with these options on a private bus, waits
    // for its ready line and stores a configuration for that bus (own node
    // 127, 250 kbit/s). Empty on success, else what went wrong.
    std::string StartSimulator(const std::vector<std::string> &options);
    const std::string &BusUrl() const { return url_; }
    SimulatorProcess &Simulator() { return *simulator_; }
    // SIGTERM; the simulator's exit status.
    int StopSimulator();

    // Runs the application's start-up with `user` acting in its message
    // loop; returns the start-up's result once the windows are released.
    int Run(const std::function<void()> &user);

    // What the user does, each returning when the window has handled it.
    void Choose(QRadioButton *mode);
    void StartNetworkAccess();
    void StopNetworkAccess();
    // Network Browse, answering the warning with Yes (reset every node
    // first), or with No and then Yes (survey without the reset).
    void Browse(bool resetFirst = true);
    // Opens the monitor window, runs `look` while it shows modally, then
    // closes it; false when it did not show modally.
    bool WhileMonitorShows(const std::function<void()> &look);

    // Keeps the event loop running and the simulator's output read until
    // the condition holds; false when the limit passed first. The limit
    // only ends a run whose condition never comes.
    bool Until(const std::function<bool()> &condition, int limitMs = 30000);
    // Keeps the event loop running for a while (to count what arrives).
    void RunFor(int ms);

    // The simulator's event lines so far.
    const std::vector<std::string> &SimulatorLines();
    bool SimulatorSaid(const std::string &prefix);
    // The lines from `first` on that start with one of the prefixes.
    std::vector<std::string> SimulatorLinesFrom(size_t first, const std::vector<std::string> &prefixes);

    // The library's counts for the gateway's PDO (PDO_Read_Receive_Count).
    bool PdoCounts(uint8_t node, uint32_t *received, uint32_t *dropped) const;

    BoxRecorder boxes;

private:
    ScopedWorkingDirectory workingDirectory_;
    std::unique_ptr<SimulatorProcess> simulator_;
    std::string url_;
};
