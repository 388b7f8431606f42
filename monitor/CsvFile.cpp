#include "CsvFile.h"

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

std::string IsoTimeUs(int64_t wallUs)
{
    const int64_t seconds = wallUs >= 0 ? wallUs / 1000000 : -((-wallUs + 999999) / 1000000);
    const long micros = long(wallUs - seconds * 1000000);
    const std::time_t t = std::time_t(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, micros);
    return text;
}

std::string IsoLocalTimeMs(int64_t wallUs)
{
    const int64_t ms = wallUs >= 0 ? wallUs / 1000 : -((-wallUs + 999) / 1000);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    const int offsetMinutes = local.offsetFromUtc() / 60;
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char offset[16];
    std::snprintf(offset, sizeof offset, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toStdString() + offset;
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
    return QStringLiteral("%1_%2.csv")
        .arg(stem, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
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
