// The small pieces every text trace format is written and read with:
// digits out without printf, fields split on blanks, hex and decimal in.
#pragma once

#include <cstdint>
#include <string_view>

namespace qelcopn::trace::text {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// value in at least minDigits decimal digits (leading zeros).
inline char *putDecimal(char *out, uint64_t value, int minDigits = 1)
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

inline char *putHex(char *out, uint32_t value, int digits)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        *out++ = kHexDigits[(value >> shift) & 0xF];
    return out;
}

// Spaces up to width characters written since lineStart.
inline char *padTo(char *out, const char *lineStart, long width)
{
    while (out - lineStart < width)
        *out++ = ' ';
    return out;
}

inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits off the next run of non-space characters.
inline std::string_view nextField(std::string_view *rest)
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

// Up to 8 hex digits, nothing else.
inline bool parseHex(std::string_view s, uint32_t *value)
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

// Up to 9 decimal digits, nothing else.
inline bool parseDecimal(std::string_view s, uint32_t *value)
{
    if (s.empty() || s.size() > 9)
        return false;
    uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + uint32_t(c - '0');
    }
    *value = v;
    return true;
}

// "whole.fraction" (no sign) in units of 1/scale (scale a power of ten):
// digits of the fraction finer than that are dropped. Up to 12 whole digits.
inline bool parseFixed(std::string_view s, int64_t scale, int64_t *value)
{
    const size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (whole.empty() || whole.size() > 12)
        return false;
    int64_t w = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return false;
        w = w * 10 + (c - '0');
    }
    if (w > (INT64_MAX - scale) / scale)
        return false;
    int64_t part = 0;
    int64_t unit = scale;
    for (char c : fraction) {
        if (c < '0' || c > '9')
            return false;
        if (unit >= 10) {
            unit /= 10;
            part += (c - '0') * unit;
        }
    }
    *value = w * scale + part;
    return true;
}

} // namespace qelcopn::trace::text
