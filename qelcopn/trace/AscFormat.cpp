#include "trace/AscFormat.h"

#include "trace/LocalTime.h"
#include "trace/TextFields.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace qelcopn::trace {

namespace {

using text::nextField;
using text::putDecimal;
using text::putHex;

// SocketCAN's class of an error frame ASC tells nothing more about.
constexpr uint32_t kBusError = 0x80;

bool sameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "   0.001000": seconds with six decimals, right-aligned to 11 characters.
char *putSeconds(char *p, int64_t micros)
{
    char digits[32];
    char *d = putDecimal(digits, uint64_t(micros / 1000000));
    *d++ = '.';
    d = putDecimal(d, uint64_t(micros % 1000000), 6);
    for (long pad = 11 - (d - digits); pad > 0; --pad)
        *p++ = ' ';
    return std::copy(digits, d, p);
}

bool parseNumber(std::string_view s, int base, uint32_t *value)
{
    return base == 16 ? text::parseHex(s, value) : text::parseDecimal(s, value);
}

} // namespace

std::string ascDate(int64_t wallMicros)
{
    const LocalTime t = localTimeOf(wallMicros);
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char out[64];
    std::snprintf(out, sizeof out, "%s %s %d %02d:%02d:%02d.%03d %s %d", weekdayName(t.weekday), monthName(t.month),
                  t.day, hour12, t.minute, t.second, t.micros / 1000, t.hour < 12 ? "am" : "pm", t.year);
    return out;
}

bool parseAscDate(std::string_view rest, int64_t *wallMicros)
{
    LocalTime t;
    std::string_view field = nextField(&rest);
    t.month = monthByName(field);
    if (t.month == 0) { // a weekday first
        field = nextField(&rest);
        t.month = monthByName(field);
    }
    uint32_t day = 0, hour = 0, minute = 0, year = 0;
    int64_t millis = 0;
    const std::string_view dayText = nextField(&rest);
    const std::string_view clock = nextField(&rest);
    std::string_view next = nextField(&rest);
    int half = 0; // 1 am, 2 pm
    if (sameWord(next, "am") || sameWord(next, "pm")) {
        half = sameWord(next, "am") ? 1 : 2;
        next = nextField(&rest);
    }
    if (t.month == 0 || !text::parseDecimal(dayText, &day) || !text::parseDecimal(next, &year)
        || !nextField(&rest).empty() || clock.size() < 8 || clock[2] != ':' || clock[5] != ':'
        || !text::parseDecimal(clock.substr(0, 2), &hour) || !text::parseDecimal(clock.substr(3, 2), &minute)
        || !text::parseFixed(clock.substr(6), 1000, &millis))
        return false;
    if (half != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (half == 2 ? 12 : 0);
    }
    t.day = int(day);
    t.year = int(year);
    t.hour = int(hour);
    t.minute = int(minute);
    t.second = int(millis / 1000);
    t.micros = int(millis % 1000) * 1000;
    const std::optional<int64_t> micros = wallMicrosOf(t);
    if (!micros)
        return false;
    *wallMicros = *micros;
    return true;
}

void AscEncoder::head(int64_t startMicros, std::string *out)
{
    started_ = true;
    // The header's dates carry milliseconds only.
    startMicros_ = startMicros - (startMicros % 1000 + 1000) % 1000;
    const std::string date = ascDate(startMicros_);
    out->append("date " + date + "\nbase hex  timestamps absolute\ninternal events logged\n");
    out->append("Begin Triggerblock " + date + "\n");
    out->append("   0.000000 Start of measurement\n");
}

void AscEncoder::add(const TraceRecord &record, std::string *out)
{
    if (!started_)
        head(record.wallMicros, out);
    const CanFrame &f = record.frame;
    char line[128];
    char *p = putSeconds(line, std::max<int64_t>(record.wallMicros - startMicros_, 0));
    p = std::copy_n(" 1  ", 4, p);
    if (f.error) {
        p = std::copy_n("ErrorFrame", 10, p);
    } else {
        char *const idStart = p;
        p = putHex(p, f.id & 0x7FF, f.id > 0xFF ? 3 : f.id > 0xF ? 2 : 1);
        p = text::padTo(p, idStart, 16);
        p = std::copy_n(record.sent ? "Tx   " : "Rx   ", 5, p);
        const uint8_t length = std::min<uint8_t>(f.length, 8);
        *p++ = f.remote ? 'r' : 'd';
        *p++ = ' ';
        *p++ = text::kHexDigits[length];
        if (!f.remote) {
            for (uint8_t i = 0; i < length; ++i) {
                *p++ = ' ';
                p = putHex(p, f.data[i], 2);
            }
        }
    }
    *p++ = '\n';
    out->append(line, size_t(p - line));
}

