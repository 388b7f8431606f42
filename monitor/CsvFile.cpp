#include "CsvFile.h"

#include "Places.h"

#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include <cstdio>
#include <ctime>

std::string CsvField(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

void AppendCsvRecord(std::string &csv, const std::vector<std::string> &fields)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            csv += ',';
        csv += CsvField(fields[i]);
    }
    csv += "\r\n";
}

std::string IsoLocalTime(int64_t wallUs, IsoFraction fraction)
{
    int64_t seconds = wallUs / 1000000;
    int64_t micros = wallUs % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[80];
    if (fraction == IsoFraction::Micros)
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06ld%c%02ld:%02ld", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, long(micros),
                      offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ld%c%02ld:%02ld", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, long(micros / 1000),
                      offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

bool WriteFileAtomically(const QString &path, const std::string &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) ||
        !file.commit()) {
        if (error != nullptr)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString DatedCsvName(const QString &stem)
{
    return QStringLiteral("%1_%2.csv").arg(stem, FileNameTime(QDateTime::currentDateTime()));
}

bool ExportCsvAskingPath(QWidget *parent, const QString &title, const QString &fileName,
                         const std::function<std::string()> &csv)
{
    const QString path =
        QFileDialog::getSaveFileName(parent, title, fileName, QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return false;
    QString error;
    if (WriteFileAtomically(path, csv(), &error))
        return true;
    QMessageBox::warning(parent, title, QStringLiteral("Cannot write %1: %2").arg(path, error));
    return false;
}
