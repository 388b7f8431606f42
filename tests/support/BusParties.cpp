#include "BusParties.h"

#ifndef GATEWAYSIM_PROGRAM
#error "GATEWAYSIM_PROGRAM must name the simulator"
#endif
#ifndef BUS_ACTOR_PROGRAM
#error "BUS_ACTOR_PROGRAM must name the bus actor"
#endif

namespace {

constexpr int READY_LIMIT_MS = 30000;
constexpr char SIMULATOR_LIFETIME_S[] = "3600";

std::unique_ptr<SimulatorProcess> Started(std::unique_ptr<SimulatorProcess> process, const std::string &readyLine,
                                          const std::string &what, std::string *error)
{
    if (!process->started()) {
        *error = what + " did not start";
        return nullptr;
    }
    if (process->waitLine(readyLine, READY_LIMIT_MS).empty()) {
        *error = what + " did not get ready: " + process->errorOutput();
        return nullptr;
    }
    error->clear();
    return process;
}

} // namespace

std::unique_ptr<SimulatorProcess> StartSimulatorOn(const std::string &busUrl, const std::vector<std::string> &options,
                                                   std::string *error)
{
    std::vector<std::string> args = {"--interface", busUrl, "--seconds", SIMULATOR_LIFETIME_S};
    args.insert(args.end(), options.begin(), options.end());
    return Started(std::make_unique<SimulatorProcess>(GATEWAYSIM_PROGRAM, args), "ready ", "the simulator", error);
}

std::unique_ptr<SimulatorProcess> StartBusActor(const std::string &role, const std::string &busUrl,
                                                const std::vector<std::string> &options, std::string *error)
{
    std::vector<std::string> args = {role, "--bus", busUrl};
    args.insert(args.end(), options.begin(), options.end());
    return Started(std::make_unique<SimulatorProcess>(BUS_ACTOR_PROGRAM, args), "ready", "the bus " + role, error);
}
