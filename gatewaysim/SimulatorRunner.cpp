#include "SimulatorRunner.h"

#include "BusBudget.h"
#include "EdsFiles.h"
#include "Platform.h"
#include "Text.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

using qelcopn::CanFrame;
using qelcopn::CanBusPort;
using qelcopn::ReplayPlayer;
using qelcopn::InterfaceKind;
using qelcopn::interfaceKindByPlugin;

using namespace gatewaysim;

namespace {

constexpr int RECONNECT_INTERVAL_MS = 1000;
constexpr int END_DRAIN_MS = 200;
// CiA 301's usual period; a master may write another into 0x1017.
constexpr uint16_t EXTRA_NODE_HEARTBEAT_MS = 1000;
constexpr size_t LONGEST_COMMAND = 256;

GatewayConfig configFrom(const Options &options)
{
    GatewayConfig config;
    config.node = options.node;
    config.productCode = options.productCode;
    config.vendorId = options.vendorId;
    config.heartbeatMs = options.heartbeatMs;
    config.scenario = options.scenario;
    config.pdoRate = pdoRateFor(options);
    config.selfStart = options.selfStart;
    return config;
}

} // namespace

SimulatorRunner::SimulatorRunner(const Options &options)
    : options_(options)
{
    const InterfaceKind *kind = interfaceKindByPlugin(options.kind);
    kindCode_ = kind ? kind->code : 0;
    pollTimer_.setSingleShot(true);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &SimulatorRunner::onPollTimer);
    reconnectTimer_.setInterval(RECONNECT_INTERVAL_MS);
    connect(&reconnectTimer_, &QTimer::timeout, this, &SimulatorRunner::tryReconnect);
    connect(&stopSignal_, &StopSignal::stopRequested, this,
            [this] { stop(format("signal=%s", StopSignal::lastSignalName())); });
    runTimer_.setSingleShot(true);
    connect(&runTimer_, &QTimer::timeout, this, [this] { stop(format("seconds=%u", *options_.seconds)); });
    port_.setFrameHandler([this](const CanFrame &frame, int64_t) { onFrame(frame); });
    port_.setLostHandler([this] { onLost(); });
}

SimulatorRunner::~SimulatorRunner() = default;

bool SimulatorRunner::openPort(QString *error)
{
    return port_.open(kindCode_, QString::fromStdString(options_.interfaceName), options_.bitrate, error) ==
           CanBusPort::OpenResult::Ok;
}

int SimulatorRunner::run()
{
    if (!options_.replay.empty())
        return runReplay();
    std::map<uint8_t, network::eds::ObjectDictionary> dictionaries;
    if (!readExtraNodeEds(options_, dictionaries))
        return 2;
    QString error;
    if (!openPort(&error)) {
        std::fprintf(stderr, "tarnwick-gatewaysim: cannot open %s interface '%s': %s\n", options_.kind.c_str(),
                     options_.interfaceName.c_str(), qPrintable(error));
        return 1;
    }
    connected_ = true;
    const GatewayConfig config = configFrom(options_);
    // The virtual bus has no bit rate of its own; on a real one the rate is
    // a promise the gateway cannot break.
    if (options_.rate && options_.kind != "virtualcan" && *options_.rate > fullBusFramesPerSecond(options_.bitrate))
        std::fprintf(stderr, "tarnwick-gatewaysim: --rate %u is more than a %u bit/s bus carries (%.0f frames/s)\n",
                     *options_.rate, options_.bitrate, fullBusFramesPerSecond(options_.bitrate));
    gateway_ = std::make_unique<Gateway>(config, static_cast<GatewaySink &>(*this));
    extraNodes_ = std::make_unique<ExtraNodes>(options_.extraNodes, EXTRA_NODE_HEARTBEAT_MS, options_.networkScenario,
                                               static_cast<GatewaySink &>(*this), dictionaries);
    gateway_->powerOn(MonotonicMicros());
    extraNodes_->powerOn(MonotonicMicros());
    if (!extraNodes_->empty()) {
        commands_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(commands_.get(), &QSocketNotifier::activated, this, &SimulatorRunner::readCommands);
    }
    for (uint8_t node : options_.extraNodes)
        note(format("ready extra-node=%u", node));
    note(format("ready node=%u product=%u interface=%s kind=%s vendor=0x%X bitrate=%u scenario=%s heartbeat=%u "
                "event-timer=%u rate=%.0f",
                options_.node, options_.productCode, options_.interfaceName.c_str(), options_.kind.c_str(),
                options_.vendorId, options_.bitrate, scenarioName(options_.scenario), options_.heartbeatMs,
                config.eventTimerMs, config.pdoRate));
    scheduleNextPoll();
    return exec();
}

