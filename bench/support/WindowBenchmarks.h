// The main of a benchmark program that opens windows: offscreen unless told
// otherwise, in a scratch working directory (the windows keep FORM.INI where
// they run), with the application alive for every benchmark.
#pragma once

#include <functional>

// Runs the benchmarks the command line selects, then `after` (for figures a
// benchmark cannot report) while the application still exists.
int RunWindowBenchmarks(int argc, char **argv, const std::function<void()> &after = {});
