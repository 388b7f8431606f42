// A candump log read back frame by frame, as a replay needs it: streamed
// (a recording of hundreds of megabytes is never held in memory), lines
// that are not frames skipped and counted, and only what the recording's
// host received handed out.
#pragma once

#include "trace/CandumpLine.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qelcopn::trace {

class ReplayFile {
public:
    // Lines longer than this are not candump lines of a classic CAN frame.
    static constexpr size_t kMaxLineRead = 512;
    // How many non-blank lines at the head of a file decide whether it is
    // a candump log.
    static constexpr int kLinesChecked = 8;

    ~ReplayFile();
    ReplayFile(const ReplayFile &) = delete;
    ReplayFile &operator=(const ReplayFile &) = delete;

    // 0 when path is an absolute path of a readable candump log; else an
    // errno code (ENOENT, EACCES, EISDIR, ...) or QELCOPN_ERROR_NOT_A_RECORDING,
    // with the reason in words in *message when given.
    static int check(const std::string &path, std::string *message = nullptr);
    // nullptr when check fails.
    static std::unique_ptr<ReplayFile> open(const std::string &path, std::string *message = nullptr);

    // The next frame the recording's host received, in file order; false at
    // the end of the file or on a read error. Frames the host sent ("T")
    // are passed over: they were never received, and a replay's host sends
    // its own.
    bool next(TraceRecord *record);
    // Back to the first line, for another pass; bad lines are counted once.
    bool rewind();

    uint64_t badLines() const { return badLines_; }
    uint64_t sentSkipped() const { return sentSkipped_; }
    bool readFailed() const { return readFailed_; }

private:
    explicit ReplayFile(std::FILE *file) : file_(file) {}
    // One line without its newline; false at the end. *complete is false
    // for a line that was cut (too long, or the last one without its
    // newline, as a recording cut off while being written leaves it).
    bool readLine(std::string *line, bool *complete);

    std::FILE *file_;
    std::string line_; // kept: no allocation per frame
    bool firstPass_ = true;
    bool readFailed_ = false;
    uint64_t badLines_ = 0;
    uint64_t sentSkipped_ = 0;
};

} // namespace qelcopn::trace
