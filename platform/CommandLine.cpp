#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace cmdline {

namespace {

constexpr char TRY_HELP[] = " (try --help)";

const Option *find(const std::vector<Option> &known, const std::string &name)
{
    const auto it = std::find_if(known.begin(), known.end(), [&](const Option &o) { return name == o.name; });
    return it == known.end() ? nullptr : &*it;
}

} // namespace

std::string read(const std::vector<std::string> &args, const std::vector<Option> &known, const Take &take)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg.rfind("--", 0) != 0 && !(arg == "-h" && find(known, "--help")))
            return "unexpected argument '" + arg + "'" + TRY_HELP;
        const size_t eq = arg.find('=');
        const std::string name = arg == "-h" ? "--help" : arg.substr(0, eq);
        const Option *option = find(known, name);
        if (option == nullptr)
            return "unknown option '" + name + "'" + TRY_HELP;
        std::string value;
        if (!option->takesValue) {
            if (eq != std::string::npos)
                return "option " + name + " takes no value" + TRY_HELP;
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return "option " + name + " needs a value" + TRY_HELP;
        }
        if (std::string error = take(name, value); !error.empty())
            return error;
    }
    return {};
}

std::optional<uint64_t> number(const std::string &text, uint64_t min, uint64_t max)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    // 16 hexadecimal digits fill 64 bits; longer decimal texts are past any
    // limit a caller gives and would wrap in strtoull.
    if (digits.empty() || digits.size() > (hex ? 16u : 19u))
        return std::nullopt;
    for (char c : digits)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return std::nullopt;
    const uint64_t value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::string badValue(const std::string &option, const std::string &value, const std::string &expected)
{
    return "bad value '" + value + "' for " + option + ": expected " + expected;
}

std::string alternatives(const std::vector<std::string> &words)
{
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            text += i + 1 == words.size() ? " or " : ", ";
        text += words[i];
    }
    return text;
}

std::string usageEntry(const std::string &option, const std::string &text)
{
    constexpr size_t TEXT_COLUMN = 21;
    constexpr size_t WIDTH = 80;
    std::string entry = "  " + option;
    entry.resize(std::max(entry.size() + 1, TEXT_COLUMN), ' ');
    size_t lineStart = 0;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (!first && entry.size() - lineStart + 1 + word.size() > WIDTH) {
            entry += '\n';
            lineStart = entry.size();
            entry.append(TEXT_COLUMN, ' ');
        } else if (!first) {
            entry += ' ';
        }
        entry += word;
        first = false;
    }
    return entry + '\n';
}

} // namespace cmdline
