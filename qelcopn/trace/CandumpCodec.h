// The candump log as a trace format: each record one CandumpLine line.
#pragma once

#include "trace/TraceCodec.h"

namespace qelcopn::trace {

class CandumpEncoder : public TraceEncoder {
public:
    explicit CandumpEncoder(std::string_view channel) : channel_(channel) {}
    void add(const TraceRecord &record, std::string *out) override;
    void finish(std::string *) override {}

private:
    std::string channel_;
};

class CandumpDecoder : public LineDecoder {
protected:
    Line readLine(std::string_view line, TraceRecord *record) override;

private:
    bool channelTaken_ = false;
    std::string lineChannel_;
};

} // namespace qelcopn::trace
