// Emergency reports with a receive stamp of a test's choosing, and a
// spreadsheet's reading of a CSV file (Python's csv module).
#pragma once

#include "MonitorTestSupport.h"
#include "Platform.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <ostream>

// Failures print texts, not the bytes of QChars.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace monitor_test {

inline void ReportFault(TMonitorModel &model, uint16_t code, bool active, uint32_t rxTime)
{
    model.DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, code, active ? 1 : 0).data(), rxTime);
}

inline void ReportMtu(TMonitorModel &model, bool online, uint32_t rxTime)
{
    model.DecodeEmergency(GATEWAY_NODE, Emergency(online ? 0x0000 : 0xFF00, 0).data(), rxTime);
}

// The records of a CSV file as Python's csv module reads it (UTF-8, as a
// spreadsheet is told to); a field that holds an ISO 8601 time comes back as
// its milliseconds since the epoch, so a test compares instants, not texts.
inline QList<QStringList> ReadCsvWithPython(const QString &path)
{
    static const char *const script = R"(
import csv, datetime, json, sys
rows = []
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    for record in csv.reader(f, strict=True):
        out = []
        for field in record:
            try:
                when = datetime.datetime.fromisoformat(field)
                field = 'ms:%d' % round(when.timestamp() * 1000) if when.tzinfo else field
            except ValueError:
                pass
            out.append(field)
        rows.append(out)
json.dump(rows, sys.stdout)
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path});
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QList<QStringList> rows;
    for (const QJsonValue &record : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue &field : record.toArray())
            fields << field.toString();
        rows << fields;
    }
    return rows;
}

} // namespace monitor_test
