// Exports as a spreadsheet opens them: CSV as RFC 4180 writes it (UTF-8,
// CRLF line ends, a field quoted when it must be), ISO 8601 times, and a
// file that is either written whole or left as it was.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

// A CSV field: quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string &text);
// One record: the fields, each as CsvField writes it, and the line end.
void AppendCsvRecord(std::string &csv, const std::vector<std::string> &fields);

// Every export's time: ISO 8601, local, with the zone's offset, in
// milliseconds (2026-12-09T16:10:00.123+01:00) or microseconds
// (2026-12-09T16:10:00.123456+01:00) where a series is finer than that.
enum class IsoFraction { Millis, Micros };
std::string IsoLocalTime(int64_t wallUs, IsoFraction fraction);
inline std::string IsoLocalTimeMs(int64_t wallUs) { return IsoLocalTime(wallUs, IsoFraction::Millis); }

// Writes under a temporary name and renames it over `path` once all is
// written, so a failure or a crash leaves no half file; false with the reason.
bool WriteFileAtomically(const QString &path, const std::string &bytes, QString *error);

// "STEM_2026-12-09_15-30-00.csv", by the local date and time now.
QString DatedCsvName(const QString &stem);

// Asks where to write (proposing `fileName`), writes what `csv` returns and
// says once, in a message box titled `title`, when that failed. False when
// nothing was written.
bool ExportCsvAskingPath(QWidget *parent, const QString &title, const QString &fileName,
                         const std::function<std::string()> &csv);