void AscEncoder::finish(std::string *out)
{
    if (!started_)
        head(0, out);
    out->append("End TriggerBlock\n");
}

LineDecoder::Line AscDecoder::readLine(std::string_view line, TraceRecord *record)
{
    std::string_view rest = text::trimmed(line);
    if (rest.empty() || rest.substr(0, 2) == "//")
        return Line::Other;
    std::string_view rest2 = rest;
    const std::string_view first = nextField(&rest2);
    if (!first.empty() && first[0] >= '0' && first[0] <= '9') {
        int64_t micros = 0;
        if (!text::parseFixed(first, 1000000, &micros))
            return Line::Bad;
        return readEvent(micros, rest2, record);
    }
    if (sameWord(first, "date")) {
        int64_t start = 0;
        if (!parseAscDate(rest2, &start))
            return Line::Bad;
        startMicros_ = start;
        return Line::Other;
    }
    if (sameWord(first, "base")) {
        const std::string_view base = nextField(&rest2);
        if (sameWord(base, "hex"))
            base_ = 16;
        else if (sameWord(base, "dec"))
            base_ = 10;
        else
            return Line::Bad;
        if (sameWord(nextField(&rest2), "timestamps"))
            relative_ = sameWord(nextField(&rest2), "relative");
        return Line::Other;
    }
    if (sameWord(first, "begin")) {
        if (!sameWord(nextField(&rest2), "triggerblock"))
            return Line::Bad;
        int64_t start = 0;
        // Times count from the trigger block's own start where it has one.
        if (!text::trimmed(rest2).empty()) {
            if (!parseAscDate(rest2, &start))
                return Line::Bad;
            startMicros_ = start;
        }
        lastMicros_ = 0;
        return Line::Other;
    }
    if (sameWord(first, "end") || sameWord(first, "internal") || sameWord(first, "no"))
        return Line::Other;
    return Line::Bad;
}

LineDecoder::Line AscDecoder::readEvent(int64_t micros, std::string_view rest, TraceRecord *record)
{
    // Each step is at most 10^12 s: a thousand of them cannot overflow.
    if (relative_)
        micros = std::min<int64_t>(micros + lastMicros_, int64_t(1) << 60);
    lastMicros_ = micros;
    const std::string_view channel = nextField(&rest);
    if (sameWord(channel, "CANFD"))
        return Line::Bad; // a frame, but not one of this bus
    uint32_t number = 0;
    if (!text::parseDecimal(channel, &number))
        return Line::Other; // statistics, markers, "Start of measurement"
    TraceRecord r;
    r.wallMicros = startMicros_ + micros;
    const std::string_view id = nextField(&rest);
    if (sameWord(id, "ErrorFrame")) {
        r.frame.error = true;
        r.frame.id = kBusError;
        r.frame.length = 8;
        *record = r;
        return Line::Frame;
    }
    const std::string_view direction = nextField(&rest);
    if (direction != "Rx" && direction != "Tx")
        return Line::Other; // a transmit request, a chip state, ...
    r.sent = direction == "Tx";
    uint32_t value = 0;
    // Extended identifiers ("1ABx") are not frames of this bus.
    if (!parseNumber(id, base_, &value) || value > 0x7FF)
        return Line::Bad;
    r.frame.id = value;
    const std::string_view kind = nextField(&rest);
    const std::string_view dlcText = nextField(&rest);
    uint32_t dlc = 0;
    // Writers before CANoe 8.5 give a remote frame no length.
    const bool noLength = dlcText.empty() && sameWord(kind, "r");
    if (!noLength && (!parseNumber(dlcText, base_, &dlc) || dlc > 15))
        return Line::Bad;
    if (sameWord(kind, "r")) {
        if (dlc > 8)
            return Line::Bad;
        r.frame.remote = true;
        r.frame.length = uint8_t(dlc);
    } else if (sameWord(kind, "d")) {
        r.frame.length = uint8_t(std::min<uint32_t>(dlc, 8));
        for (uint8_t i = 0; i < r.frame.length; ++i) {
            uint32_t byte = 0;
            if (!parseNumber(nextField(&rest), base_, &byte) || byte > 0xFF)
                return Line::Bad;
            r.frame.data[i] = uint8_t(byte);
        }
    } else {
        return Line::Bad;
    }
    // What may follow the data (length, bit count, ID name) is not needed.
    *record = r;
    return Line::Frame;
}

} // namespace qelcopn::trace
