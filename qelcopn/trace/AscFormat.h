// Vector's ASC trace, as CANoe, CANalyzer, python-can and can-utils'
// asc2log read it:
//   date Thu Dec 10 12:12:38.123 pm 2026
//   base hex  timestamps absolute
//   internal events logged
//   Begin Triggerblock Thu Dec 10 12:12:38.123 pm 2026
//      0.000000 Start of measurement
//      0.001000 1  487             Rx   d 8 00 01 42 02 00 DC 05 00
//      0.002500 1  123             Tx   r 4
//      0.003000 1  ErrorFrame
//   End TriggerBlock
// Times are seconds since the trigger block's start, a local time with
// milliseconds: the writer starts it at the first frame's millisecond, so
// every frame keeps its microseconds. An error frame says no more than
// that it happened: it reads back as a bus error (CAN_ERR_BUSERROR) with
// eight zero bytes, as asc2log has it.
#pragma once

#include "trace/TraceCodec.h"

namespace qelcopn::trace {

class AscEncoder : public TraceEncoder {
public:
    void add(const TraceRecord &record, std::string *out) override;
    void finish(std::string *out) override;

private:
    void head(int64_t startMicros, std::string *out);

    bool started_ = false;
    int64_t startMicros_ = 0;
};

class AscDecoder : public LineDecoder {
protected:
    Line readLine(std::string_view line, TraceRecord *record) override;

private:
    Line readEvent(int64_t micros, std::string_view rest, TraceRecord *record);

    int base_ = 16;
    bool relative_ = false;
    int64_t startMicros_ = 0;
    int64_t lastMicros_ = 0;
};

// The date of ASC's "date" and "Begin Triggerblock" lines, written and read
// ("Thu Dec 10 12:12:38.123 pm 2026"; read also with a 24-hour clock and
// without milliseconds).
std::string ascDate(int64_t wallMicros);
bool parseAscDate(std::string_view text, int64_t *wallMicros);

} // namespace qelcopn::trace
