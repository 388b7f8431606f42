// tarnwick_bus_actor: one party on a private virtual bus for the robustness
// tests, in a process of its own so that a test can kill it by its PID.
//
//   tarnwick_bus_actor host    --bus URL                 only hosts the bus
//   tarnwick_bus_actor gateway --bus URL [--node 7] --answers abort,short,... [--quiet-starts N]
//   tarnwick_bus_actor flood   --bus URL [--spare 7] [--rate 20000]
//   tarnwick_bus_actor tap     --bus URL [--node 7]
//
// Every role prints "ready" once its port is open and "bus lost" when the
// bus goes away; SIGTERM or SIGINT ends it with an "end ..." line. The
// gateway prints each bad answer ("answered 0x4210:0 abort"); the tap prints
// the last data of every object and "end pdos=N after-write=W emcys=M" once the node has
// reported itself stopped. --seconds N ends any role after N seconds; the
// actor also ends when the process that started it does.
#include "BusActorRoles.h"
#include "Platform.h"
#include "protocol/Cia301.h"
#include "StopSignal.h"
#include "transport/CanBusPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <sys/prctl.h>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::CanBusPort;

namespace {

constexpr uint32_t VIRTUAL_BUS = 2;
constexpr uint32_t BUS_BITRATE = 250000;
constexpr int HEARTBEAT_MS = 500;
constexpr int FLOOD_TICK_MS = 1;
// The flood never makes up more than this much of a late tick.
constexpr int FLOOD_CATCH_UP_MS = 10;

void say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int usage(const char *why)
{
    std::fprintf(stderr,
                 "tarnwick_bus_actor: %s\n"
                 "usage: tarnwick_bus_actor host|gateway|flood|tap --bus tcp://127.0.0.1:PORT/can0 [--node N]\n"
                 "       [--answers abort,wrong-index,short,garbage,endless,silent] [--quiet-starts N]\n"
                 "       [--spare N] [--rate N] [--seconds N]\n",
                 why);
    return 2;
}

struct Options {
    std::string role;
    QString bus;
    uint8_t node = 7;
    std::vector<BadAnswer> answers;
    int quietStarts = 0;
    long rate = 20000;
    int seconds = 0;
};

// Empty on success, else what is wrong.
std::string parse(int argc, char **argv, Options *o)
{
    if (argc < 2)
        return "no role";
    o->role = argv[1];
    std::map<std::string, std::string> values;
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc)
            return std::string(argv[i]) + " needs a value";
        values[argv[i]] = argv[i + 1];
    }
    for (const auto &[option, value] : values) {
        const long number = std::strtol(value.c_str(), nullptr, 0);
        if (option == "--bus")
            o->bus = QString::fromStdString(value);
        else if (option == "--node" || option == "--spare") {
            if (!cia301::isNodeId(unsigned(number)))
                return option + " takes a node ID, 1 to 127";
            o->node = uint8_t(number);
        } else if (option == "--answers") {
            o->answers = badAnswersFrom(value);
            if (o->answers.empty())
                return "unknown answer in " + value;
        } else if (option == "--quiet-starts") {
            if (number < 0 || value.empty())
                return "--quiet-starts takes a count from 0";
            o->quietStarts = int(number);
        } else if (option == "--rate") {
            if (number < 1 || number > 1000000)
                return "--rate takes 1 to 1000000 frames per second";
            o->rate = number;
        } else if (option == "--seconds") {
            if (number < 1)
                return "--seconds takes a positive number";
            o->seconds = int(number);
        } else
            return "unknown option " + option;
    }
    if (o->role != "host" && o->role != "gateway" && o->role != "flood" && o->role != "tap")
        return "unknown role " + o->role;
    if (o->bus.isEmpty())
        return "--bus is required";
    if (o->role == "gateway" && o->answers.empty())
        return "the gateway needs --answers";
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    const std::string error = parse(argc, argv, &options);
    if (!error.empty())
        return usage(error.c_str());
    // Whatever happens to the test, none of its actors outlives it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);

    QCoreApplication app(argc, argv);
    StopSignal stop;
    std::function<std::string()> summary = [] { return std::string("end"); };
    QObject::connect(&stop, &StopSignal::stopRequested, &app, [&] {
        say(summary());
        app.quit();
    });
    if (options.seconds > 0)
        QTimer::singleShot(options.seconds * 1000, &app, [&] {
            say(summary());
            app.quit();
        });

    CanBusPort port;
    port.setLostHandler([] { say("bus lost"); });
    const SendFrame send = [&port](const CanFrame &frame) { return port.write(frame); };
    QTimer ticker;

    ScriptedGateway gateway(options.node, options.answers.empty() ? std::vector{BadAnswer::Silent} : options.answers,
                            say, options.quietStarts);
    EmcyFlood flood(options.node);
    BusTap tap(options.node);
    uint64_t sent = 0, refused = 0;
    bool tapReported = false;
    QElapsedTimer floodClock;
    int64_t floodDue = 0;

    if (options.role == "gateway") {
        port.setFrameHandler([&](const CanFrame &f, int64_t) { gateway.handle(f, send); });
        QObject::connect(&ticker, &QTimer::timeout, [&] { send(gateway.heartbeat()); });
        ticker.start(HEARTBEAT_MS);
    } else if (options.role == "flood") {
        summary = [&] { return "end sent=" + std::to_string(sent) + " refused=" + std::to_string(refused); };
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            // As many as the rate allows since the last tick: a late tick
            // never turns into a burst beyond the rate.
            const int64_t elapsedMs = floodClock.elapsed();
            floodDue = std::max(floodDue, (elapsedMs - FLOOD_CATCH_UP_MS) * options.rate / 1000);
            for (const int64_t due = elapsedMs * options.rate / 1000; floodDue < due; ++floodDue)
                ++(send(flood.next()) ? sent : refused);
        });
    } else if (options.role == "tap") {
        summary = [&] {
            return "end pdos=" + std::to_string(tap.pdos()) + " after-write=" + std::to_string(tap.pdosAfterWrite()) +
                   " emcys=" + std::to_string(tap.emergencies());
        };
        port.setFrameHandler([&](const CanFrame &f, int64_t) {
            if (!tap.handle(f) || tapReported)
                return;
            tapReported = true;
            for (const std::string &line : tap.lastValues())
                say(line);
            say(summary());
        });
    }

    QString why;
    if (port.open(VIRTUAL_BUS, options.bus, BUS_BITRATE, &why) != CanBusPort::OpenResult::Ok) {
        std::fprintf(stderr, "tarnwick_bus_actor: cannot open %s: %s\n", qPrintable(options.bus), qPrintable(why));
        return 1;
    }
    if (options.role == "gateway")
        send(gateway.bootUp());
    if (options.role == "flood") {
        floodClock.start();
        ticker.start(FLOOD_TICK_MS);
    }
    say("ready");
    return app.exec();
}
