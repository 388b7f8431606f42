// The frames of a candump .log as the library's own parser reads them;
// nothing for a file that cannot be read.
#pragma once

#include "trace/CandumpLine.h"

#include <QFile>

#include <vector>

inline std::vector<qelcopn::trace::TraceRecord> ReadTraceLog(const QString &path)
{
    std::vector<qelcopn::trace::TraceRecord> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray &line : file.readAll().split('\n')) {
        qelcopn::trace::TraceRecord r;
        if (qelcopn::trace::parseLine(line.toStdString(), &r) == qelcopn::trace::ParseResult::Frame)
            records.push_back(r);
    }
    return records;
}
