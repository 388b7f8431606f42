#include "trace/CandumpCodec.h"

namespace qelcopn::trace {

void CandumpEncoder::add(const TraceRecord &record, std::string *out)
{
    char line[kMaxLine];
    out->append(line, formatLine(record, channel_, line));
}

LineDecoder::Line CandumpDecoder::readLine(std::string_view line, TraceRecord *record)
{
    switch (parseLine(line, record, channelTaken_ ? nullptr : &lineChannel_)) {
    case ParseResult::Frame:
        if (!channelTaken_) {
            channel_ = lineChannel_;
            channelTaken_ = true;
        }
        return Line::Frame;
    case ParseResult::Blank: return Line::Other;
    case ParseResult::Bad: break;
    }
    return Line::Bad;
}

} // namespace qelcopn::trace
