// Puts the gateway core on a bus: opens the interface, feeds the core the
// frames it receives, wakes it when it is due, writes what it sends and
// prints its event lines, one per line, flushed at once.
#pragma once

#include "Gateway.h"
#include "Options.h"
#include "StopSignal.h"
#include "transport/CanBusPort.h"
#include "transport/ReplayPlayer.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <memory>

class SimulatorRunner : public QObject, private gatewaysim::GatewaySink {
    Q_OBJECT
public:
    explicit SimulatorRunner(const gatewaysim::Options &options);
    ~SimulatorRunner() override;

    // Opens the bus, powers the gateway on and runs until stopped; the
    // process's exit status.
    int run();

private:
    void send(const qelcopn::CanFrame &frame) override;
    void note(const std::string &line) override;

    void onFrame(const qelcopn::CanFrame &frame);
    void onPollTimer();
    void onLost();
    void tryReconnect();
    void scheduleNextPoll();
    void stop(const std::string &reason);
    bool openPort(QString *error);
    // With --replay: the recording's frames instead of the gateway's.
    int runReplay();
    int exec();
    // Command lines for the extra nodes, as standard input delivers them.
    void readCommands();

    gatewaysim::Options options_;
    uint32_t kindCode_ = 0;
    qelcopn::CanBusPort port_;
    std::unique_ptr<gatewaysim::Gateway> gateway_;
    std::unique_ptr<gatewaysim::ExtraNodes> extraNodes_;
    std::unique_ptr<QSocketNotifier> commands_;
    std::string commandBuffer_;
    std::unique_ptr<qelcopn::ReplayPlayer> replay_;
    StopSignal stopSignal_;
    QTimer pollTimer_;
    QTimer reconnectTimer_;
    QTimer runTimer_;
    bool connected_ = false;
    uint64_t framesSent_ = 0;
    uint64_t framesRefused_ = 0;
};
