#include "trace/TraceCodec.h"

namespace qelcopn::trace {

void LineDecoder::feed(const char *data, size_t size, std::vector<TraceRecord> *out)
{
    std::string_view rest(data, size);
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        const std::string_view piece = rest.substr(0, newline);
        if (!overlong_ && partial_.size() + piece.size() <= kMaxLineRead) {
            if (newline != std::string_view::npos && partial_.empty())
                take(piece, out); // the common case: no copy
            else
                partial_.append(piece);
        } else {
            overlong_ = true;
            partial_.clear();
        }
        if (newline == std::string_view::npos)
            return;
        if (overlong_)
            ++skipped_;
        else if (!partial_.empty())
            take(partial_, out);
        partial_.clear();
        overlong_ = false;
        rest.remove_prefix(newline + 1);
    }
}

void LineDecoder::finish(std::vector<TraceRecord> *)
{
    // A recording cut off while being written ends mid-line: its data
    // would read short, so the line is not taken.
    if (overlong_ || !partial_.empty())
        ++skipped_;
    partial_.clear();
    overlong_ = false;
}

void LineDecoder::take(std::string_view line, std::vector<TraceRecord> *out)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    TraceRecord record;
    switch (readLine(line, &record)) {
    case Line::Frame: out->push_back(record); break;
    case Line::Bad: ++skipped_; break;
    case Line::Other: break;
    }
}

} // namespace qelcopn::trace
