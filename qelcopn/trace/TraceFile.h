// The file edge of the trace formats: a recording of any format read
// frame by frame in chunks (a file of any size takes the same memory), and
// one written under a temporary name and renamed only when complete, so that
// a crash or a full disk never leaves half a file under the name asked for.
#pragma once

#include "trace/TraceFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qelcopn::trace {

class TraceFileReader {
public:
    static constexpr size_t kChunkBytes = 64 * 1024;

    ~TraceFileReader();
    TraceFileReader(const TraceFileReader &) = delete;
    TraceFileReader &operator=(const TraceFileReader &) = delete;

    // 0 when path is a readable file in one of the formats, its format in
    // *format; else an errno code (ENOENT, EACCES, EISDIR, ...) or
    // QELCOPN_ERROR_NOT_A_RECORDING, the reason in words in *message.
    static int check(const std::string &path, TraceFormat *format = nullptr, std::string *message = nullptr);
    // nullptr when check fails, *error (when given) set to its code.
    static std::unique_ptr<TraceFileReader> open(const std::string &path, std::string *message = nullptr,
                                                 int *error = nullptr);

    // The next frame in file order, either direction; false at the end of
    // the file or on a read error.
    bool next(TraceRecord *record);
    // Back to the start, counting afresh.
    bool rewind();

    TraceFormat format() const { return format_; }
    uint64_t skipped() const { return decoder_->skipped(); }
    const char *units() const { return decoder_->units(); }
    const std::string &channel() const { return decoder_->channel(); }
    bool readFailed() const { return readFailed_; }
    uint64_t bytesRead() const { return bytesRead_; }
    uint64_t size() const { return size_; }

private:
    TraceFileReader(int fd, TraceFormat format, uint64_t size);
    bool fill();

    const int fd_;
    const TraceFormat format_;
    const uint64_t size_;
    std::unique_ptr<TraceDecoder> decoder_;
    std::vector<char> chunk_;
    std::vector<TraceRecord> pending_;
    size_t taken_ = 0;
    bool ended_ = false;
    bool readFailed_ = false;
    uint64_t bytesRead_ = 0;
};

class TraceFileWriter {
public:
    // Written in chunks of about this size.
    static constexpr size_t kChunkBytes = 256 * 1024;

    // Nothing appears at path until commit. nullptr when the temporary file
    // cannot be made, with the reason in *message.
    static std::unique_ptr<TraceFileWriter> create(const std::string &path, TraceFormat format,
                                                   std::string_view channel, std::string *message);
    // Leaves no temporary file behind when commit was not reached.
    ~TraceFileWriter();
    TraceFileWriter(const TraceFileWriter &) = delete;
    TraceFileWriter &operator=(const TraceFileWriter &) = delete;

    // False once a write has failed (the rest is not written).
    bool add(const TraceRecord &record);
    // Completes the file and gives it its name; false with the reason.
    bool commit(std::string *message);

    uint64_t frames() const { return frames_; }

private:
    TraceFileWriter(int fd, std::string path, std::unique_ptr<TraceEncoder> encoder);
    bool flush();

    int fd_;
    const std::string path_;
    const std::string temporary_;
    std::unique_ptr<TraceEncoder> encoder_;
    std::string buffer_;
    uint64_t frames_ = 0;
    int error_ = 0;
};

} // namespace qelcopn::trace
