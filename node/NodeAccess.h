// tarnwick-node's commands on an open interface of the library. Each prints
// what it found to standard output and why it failed to standard error,
// and returns the program's exit status.
#pragma once

#include "NodeOptions.h"
#include "eds/ObjectDictionary.h"

#include <cstdint>
#include <string>

namespace node {

constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1; // no answer, an abort, no adapter
constexpr int EXIT_USAGE = 2;

// Opens the adapter as the options and the stored configuration say, online;
// false (said on standard error) when it cannot.
bool openAdapter(const adapter::Options &options, uint32_t &handle);
void closeAdapter(uint32_t handle);

// dictionary: the node's EDS, or null; edsText its text, for dump --dcf.
int runCommand(uint32_t handle, const Options &options, const network::eds::ObjectDictionary *dictionary,
               const std::string &edsText);

} // namespace node
