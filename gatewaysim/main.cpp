// tarnwick-gatewaysim: a CANopen gateway node for demos, training and the
// end-to-end tests. See docs/simulator.md.
#include "Options.h"
#include "Platform.h"
#include "SimulatorRunner.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    PinTimeZone();
    std::vector<std::string> args(argv + 1, argv + argc);
    const gatewaysim::ParseResult parsed = gatewaysim::parseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tarnwick-gatewaysim: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(gatewaysim::usage().c_str(), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    SimulatorRunner runner(parsed.options);
    return runner.run();
}
