#include "trace/ReplayFile.h"

#include "QEL_COPN.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace qelcopn::trace {

namespace {

void say(std::string *message, const std::string &text)
{
    if (message != nullptr)
        *message = text;
}

// Most of the first lines must be frames: a foreign text file may hold one
// line that happens to parse, a recording an odd damaged one.
bool looksLikeCandump(std::FILE *file)
{
    char buffer[ReplayFile::kMaxLineRead];
    int frames = 0, bad = 0;
    while (frames + bad < ReplayFile::kLinesChecked && std::fgets(buffer, sizeof buffer, file) != nullptr) {
        TraceRecord record;
        switch (parseLine(buffer, &record)) {
        case ParseResult::Frame: ++frames; break;
        case ParseResult::Bad: ++bad; break;
        case ParseResult::Blank: break;
        }
        // The rest of an overlong line is not a line of its own.
        if (std::strchr(buffer, '\n') == nullptr) {
            int c;
            while ((c = std::fgetc(file)) != EOF && c != '\n') {
            }
        }
    }
    return frames > bad;
}

} // namespace

ReplayFile::~ReplayFile()
{
    std::fclose(file_);
}

int ReplayFile::check(const std::string &path, std::string *message)
{
    std::FILE *file = nullptr;
    const int error = [&] {
        if (path.empty() || path.front() != '/') {
            say(message, "'" + path + "' is not an absolute path");
            return ENOENT;
        }
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            const int code = errno;
            say(message, "cannot open '" + path + "': " + std::strerror(code));
            return code;
        }
        if (!S_ISREG(info.st_mode)) {
            say(message, "'" + path + "' is not a file");
            return EISDIR;
        }
        file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            const int code = errno;
            say(message, "cannot open '" + path + "': " + std::strerror(code));
            return code;
        }
        if (!looksLikeCandump(file)) {
            say(message, "'" + path + "' is not a candump log");
            return int(QELCOPN_ERROR_NOT_A_RECORDING);
        }
        return 0;
    }();
    if (file != nullptr)
        std::fclose(file);
    return error;
}

std::unique_ptr<ReplayFile> ReplayFile::open(const std::string &path, std::string *message)
{
    if (check(path, message) != 0)
        return nullptr;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        say(message, "cannot open '" + path + "': " + std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<ReplayFile>(new ReplayFile(file));
}

bool ReplayFile::readLine(std::string *line, bool *complete)
{
    char buffer[kMaxLineRead];
    line->clear();
    *complete = true;
    bool any = false;
    while (std::fgets(buffer, sizeof buffer, file_) != nullptr) {
        any = true;
        const size_t length = std::strlen(buffer);
        if (length > 0 && buffer[length - 1] == '\n') {
            if (line->size() + length <= kMaxLineRead)
                line->append(buffer, length - 1);
            else
                *complete = false;
            return true;
        }
        if (line->size() + length <= kMaxLineRead)
            line->append(buffer, length);
        else
            *complete = false;
    }
    if (std::ferror(file_))
        readFailed_ = true;
    // Text after the last newline: the recording ended mid-line.
    if (any)
        *complete = false;
    return any && !readFailed_;
}

bool ReplayFile::next(TraceRecord *record)
{
    bool complete = true;
    while (readLine(&line_, &complete)) {
        const ParseResult result = complete ? parseLine(line_, record) : ParseResult::Bad;
        if (result == ParseResult::Frame && !record->sent)
            return true;
        if (!firstPass_)
            continue;
        if (result == ParseResult::Bad)
            ++badLines_;
        else if (result == ParseResult::Frame)
            ++sentSkipped_;
    }
    return false;
}

bool ReplayFile::rewind()
{
    firstPass_ = false;
    std::clearerr(file_);
    readFailed_ = false;
    return std::fseek(file_, 0, SEEK_SET) == 0;
}

} // namespace qelcopn::trace
