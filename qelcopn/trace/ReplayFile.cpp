#include "trace/ReplayFile.h"

#include <cerrno>

namespace qelcopn::trace {

int ReplayFile::check(const std::string &path, std::string *message)
{
    if (path.empty() || path.front() != '/') {
        if (message != nullptr)
            *message = "'" + path + "' is not an absolute path";
        return ENOENT;
    }
    return TraceFileReader::check(path, nullptr, message);
}

std::unique_ptr<ReplayFile> ReplayFile::open(const std::string &path, std::string *message)
{
    if (check(path, message) != 0)
        return nullptr;
    std::unique_ptr<TraceFileReader> reader = TraceFileReader::open(path, message);
    if (!reader)
        return nullptr;
    return std::unique_ptr<ReplayFile>(new ReplayFile(std::move(reader)));
}

bool ReplayFile::next(TraceRecord *record)
{
    bool got;
    while ((got = reader_->next(record)) && record->sent)
        if (firstPass_)
            ++sentSkipped_;
    if (firstPass_)
        badLines_ = reader_->skipped();
    return got;
}

bool ReplayFile::rewind()
{
    firstPass_ = false;
    return reader_->rewind();
}

} // namespace qelcopn::trace
