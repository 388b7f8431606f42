// One frame as a line of can-utils' candump log, both ways, without I/O:
//   (1733750000.123456) can0 487#0001420200DC0500 R
// Wall-clock seconds with 6 decimals, the channel, the identifier (3 hex
// digits; 8 with the error flag for an error frame), the data in upper-case
// hex ("R" and its length for a remote frame: "R4", "R" for length 0), then
// R for received or T for sent.
#pragma once

#include "protocol/CanFrame.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelcopn::trace {

// The error flag of a candump identifier (SocketCAN's CAN_ERR_FLAG).
constexpr uint32_t kErrorFlag = 0x20000000u;
// Long enough for any line formatLine writes with a channel of up to
// kMaxChannel characters, newline included.
constexpr size_t kMaxChannel = 64;
constexpr size_t kMaxLine = 128;

struct TraceRecord {
    CanFrame frame;
    int64_t wallMicros = 0; // since the Unix epoch
    bool sent = false;
};

// Writes the line and its newline into out (at least kMaxLine bytes) and
// returns its length. A longer channel is cut to kMaxChannel characters.
size_t formatLine(const TraceRecord &record, std::string_view channel, char *out);
std::string formatLine(const TraceRecord &record, std::string_view channel);

enum class ParseResult {
    Frame,   // record holds the line's frame
    Blank,   // nothing on the line
    Bad,     // garbage, truncated, or a frame this library does not carry
};
// Reads one line (with or without its newline). Lines without a direction,
// as other tools write them, are taken as received. channel, when given,
// gets the line's channel name.
ParseResult parseLine(std::string_view line, TraceRecord *record, std::string *channel = nullptr);

} // namespace qelcopn::trace
