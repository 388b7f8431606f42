// tarnwick-node read of a 4-byte entry (0x1018:1 of the simulator's extra
// node) on a private virtual bus, from the program's start to its exit:
// what a script pays per read. Goal: under 50 ms.
#include "PeerThread.h"
#include "SimulatorProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main()
{
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    SimulatorProcess simulator({"--interface", url, "--extra-node", "12"});
    if (simulator.waitLine("ready ").empty()) {
        std::fprintf(stderr, "the simulator did not start: %s\n", simulator.errorOutput().c_str());
        return 1;
    }
    constexpr int RUNS = 30;
    std::vector<double> millis;
    int failed = 0;
    for (int run = 0; run < RUNS; ++run) {
        const auto start = std::chrono::steady_clock::now();
        SimulatorProcess node(TARNWICK_NODE_PROGRAM, {"--kind", "virtualcan", "--interface", url, "--bitrate",
                                                      "250000", "read", "12", "0x1018:1"});
        const int status = node.wait();
        const auto end = std::chrono::steady_clock::now();
        simulator.collect();
        if (status != 0 || node.waitLine("321", 0).empty())
            ++failed;
        millis.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(millis.begin(), millis.end());
    std::printf("tarnwick-node read 0x1018:1 (4 bytes), start to exit, %d runs:\n", RUNS);
    std::printf("  min %.1f ms  median %.1f ms  90%% %.1f ms  max %.1f ms  (goal: under 50 ms)\n", millis.front(),
                millis[RUNS / 2], millis[RUNS * 9 / 10], millis.back());
    std::printf("  failed reads: %d\n", failed);
    return failed == 0 ? 0 : 1;
}
