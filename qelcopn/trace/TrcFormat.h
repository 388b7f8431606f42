// PEAK's TRC trace, version 2.1, as PCAN-View and python-can read it:
//   ;$FILEVERSION=2.1
//   ;$STARTTIME=46366.5087731481
//   ;$COLUMNS=N,O,T,B,I,d,R,L,D
//   ;   (comments: the bus and the columns)
//         1         1.000 DT 1      0487 Rx -  8    00 01 42 02 00 DC 05 00
//         2         2.500 RR 1      0123 Tx -  4
//         3         3.000 ER 1         - Rx -  5    04 01 0A 00 60
// $STARTTIME is a local date and time in days since 30 December 1899 (ten
// decimals: 8.64 µs), the offsets milliseconds since it with microseconds.
// The writer takes the start from the first frame and each offset from the
// start as written, so every frame keeps its microseconds. Error frames go
// as PEAK defines them (error type, direction, position, receive and
// transmit error counters): what SocketCAN's frame says beyond that is lost,
// and an error frame reads back as a protocol violation (CAN_ERR_PROT).
// Lines are ended with CR LF. Reading takes the columns $COLUMNS names,
// and version 1.x files ("1)  1841.0  Rx  0001  8  ...") too.
#pragma once

#include "trace/TraceCodec.h"

#include <optional>

namespace qelcopn::trace {

class TrcEncoder : public TraceEncoder {
public:
    explicit TrcEncoder(std::string_view channel) : channel_(channel) {}
    void add(const TraceRecord &record, std::string *out) override;
    void finish(std::string *out) override;

private:
    void head(int64_t startMicros, std::string *out);

    std::string channel_;
    bool started_ = false;
    int64_t startMicros_ = 0;
    uint64_t number_ = 0;
};

class TrcDecoder : public LineDecoder {
protected:
    Line readLine(std::string_view line, TraceRecord *record) override;

private:
    Line readHeader(std::string_view line);
    Line readVersion1(std::string_view line, TraceRecord *record);

    std::string columns_ = "NOTBIdRLD";
    int64_t startMicros_ = 0;
};

// $STARTTIME's value both ways; the text written is the one read back.
std::string trcStartTime(int64_t wallMicros);
std::optional<int64_t> parseTrcStartTime(std::string_view text);

} // namespace qelcopn::trace
