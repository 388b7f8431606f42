// The adapter options every command-line program on the library takes
// (--kind, --interface, --bitrate), read in one place so that they mean and
// refuse the same everywhere; unset, each is as the stored adapter
// configuration has it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace adapter {

struct Options {
    std::optional<uint32_t> kind;
    std::optional<std::string> interfaceName;
    std::optional<uint32_t> bitrate;
};

// For an adapter option: what is wrong with its value, empty when it fits.
// nullopt when `option` is none of them.
std::optional<std::string> apply(Options &options, const std::string &option, const std::string &value);
// The three options' lines for a usage text.
std::string usageLines();

} // namespace adapter
