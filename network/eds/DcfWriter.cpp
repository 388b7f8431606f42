#include "eds/DcfWriter.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace network::eds {

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<unsigned> hexNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 4)
        return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 16 + unsigned(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    return value;
}

// "[1018sub2]" is 0x1018:2, "[1000]" 0x1000:0; other sections none.
std::optional<EntryKey> entryOfSection(std::string_view name)
{
    const std::string lower = lowered(name);
    const auto index = hexNumber(std::string_view(lower).substr(0, 4));
    if (lower.size() < 4 || !index)
        return std::nullopt;
    if (lower.size() == 4)
        return EntryKey{uint16_t(*index), 0};
    if (lower.compare(4, 3, "sub") != 0)
        return std::nullopt;
    const auto sub = hexNumber(std::string_view(lower).substr(7));
    if (!sub || *sub > 0xFF)
        return std::nullopt;
    return EntryKey{uint16_t(*index), uint8_t(*sub)};
}

bool isKey(std::string_view line, std::string_view key)
{
    const size_t equals = line.find('=');
    return equals != std::string_view::npos && lowered(trimmed(line.substr(0, equals))) == key;
}

} // namespace

std::string fileValue(DataType type, const Bytes &value)
{
    if (type == DataType::VisibleString)
        return std::string(value.begin(), value.end());
    if (fixedSize(type) == 0) {
        std::string hex = hexText(value);
        hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
        return hex;
    }
    if (type == DataType::TimeOfDay || type == DataType::TimeDifference)
        return formatValue(DataType::Unsigned48, value);
    return formatValue(type, value);
}

std::string writeDcf(std::string_view edsText, const ObjectDictionary &dictionary, const EntryValues &values,
                     uint8_t nodeId)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < edsText.size();) {
        const size_t end = edsText.find('\n', start);
        const size_t stop = end == std::string_view::npos ? edsText.size() : end;
        std::string line(edsText.substr(start, stop - start));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = stop + 1;
    }
    // An array's or record's own section holds no value: its sub-sections do.
    std::vector<uint16_t> withSubSections;
    for (const std::string &line : lines) {
        const std::string_view text = trimmed(line);
        if (!text.empty() && text.front() == '[' && lowered(text).find("sub") == 5)
            if (const auto key = entryOfSection(text.substr(1, text.find(']') - 1)))
                withSubSections.push_back(key->first);
    }
    std::string out;
    std::optional<std::string> pending; // the ParameterValue line of the section being copied
    bool commissioning = false;
    bool sawCommissioning = false;
    const auto endSection = [&] {
        if (pending)
            out += *pending + "\n";
        pending.reset();
    };
    for (const std::string &line : lines) {
        const std::string_view text = trimmed(line);
        if (!text.empty() && text.front() == '[') {
            endSection();
            const std::string_view name = text.substr(1, text.find(']') - 1);
            auto key = entryOfSection(name);
            if (key && name.size() == 4
                && std::find(withSubSections.begin(), withSubSections.end(), key->first) != withSubSections.end())
                key.reset();
            const auto value = key ? values.find(*key) : values.end();
            const Entry *entry = key ? dictionary.find(key->first, key->second) : nullptr;
            if (entry != nullptr && value != values.end())
                pending = "ParameterValue=" + fileValue(entry->type, value->second);
            const std::string lower = lowered(name);
            commissioning = lower == "devicecomissioning" || lower == "devicecommissioning";
            sawCommissioning = sawCommissioning || commissioning;
            out += line + "\n";
            if (commissioning)
                out += "NodeID=" + std::to_string(nodeId) + "\n";
            continue;
        }
        if (text.empty()) {
            endSection();
            out += "\n";
            continue;
        }
        // The old values go: the new ones take their place.
        if ((pending && isKey(text, "parametervalue")) || (commissioning && isKey(text, "nodeid")))
            continue;
        out += line + "\n";
    }
    endSection();
    if (!sawCommissioning)
        out += "\n[DeviceComissioning]\nNodeID=" + std::to_string(nodeId) + "\n";
    return out;
}

} // namespace network::eds
