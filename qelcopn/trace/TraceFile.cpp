#include "trace/TraceFile.h"

#include "QEL_COPN.h"
#include "trace/TraceFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qelcopn::trace {

namespace {

void say(std::string *message, const std::string &text)
{
    if (message != nullptr)
        *message = text;
}

std::string failure(const std::string &what, const std::string &path, int error)
{
    return what + " '" + path + "': " + std::strerror(error);
}

} // namespace

TraceFileReader::TraceFileReader(int fd, TraceFormat format, uint64_t size)
    : fd_(fd)
    , format_(format)
    , size_(size)
    , decoder_(makeDecoder(format))
    , chunk_(kChunkBytes)
{
}

TraceFileReader::~TraceFileReader()
{
    ::close(fd_);
}

int TraceFileReader::check(const std::string &path, TraceFormat *format, std::string *message)
{
    int error = 0;
    const std::unique_ptr<TraceFileReader> reader = open(path, message, &error);
    if (reader && format != nullptr)
        *format = reader->format();
    return error;
}

std::unique_ptr<TraceFileReader> TraceFileReader::open(const std::string &path, std::string *message, int *error)
{
    auto fail = [&](int code, const std::string &text) {
        say(message, text);
        if (error != nullptr)
            *error = code;
        return nullptr;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno, failure("cannot open", path, errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(EISDIR, "'" + path + "' is not a file");
    }
    std::string head(kDetectBytes, '\0');
    ssize_t got = 0;
    while (size_t(got) < head.size()) {
        const ssize_t n = ::pread(fd, head.data() + got, head.size() - size_t(got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            ::close(fd);
            return fail(code, failure("cannot read", path, code));
        }
        if (n == 0)
            break;
        got += n;
    }
    head.resize(size_t(got));
    const std::optional<TraceFormat> format = detectFormat(head);
    if (!format) {
        ::close(fd);
        return fail(int(QELCOPN_ERROR_NOT_A_RECORDING),
                    "'" + path + "' is not a candump log, nor a Vector ASC or BLF or a PEAK TRC trace");
    }
    return std::unique_ptr<TraceFileReader>(new TraceFileReader(fd, *format, uint64_t(info.st_size)));
}

bool TraceFileReader::fill()
{
    pending_.clear();
    taken_ = 0;
    while (pending_.empty() && !ended_) {
        const ssize_t n = ::read(fd_, chunk_.data(), chunk_.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            readFailed_ = n < 0;
            ended_ = true;
            decoder_->finish(&pending_);
            break;
        }
        bytesRead_ += uint64_t(n);
        decoder_->feed(chunk_.data(), size_t(n), &pending_);
    }
    return !pending_.empty();
}

bool TraceFileReader::next(TraceRecord *record)
{
    if (taken_ == pending_.size() && !fill())
        return false;
    *record = pending_[taken_++];
    return true;
}

bool TraceFileReader::rewind()
{
    if (::lseek(fd_, 0, SEEK_SET) != 0)
        return false;
    decoder_ = makeDecoder(format_);
    pending_.clear();
    taken_ = 0;
    ended_ = false;
    readFailed_ = false;
    bytesRead_ = 0;
    return true;
}

TraceFileWriter::TraceFileWriter(int fd, std::string path, std::unique_ptr<TraceEncoder> encoder)
    : fd_(fd)
    , path_(std::move(path))
    , temporary_(path_ + ".tmp")
    , encoder_(std::move(encoder))
{
    buffer_.reserve(kChunkBytes + 4096);
}

std::unique_ptr<TraceFileWriter> TraceFileWriter::create(const std::string &path, TraceFormat format,
                                                         std::string_view channel, std::string *message)
{
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        say(message, failure("cannot write", path, errno));
        return nullptr;
    }
    return std::unique_ptr<TraceFileWriter>(new TraceFileWriter(fd, path, makeEncoder(format, channel)));
}

TraceFileWriter::~TraceFileWriter()
{
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
    }
}

bool TraceFileWriter::flush()
{
    if (error_ == 0 && !buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size()))
        error_ = errno;
    buffer_.clear();
    return error_ == 0;
}

bool TraceFileWriter::add(const TraceRecord &record)
{
    if (error_ != 0)
        return false;
    encoder_->add(record, &buffer_);
    ++frames_;
    return buffer_.size() < kChunkBytes || flush();
}

bool TraceFileWriter::commit(std::string *message)
{
    encoder_->finish(&buffer_);
    const std::string head = encoder_->finalHead();
    bool ok = flush();
    if (ok && !head.empty()) {
        ok = ::pwrite(fd_, head.data(), head.size(), 0) == ssize_t(head.size());
        if (!ok)
            error_ = errno != 0 ? errno : EIO;
    }
    if (ok && ::fsync(fd_) != 0) {
        ok = false;
        error_ = errno;
    }
    if (::close(fd_) != 0 && ok) {
        ok = false;
        error_ = errno;
    }
    fd_ = -1;
    if (ok && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        ok = false;
        error_ = errno;
    }
    if (!ok) {
        ::unlink(temporary_.c_str());
        say(message, failure("cannot write", path_, error_));
    }
    return ok;
}

} // namespace qelcopn::trace