int SimulatorRunner::runReplay()
{
    const QString path = QFileInfo(QString::fromStdString(options_.replay)).absoluteFilePath();
    QString error;
    replay_ = ReplayPlayer::open(path, {0, options_.loop}, &error);
    if (!replay_) {
        std::fprintf(stderr, "tarnwick-gatewaysim: cannot replay: %s\n", qPrintable(error));
        return 1;
    }
    if (!openPort(&error)) {
        std::fprintf(stderr, "tarnwick-gatewaysim: cannot open %s interface '%s': %s\n", options_.kind.c_str(),
                     options_.interfaceName.c_str(), qPrintable(error));
        return 1;
    }
    connected_ = true;
    // Error frames are the adapter's report of the bus, not frames to send.
    replay_->setFrameHandler([this](const CanFrame &frame, int64_t) {
        if (!frame.error)
            send(frame);
    });
    replay_->setEndHandler([this] {
        note(format("replay end frames=%llu skipped=%llu", static_cast<unsigned long long>(replay_->framesPlayed()),
                    static_cast<unsigned long long>(replay_->file().badLines())));
        // Written frames leave through the event loop (the virtual bus
        // writes to a socket): quitting at once would lose the last ones.
        QTimer::singleShot(END_DRAIN_MS, this, [this] { stop("replay-end"); });
    });
    note(format("ready replay=%s interface=%s kind=%s bitrate=%u loop=%s", qPrintable(path),
                options_.interfaceName.c_str(), options_.kind.c_str(), options_.bitrate, options_.loop ? "yes" : "no"));
    // From the event loop: a recording that ends at once must find it running.
    QTimer::singleShot(0, this, [this] { replay_->start(); });
    return exec();
}

int SimulatorRunner::exec()
{
    if (options_.seconds)
        runTimer_.start(int(*options_.seconds) * 1000);
    const int status = QCoreApplication::exec();
    pollTimer_.stop();
    reconnectTimer_.stop();
    replay_.reset();
    port_.close();
    return status;
}

void SimulatorRunner::send(const CanFrame &frame)
{
    if (connected_ && port_.write(frame))
        ++framesSent_;
    else
        ++framesRefused_;
}

void SimulatorRunner::note(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void SimulatorRunner::onFrame(const CanFrame &frame)
{
    if (!gateway_)
        return;
    const int64_t now = MonotonicMicros();
    const bool forGateway = gateway_->receive(frame, now);
    // An NMT command to all nodes is for the extra nodes too.
    if (extraNodes_->receive(frame, now) || forGateway)
        scheduleNextPoll();
}

void SimulatorRunner::onPollTimer()
{
    if (!gateway_)
        return;
    const int64_t now = MonotonicMicros();
    gateway_->poll(now);
    extraNodes_->poll(now);
    scheduleNextPoll();
}

void SimulatorRunner::readCommands()
{
    char chunk[512];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) {
        // End of input: the nodes go on by themselves.
        commands_->setEnabled(false);
        return;
    }
    commandBuffer_.append(chunk, size_t(got));
    for (size_t end; (end = commandBuffer_.find('\n')) != std::string::npos;) {
        const std::string line = commandBuffer_.substr(0, end);
        commandBuffer_.erase(0, end + 1);
        const std::string error = extraNodes_->command(line, MonotonicMicros());
        if (!error.empty())
            std::fprintf(stderr, "tarnwick-gatewaysim: %s\n", error.c_str());
    }
    if (commandBuffer_.size() > LONGEST_COMMAND) {
        std::fprintf(stderr, "tarnwick-gatewaysim: command line longer than %zu characters ignored\n", LONGEST_COMMAND);
        commandBuffer_.clear();
    }
    scheduleNextPoll();
}

void SimulatorRunner::scheduleNextPoll()
{
    const int64_t due = std::min(gateway_->nextDueUs(), extraNodes_->nextDueUs());
    if (due == Scenario::NEVER) {
        pollTimer_.stop();
        return;
    }
    const int64_t waitUs = due - MonotonicMicros();
    // Whole milliseconds, rounded up: woken early, the gateway would find
    // nothing due and the loop would spin.
    const int64_t waitMs = waitUs <= 0 ? 0 : (waitUs + 999) / 1000;
    pollTimer_.start(int(std::min<int64_t>(waitMs, 24 * 3600 * 1000)));
}

void SimulatorRunner::onLost()
{
    if (!connected_)
        return;
    connected_ = false;
    note("bus lost");
    reconnectTimer_.start();
}

void SimulatorRunner::tryReconnect()
{
    if (!openPort(nullptr))
        return;
    connected_ = true;
    reconnectTimer_.stop();
    note("bus reconnected");
}

void SimulatorRunner::stop(const std::string &reason)
{
    note(format("stop %s sent=%llu refused=%llu", reason.c_str(), static_cast<unsigned long long>(framesSent_),
                static_cast<unsigned long long>(framesRefused_)));
    QCoreApplication::quit();
}
