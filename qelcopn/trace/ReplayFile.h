// A recording read back frame by frame, as a replay needs it: any of the
// trace formats, told apart by content; streamed (a recording of hundreds
// of megabytes is never held in memory); what cannot be read skipped and
// counted; and only what the recording's host received handed out.
#pragma once

#include "trace/TraceFile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qelcopn::trace {

class ReplayFile {
public:
    // 0 when path is an absolute path of a readable recording; else an
    // errno code (ENOENT, EACCES, EISDIR, ...) or QELCOPN_ERROR_NOT_A_RECORDING,
    // with the reason in words in *message when given.
    static int check(const std::string &path, std::string *message = nullptr);
    // nullptr when check fails.
    static std::unique_ptr<ReplayFile> open(const std::string &path, std::string *message = nullptr);

    // The next frame the recording's host received, in file order; false at
    // the end of the file or on a read error. Frames the host sent are
    // passed over: they were never received, and a replay's host sends its
    // own.
    bool next(TraceRecord *record);
    // Back to the first frame, for another pass; what was skipped is
    // counted once.
    bool rewind();

    TraceFormat format() const { return reader_->format(); }
    // Lines (or, of a BLF, damaged parts) that were not frames.
    uint64_t badLines() const { return badLines_; }
    const char *badUnits() const { return reader_->units(); }
    uint64_t sentSkipped() const { return sentSkipped_; }
    bool readFailed() const { return reader_->readFailed(); }

private:
    explicit ReplayFile(std::unique_ptr<TraceFileReader> reader) : reader_(std::move(reader)) {}

    std::unique_ptr<TraceFileReader> reader_;
    bool firstPass_ = true;
    uint64_t badLines_ = 0;
    uint64_t sentSkipped_ = 0;
};

} // namespace qelcopn::trace
