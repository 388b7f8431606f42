// The frames of a candump .log as the library's own parser reads them;
// nothing for a file that cannot be read.
#pragma once

#include "trace/CandumpLine.h"

#include <QFile>

#include <vector>

inline std::vector<trace::TraceRecord> ReadTraceLog(const QString &path)
{
    std::vector<trace::TraceRecord> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray &line : file.readAll().split('\n')) {
        trace::TraceRecord r;
        if (trace::parseLine(line.toStdString(), &r) == trace::ParseResult::Frame)
            records.push_back(r);
    }
    return records;
}
