// What the programs' command lines have in common: "--name value" or
// "--name=value", flags that take no value, "-h" for "--help", and numbers
// in decimal or 0x-hexadecimal. Each program keeps its own options and
// texts; this only reads them, so that every program refuses bad input in
// the same words.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cmdline {

struct Option {
    const char *name; // "--kind"
    bool takesValue;
};

// A program's options as its command line gave them, or why not.
template <typename Options>
struct Parsed {
    Options options;
    std::string error; // empty: the command line was good
};

// Takes one option as given: its value, empty for a flag. Returns what is
// wrong with it, empty when it fits.
using Take = std::function<std::string(const std::string &name, const std::string &value)>;

// Reads args (without the program name) in order, handing each known option
// to take. Returns the first error, empty when every argument was good: a
// stray argument, an unknown option, a value missing or given to a flag, or
// what take said.
std::string read(const std::vector<std::string> &args, const std::vector<Option> &known, const Take &take);

// The same into a program's options: "--help" sets options.help, every
// other option goes to apply.
template <typename Options>
std::string read(const std::vector<std::string> &args, const std::vector<Option> &known, Options &options,
                 std::string (*apply)(Options &, const std::string &, const std::string &))
{
    return read(args, known, [&](const std::string &name, const std::string &value) {
        if (name == "--help") {
            options.help = true;
            return std::string();
        }
        return apply(options, name, value);
    });
}

// Decimal or 0x-hexadecimal digits only (no sign, no octal), within
// [min, max].
std::optional<uint64_t> number(const std::string &text, uint64_t min, uint64_t max);

// "bad value 'VALUE' for OPTION: expected EXPECTED"
std::string badValue(const std::string &option, const std::string &value, const std::string &expected);

// "a, b, c or d": a table's entries as a usage text or a message names them,
// so that the text cannot leave one out.
std::string alternatives(const std::vector<std::string> &words);

// One option in a usage text: "  --name ARG" with the text from column 22,
// wrapped at 80 columns onto lines indented as far.
std::string usageEntry(const std::string &option, const std::string &text);

} // namespace cmdline
