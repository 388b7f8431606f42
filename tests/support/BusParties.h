// Starting the other parties of a private virtual bus for a test: the gateway
// simulator on a given bus, and the bus actors (tarnwick_bus_actor: a bare
// bus host, a scripted gateway, an emergency flood, a tap). Each runs in a
// process of its own, read through SimulatorProcess and ended by its PID
// (stop(SIGKILL) for a crash, stop(SIGTERM) for an orderly end).
#pragma once

#include "SimulatorProcess.h"

#include <memory>
#include <string>
#include <vector>

// tarnwick-gatewaysim on busUrl with these further options, once it has
// said "ready"; null with *error set when it did not. It ends by itself
// after an hour unless the options give --seconds.
std::unique_ptr<SimulatorProcess> StartSimulatorOn(const std::string &busUrl, const std::vector<std::string> &options,
                                                   std::string *error);

// tarnwick_bus_actor in `role` on busUrl, once it has said "ready".
std::unique_ptr<SimulatorProcess> StartBusActor(const std::string &role, const std::string &busUrl,
                                                const std::vector<std::string> &options, std::string *error);
