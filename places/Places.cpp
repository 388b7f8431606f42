#include "Places.h"

#include <QStandardPaths>

namespace {

QString TarnwickDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quelbrook/Tarnwick");
}

const QString LOG_SUFFIX = QStringLiteral(".log");

} // namespace

QString RecordingsFolder()
{
    return TarnwickDataFolder() + QStringLiteral("/recordings");
}

QString BlackBoxFolder()
{
    return TarnwickDataFolder() + QStringLiteral("/blackbox");
}

QString FileNameTime(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
}

QString ProposedRecordingName(const QDateTime &when)
{
    return FileNameTime(when) + LOG_SUFFIX;
}

QString ProposedRecordingName(const QDateTime &when, const QString &what)
{
    return FileNameTime(when) + QLatin1Char('_') + what + LOG_SUFFIX;
}
