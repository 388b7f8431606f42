#include "trace/CandumpLine.h"

#include "trace/TextFields.h"

#include <algorithm>
#include <cstring>

namespace qelcopn::trace {

namespace {

using text::hexValue;
using text::nextField;
using text::parseHex;
using text::putDecimal;
using text::putHex;
using text::trimmed;
constexpr const char *kHex = text::kHexDigits;

// "(seconds.fraction)" into µs; a fraction of any length is taken to µs.
bool parseStamp(std::string_view field, int64_t *micros)
{
    if (field.size() < 3 || field.front() != '(' || field.back() != ')')
        return false;
    return text::parseFixed(field.substr(1, field.size() - 2), 1000000, micros);
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
