#include "eds/ObjectDictionary.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace network::eds {

namespace {

struct TypeInfo {
    DataType type;
    const char *name;
    size_t size;
};

constexpr TypeInfo TYPES[] = {
    {DataType::Boolean, "BOOLEAN", 1},
    {DataType::Integer8, "INTEGER8", 1},
    {DataType::Integer16, "INTEGER16", 2},
    {DataType::Integer32, "INTEGER32", 4},
    {DataType::Unsigned8, "UNSIGNED8", 1},
    {DataType::Unsigned16, "UNSIGNED16", 2},
    {DataType::Unsigned32, "UNSIGNED32", 4},
    {DataType::Real32, "REAL32", 4},
    {DataType::VisibleString, "VISIBLE_STRING", 0},
    {DataType::OctetString, "OCTET_STRING", 0},
    {DataType::UnicodeString, "UNICODE_STRING", 0},
    {DataType::TimeOfDay, "TIME_OF_DAY", 6},
    {DataType::TimeDifference, "TIME_DIFFERENCE", 6},
    {DataType::Domain, "DOMAIN", 0},
    {DataType::Integer24, "INTEGER24", 3},
    {DataType::Real64, "REAL64", 8},
    {DataType::Integer40, "INTEGER40", 5},
    {DataType::Integer48, "INTEGER48", 6},
    {DataType::Integer56, "INTEGER56", 7},
    {DataType::Integer64, "INTEGER64", 8},
    {DataType::Unsigned24, "UNSIGNED24", 3},
    {DataType::Unsigned40, "UNSIGNED40", 5},
    {DataType::Unsigned48, "UNSIGNED48", 6},
    {DataType::Unsigned56, "UNSIGNED56", 7},
    {DataType::Unsigned64, "UNSIGNED64", 8},
};

const TypeInfo &infoOf(DataType type)
{
    for (const TypeInfo &info : TYPES)
        if (info.type == type)
            return info;
    return TYPES[0];
}

bool isSigned(DataType type)
{
    switch (type) {
    case DataType::Integer8: case DataType::Integer16: case DataType::Integer24:
    case DataType::Integer32: case DataType::Integer40: case DataType::Integer48:
    case DataType::Integer56: case DataType::Integer64:
        return true;
    default:
        return false;
    }
}

bool isReal(DataType type) { return type == DataType::Real32 || type == DataType::Real64; }

// Integers, booleans and the two time types: a little-endian number.
bool isInteger(DataType type)
{
    return fixedSize(type) != 0 && !isReal(type);
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// One term of a sum: "$NODEID", or a number in CiA 306's notations.
std::optional<__int128> termValue(std::string_view term, uint8_t nodeId)
{
    term = trimmed(term);
    if (equalsNoCase(term, "$NODEID"))
        return nodeId;
    bool negative = false;
    if (!term.empty() && (term.front() == '-' || term.front() == '+')) {
        negative = term.front() == '-';
        term.remove_prefix(1);
    }
    int base = 10;
    if (term.size() > 2 && term[0] == '0' && (term[1] == 'x' || term[1] == 'X')) {
        base = 16;
        term.remove_prefix(2);
    } else if (term.size() > 1 && term[0] == '0') {
        base = 8;
        term.remove_prefix(1);
    }
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(term.data(), term.data() + term.size(), magnitude, base);
    if (term.empty() || error != std::errc() || end != term.data() + term.size())
        return std::nullopt;
    return negative ? -__int128(magnitude) : __int128(magnitude);
}

std::optional<__int128> numberValue(std::string_view text, uint8_t nodeId)
{
    // "$NODEID+0x180", "0x600+$NODEID"; a leading sign belongs to its term.
    __int128 sum = 0;
    size_t start = 0;
    for (size_t i = 1; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '+')
            continue;
        const auto term = termValue(text.substr(start, i - start), nodeId);
        if (!term)
            return std::nullopt;
        sum += *term;
        start = i + 1;
    }
    return text.empty() ? std::nullopt : std::optional<__int128>(sum);
}

std::optional<Bytes> hexValue(std::string_view text)
{
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(uint8_t(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return bytes;
}

Bytes littleEndian(unsigned __int128 value, size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
    return bytes;
}

__int128 integerOf(DataType type, const Bytes &value)
{
    unsigned __int128 raw = 0;
    for (size_t i = value.size(); i-- > 0;)
        raw = raw << 8 | value[i];
    const size_t bits = value.size() * 8;
    if (isSigned(type) && bits > 0 && (raw >> (bits - 1)) & 1)
        return __int128(raw) - (__int128(1) << bits);
    return __int128(raw);
}

double realOf(DataType type, const Bytes &value)
{
    if (type == DataType::Real32) {
        uint32_t bits = uint32_t(integerOf(DataType::Unsigned32, value));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    uint64_t bits = uint64_t(integerOf(DataType::Unsigned64, value));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::string decimal(__int128 value)
{
    const bool negative = value < 0;
    unsigned __int128 magnitude = negative ? -(unsigned __int128)value : (unsigned __int128)value;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    return negative ? "-" + digits : digits;
}

} // namespace

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}


bool isKnownType(uint16_t number)
{
    return std::any_of(std::begin(TYPES), std::end(TYPES),
                       [number](const TypeInfo &info) { return uint16_t(info.type) == number; });
}

const char *typeName(DataType type) { return infoOf(type).name; }

std::optional<DataType> typeFromName(std::string_view name)
{
    for (const TypeInfo &info : TYPES)
        if (equalsNoCase(name, info.name))
            return info.type;
    return std::nullopt;
}

size_t fixedSize(DataType type) { return infoOf(type).size; }

namespace {
constexpr const char *ACCESS_TEXTS[] = {"ro", "wo", "rw", "rwr", "rww", "const"};
}

std::optional<Access> accessFromText(std::string_view text)
{
    text = trimmed(text);
    for (size_t i = 0; i < std::size(ACCESS_TEXTS); ++i)
        if (equalsNoCase(text, ACCESS_TEXTS[i]))
            return Access(i);
    return std::nullopt;
}

const char *accessText(Access access) { return ACCESS_TEXTS[size_t(access)]; }

bool readable(Access access) { return access != Access::WriteOnly; }

bool writable(Access access)
{
    return access != Access::ReadOnly && access != Access::Constant;
}

std::optional<Bytes> parseValue(DataType type, std::string_view text, uint8_t nodeId)
{
    if (type == DataType::VisibleString)
        return Bytes(text.begin(), text.end());
    text = trimmed(text);
    if (fixedSize(type) == 0)
        return hexValue(text);
    const size_t size = fixedSize(type);
    if (isReal(type)) {
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        if (type == DataType::Real32) {
            const float f = float(value);
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            return littleEndian(bits, size);
        }
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return littleEndian(bits, size);
    }
    const auto number = numberValue(text, nodeId);
    if (!number)
        return std::nullopt;
    const size_t bits = size * 8;
    const __int128 low = isSigned(type) ? -(__int128(1) << (bits - 1)) : 0;
    const __int128 high = type == DataType::Boolean ? 1
        : isSigned(type) ? (__int128(1) << (bits - 1)) - 1 : (__int128(1) << bits) - 1;
    if (*number < low || *number > high)
        return std::nullopt;
    return littleEndian((unsigned __int128)*number, size);
}

std::string hexText(const Bytes &value)
{
    std::string text;
    char pair[4];
    for (uint8_t byte : value) {
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", byte);
        text += pair;
    }
    return text;
}

std::string formatValue(DataType type, const Bytes &value)
{
    if (type == DataType::VisibleString)
        return std::string(value.begin(), value.end());
    const size_t size = fixedSize(type);
    if (size == 0 || value.size() != size || type == DataType::TimeOfDay || type == DataType::TimeDifference)
        return hexText(value);
    if (isReal(type)) {
        char text[64];
        const auto result = type == DataType::Real32
            ? std::to_chars(text, text + sizeof text, float(realOf(type, value)))
            : std::to_chars(text, text + sizeof text, realOf(type, value));
        return std::string(text, result.ptr);
    }
    return decimal(integerOf(type, value));
}

const Entry *ObjectDictionary::find(uint16_t index, uint8_t subIndex) const
{
    const auto at = std::lower_bound(entries.begin(), entries.end(), std::make_pair(index, subIndex),
                                     [](const Entry &entry, std::pair<uint16_t, uint8_t> key) {
                                         return std::make_pair(entry.index, entry.subIndex) < key;
                                     });
    return at != entries.end() && at->index == index && at->subIndex == subIndex ? &*at : nullptr;
}

std::optional<std::string> checkLimits(const Entry &entry, const Bytes &value)
{
    const size_t size = fixedSize(entry.type);
    if (size != 0 && value.size() != size)
        return "not " + std::to_string(size) + " bytes long";
    if (size == 0 || !(isInteger(entry.type) || isReal(entry.type)))
        return std::nullopt;
    const auto below = [&](const Bytes &a, const Bytes &b) {
        return isReal(entry.type) ? realOf(entry.type, a) < realOf(entry.type, b)
                                  : integerOf(entry.type, a) < integerOf(entry.type, b);
    };
    if (entry.lowLimit && entry.lowLimit->size() == size && below(value, *entry.lowLimit))
        return "below the low limit " + formatValue(entry.type, *entry.lowLimit);
    if (entry.highLimit && entry.highLimit->size() == size && below(*entry.highLimit, value))
        return "above the high limit " + formatValue(entry.type, *entry.highLimit);
    return std::nullopt;
}

} // namespace network::eds
