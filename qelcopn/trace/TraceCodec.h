// What every trace format's unit offers, without I/O: an encoder turns
// records into the bytes of a file, a decoder turns a file's bytes, fed in
// chunks of any size, back into records. The file edge (TraceFileReader,
// TraceFileWriter) does the reading and writing.
#pragma once

#include "trace/CandumpLine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qelcopn::trace {

class TraceEncoder {
public:
    virtual ~TraceEncoder() = default;
    // Appends the record's bytes (and, before the first, the file's head).
    virtual void add(const TraceRecord &record, std::string *out) = 0;
    // Appends what closes the file.
    virtual void finish(std::string *out) = 0;
    // Bytes that replace the start of the file once everything is written
    // (a binary header that counts what follows); empty when none.
    virtual std::string finalHead() const { return {}; }
};

class TraceDecoder {
public:
    virtual ~TraceDecoder() = default;
    // The next bytes of the file; the records they complete go to out.
    virtual void feed(const char *data, size_t size, std::vector<TraceRecord> *out) = 0;
    // The file ended: a part left incomplete is counted as skipped.
    virtual void finish(std::vector<TraceRecord> *out) = 0;
    // What could not be read as a frame this library carries, counted in
    // units() ("lines", "damaged parts").
    uint64_t skipped() const { return skipped_; }
    virtual const char *units() const = 0;
    // The channel name the file gives its frames, "can0" when it has none.
    const std::string &channel() const { return channel_; }

protected:
    uint64_t skipped_ = 0;
    std::string channel_ = "can0";
};

// A decoder of a line-oriented text format: splits the bytes into lines
// (a line longer than kMaxLineRead, or a last one without its newline, is
// counted as skipped) and hands each whole line to readLine.
class LineDecoder : public TraceDecoder {
public:
    static constexpr size_t kMaxLineRead = 512;

    void feed(const char *data, size_t size, std::vector<TraceRecord> *out) final;
    void finish(std::vector<TraceRecord> *out) final;
    const char *units() const final { return "lines"; }

protected:
    enum class Line { Frame, Other, Bad };
    // One line without its newline (a trailing CR removed).
    virtual Line readLine(std::string_view line, TraceRecord *record) = 0;

private:
    void take(std::string_view line, std::vector<TraceRecord> *out);

    std::string partial_;
    bool overlong_ = false;
};

} // namespace qelcopn::trace
