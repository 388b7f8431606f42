#include "RecordingSession.h"

#include "QEL_COPN.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cstring>

namespace {

const QString LOG_SUFFIX = QStringLiteral(".log");
const QString NODE_ID_KEY = QStringLiteral("gateway_node_id");
const QString PRODUCT_CODE_KEY = QStringLiteral("product_code");
constexpr int FIRST_NODE_ID = 1;
constexpr int LAST_NODE_ID = 127;
// A session file is a few hundred bytes; anything far larger is not one.
constexpr qint64 LARGEST_SESSION_FILE = 1 << 20;

std::optional<QJsonObject> ReadSessionObject(const QString &sessionPath)
{
    QFile file(sessionPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > LARGEST_SESSION_FILE)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

// Integers only: JSON numbers are doubles, and 7.5 is no node ID.
std::optional<int> IntegerIn(const QJsonObject &object, const QString &key, int first, int last)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != double(qint64(number)) || number < first || number > last)
        return std::nullopt;
    return int(number);
}

} // namespace

QString SessionFilePath(const QString &logPath)
{
    const QByteArray path = QFile::encodeName(logPath);
    QByteArray session(path.size() + int(sizeof ".json"), '\0');
    QELCOPN_SessionPath(path.constData(), session.data(), size_t(session.size()));
    return QFile::decodeName(session.constData());
}

QString RecordingDisplayName(const QString &logPath)
{
    QString name = QFileInfo(logPath).fileName();
    if (name.endsWith(LOG_SUFFIX))
        name.chop(LOG_SUFFIX.size());
    return name;
}

QString RecordingStatusText(const QString &logPath, uint64_t framesWritten, uint64_t framesLost, uint32_t lastError,
                            bool named)
{
    const QString name = RecordingDisplayName(logPath);
    if (framesLost == 0 && lastError == 0)
        return QStringLiteral("Recording: %1 (%2 frames)").arg(name).arg(framesWritten);
    QString text = named ? QStringLiteral("Recording: %1, %2 frames, %3 lost").arg(name).arg(framesWritten).arg(framesLost)
                         : QStringLiteral("Recording: %1 frames, %2 lost").arg(framesWritten).arg(framesLost);
    if (lastError != 0)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(int(lastError)));
    return text;
}

GatewayIdentity ReadGatewayIdentity(const QString &sessionPath)
{
    const std::optional<QJsonObject> session = ReadSessionObject(sessionPath);
    if (!session)
        return {};
    return {IntegerIn(*session, NODE_ID_KEY, FIRST_NODE_ID, LAST_NODE_ID),
            IntegerIn(*session, PRODUCT_CODE_KEY, 0, INT32_MAX)};
}

bool WriteGatewayIdentity(const QString &sessionPath, const GatewayIdentity &identity)
{
    std::optional<QJsonObject> session = ReadSessionObject(sessionPath);
    if (!session)
        return false;
    if (identity.nodeId)
        session->insert(NODE_ID_KEY, *identity.nodeId);
    if (identity.productCode)
        session->insert(PRODUCT_CODE_KEY, *identity.productCode);
    QSaveFile file(sessionPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(*session).toJson(QJsonDocument::Indented);
    return file.write(bytes) == bytes.size() && file.commit();
}
