#include "trace/CandumpLine.h"

#include <algorithm>
#include <cstring>

namespace qelcopn::trace {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

char *putDecimal(char *out, uint64_t value, int minDigits)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < minDigits)
        digits[n++] = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

char *putHex(char *out, uint32_t value, int digits)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        *out++ = kHex[(value >> shift) & 0xF];
    return out;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits off the next run of non-space characters.
std::string_view nextField(std::string_view *rest)
{
    std::string_view s = *rest;
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    size_t end = 0;
    while (end < s.size() && !isSpace(s[end]))
        ++end;
    *rest = s.substr(end);
    return s.substr(0, end);
}

// "(seconds.fraction)" into µs; a fraction of any length is taken to µs.
bool parseStamp(std::string_view field, int64_t *micros)
{
    if (field.size() < 3 || field.front() != '(' || field.back() != ')')
        return false;
    field = field.substr(1, field.size() - 2);
    const size_t dot = field.find('.');
    const std::string_view whole = field.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : field.substr(dot + 1);
    if (whole.empty() || whole.size() > 12)
        return false;
    int64_t seconds = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return false;
        seconds = seconds * 10 + (c - '0');
    }
    int64_t part = 0;
    int digits = 0;
    for (char c : fraction) {
        if (c < '0' || c > '9')
            return false;
        if (digits < 6) {
            part = part * 10 + (c - '0');
            ++digits;
        }
    }
    for (; digits < 6; ++digits)
        part *= 10;
    *micros = seconds * 1000000 + part;
    return true;
}

bool parseHex(std::string_view s, uint32_t *value)
{
    if (s.empty() || s.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : s) {
        const int d = hexValue(c);
        if (d < 0)
            return false;
        v = v << 4 | uint32_t(d);
    }
    *value = v;
    return true;
}

} // namespace

size_t formatLine(const TraceRecord &record, std::string_view channel, char *out)
{
    const CanFrame &f = record.frame;
    char *p = out;
    const int64_t micros = std::max<int64_t>(record.wallMicros, 0);
    *p++ = '(';
    p = putDecimal(p, uint64_t(micros / 1000000), 1);
    *p++ = '.';
    p = putDecimal(p, uint64_t(micros % 1000000), 6);
    *p++ = ')';
    *p++ = ' ';
    channel = channel.substr(0, kMaxChannel);
    std::memcpy(p, channel.data(), channel.size());
    p += channel.size();
    *p++ = ' ';
    if (f.error)
        p = putHex(p, (f.id & 0x1FFFFFFFu) | kErrorFlag, 8);
    else
        p = putHex(p, f.id & 0x7FF, 3);
    *p++ = '#';
    const uint8_t length = std::min<uint8_t>(f.length, 8);
    if (f.remote && !f.error) {
        // As candump writes it: the requested length after the R, none for 0.
        *p++ = 'R';
        if (length > 0)
            *p++ = char('0' + length);
    } else {
        for (uint8_t i = 0; i < length; ++i) {
            *p++ = kHex[f.data[i] >> 4];
            *p++ = kHex[f.data[i] & 0xF];
        }
    }
    *p++ = ' ';
    *p++ = record.sent ? 'T' : 'R';
    *p++ = '\n';
    return size_t(p - out);
}

std::string formatLine(const TraceRecord &record, std::string_view channel)
{
    char buffer[kMaxLine];
    return std::string(buffer, formatLine(record, channel, buffer));
}

ParseResult parseLine(std::string_view line, TraceRecord *record, std::string *channel)
{
    std::string_view rest = trimmed(line);
    if (rest.empty())
        return ParseResult::Blank;
    TraceRecord r;
    const std::string_view stamp = nextField(&rest);
    const std::string_view name = nextField(&rest);
    const std::string_view frame = nextField(&rest);
    const std::string_view direction = nextField(&rest);
    if (!nextField(&rest).empty() || !parseStamp(stamp, &r.wallMicros) || name.empty() || frame.empty())
        return ParseResult::Bad;
    if (direction == "T" || direction == "t")
        r.sent = true;
    else if (!direction.empty() && direction != "R" && direction != "r")
        return ParseResult::Bad;

    const size_t hash = frame.find('#');
    if (hash == std::string_view::npos)
        return ParseResult::Bad;
    const std::string_view idText = frame.substr(0, hash);
    std::string_view data = frame.substr(hash + 1);
    uint32_t id = 0;
    if (!parseHex(idText, &id))
        return ParseResult::Bad;
    if (idText.size() > 3) {
        // Of the extended identifiers only error frames are carried.
        if (!(id & kErrorFlag))
            return ParseResult::Bad;
        r.frame.error = true;
        r.frame.id = id & ~kErrorFlag & 0x1FFFFFFFu;
    } else {
        if (id > 0x7FF)
            return ParseResult::Bad;
        r.frame.id = id;
    }
    if (!data.empty() && (data.front() == 'R' || data.front() == 'r') && !r.frame.error) {
        r.frame.remote = true;
        data.remove_prefix(1);
        // candump may give the requested length after the R.
        if (data.size() > 1 || (data.size() == 1 && (data[0] < '0' || data[0] > '8')))
            return ParseResult::Bad;
        r.frame.length = data.empty() ? 0 : uint8_t(data[0] - '0');
    } else {
        // CAN FD ("##") and odd or long data are not frames of this bus.
        if (data.size() % 2 != 0 || data.size() > 16)
            return ParseResult::Bad;
        r.frame.length = uint8_t(data.size() / 2);
        for (size_t i = 0; i < r.frame.length; ++i) {
            const int high = hexValue(data[2 * i]);
            const int low = hexValue(data[2 * i + 1]);
            if (high < 0 || low < 0)
                return ParseResult::Bad;
            r.frame.data[i] = uint8_t(high << 4 | low);
        }
    }
    *record = r;
    if (channel != nullptr)
        channel->assign(name);
    return ParseResult::Frame;
}

} // namespace qelcopn::trace
