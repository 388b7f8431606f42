#include "library/Configuration.h"

#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"
#include "trace/BlackBox.h"
#include "transport/CanBusPort.h"

#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace qelcopn::configuration {

namespace {

constexpr uint32_t kDefaultKind = QELCOPN_KIND_VIRTUALCAN;
constexpr char kDefaultAccessPoint[] = "can0";
constexpr uint32_t kDefaultBitrate = 250000;
constexpr uint32_t kDefaultNodeId = 127;

// Stored numbers are read as text and must be plain decimal numbers in
// range; anything else reads as the default.
uint32_t readNumber(const QSettings &store, const char *key, uint32_t fallback, bool (*valid)(uint32_t))
{
    const QVariant value = store.value(QLatin1String(key));
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const qulonglong number = value.toString().trimmed().toULongLong(&ok, 10);
    if (!ok || number > 0xFFFFFFFFull || !valid(uint32_t(number)))
        return fallback;
    return uint32_t(number);
}

bool anyNumber(uint32_t) { return true; }
bool knownKind(uint32_t kind) { return interfaceKindByCode(kind) != nullptr; }
bool nodeId(uint32_t node) { return cia301::isNodeId(node); }
bool bitRate(uint32_t rate) { return cia301::isBitRate(rate); }
bool blackBoxRange(uint32_t minutes) { return minutes >= 1 && minutes <= trace::BlackBox::kMaxMinutes; }
bool zeroOrOne(uint32_t value) { return value <= 1; }

constexpr size_t kReplaySpeedAt = 0;
constexpr size_t kReplayLoopAt = 4;

uint32_t reservedWord(const HardwareConfiguration *hw, size_t at)
{
    return readLe32(hw->Reserved + at);
}

void setReservedWord(HardwareConfiguration *hw, size_t at, uint32_t value)
{
    for (size_t k = 0; k < 4; ++k)
        hw->Reserved[at + k] = uint8_t(value >> (8 * k));
}

} // namespace

void setDefaults(HardwareConfiguration *hw, CANopenConfiguration *co)
{
    std::memset(hw, 0, sizeof *hw);
    std::memset(co, 0, sizeof *co);
    hw->InterfaceType = kDefaultKind;
    std::memcpy(hw->AccessPoint, kDefaultAccessPoint, sizeof kDefaultAccessPoint);
    co->InterfaceNodeID = kDefaultNodeId;
    co->Baud = kDefaultBitrate;
}

bool parsePath(const char *path, QString *organisation, QString *application)
{
    if (path == nullptr || strnlen(path, 1024) == 1024)
        return false;
    const QStringList parts = QString::fromLatin1(path).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() != 3 || parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
        return false;
    for (const QString &part : parts)
        if (part.contains(QLatin1Char('/')) || part.startsWith(QLatin1Char('.')) || part.trimmed() != part)
            return false;
    *organisation = parts[1];
    *application = parts[2];
    return true;
}

bool accessPointOf(const HardwareConfiguration *hw, QString *text)
{
    const void *end = std::memchr(hw->AccessPoint, 0, sizeof hw->AccessPoint);
    if (end == nullptr)
        return false;
    *text = QString::fromUtf8(hw->AccessPoint, static_cast<const char *>(end) - hw->AccessPoint);
    return true;
}

void setAccessPoint(HardwareConfiguration *hw, const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.truncate(sizeof hw->AccessPoint - 1);
    std::memset(hw->AccessPoint, 0, sizeof hw->AccessPoint);
    std::memcpy(hw->AccessPoint, bytes.constData(), size_t(bytes.size()));
}

bool read(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co)
{
    QString organisation, application;
    if (hw == nullptr || co == nullptr || !parsePath(path, &organisation, &application))
        return false;
    setDefaults(hw, co);
    const QSettings store(organisation, application);
    hw->InterfaceType = readNumber(store, "Hardware/InterfaceType", kDefaultKind, knownKind);
    hw->Port = readNumber(store, "Hardware/Port", 0, anyNumber);
    hw->Irq = readNumber(store, "Hardware/Irq", 0, anyNumber);
    hw->ComPort = readNumber(store, "Hardware/ComPort", 0, anyNumber);
    hw->ComBaud = readNumber(store, "Hardware/ComBaud", 0, anyNumber);
    const QVariant accessPoint = store.value(QStringLiteral("Hardware/AccessPoint"));
    if (accessPoint.isValid()) {
        const QByteArray bytes = accessPoint.toString().toUtf8();
        if (!bytes.isEmpty() && bytes.size() < qsizetype(sizeof hw->AccessPoint) && !bytes.contains('\0'))
            setAccessPoint(hw, accessPoint.toString());
    }
    setReplay(hw, readNumber(store, "Hardware/ReplaySpeed", 0, isReplaySpeed),
              readNumber(store, "Hardware/ReplayLoop", 0, zeroOrOne) == 1);
    co->InterfaceNodeID = readNumber(store, "CANopen/InterfaceNodeID", kDefaultNodeId, nodeId);
    co->Baud = readNumber(store, "CANopen/Baud", kDefaultBitrate, bitRate);
    setBlackBoxMinutes(co, readNumber(store, "CANopen/BlackBoxMinutes", 0, blackBoxRange));
    return true;
}

bool save(const char *path, const HardwareConfiguration *hw, const CANopenConfiguration *co)
{
    QString organisation, application, accessPoint;
    if (hw == nullptr || co == nullptr || !parsePath(path, &organisation, &application)
        || !accessPointOf(hw, &accessPoint))
        return false;
    QSettings store(organisation, application);
    store.setValue(QStringLiteral("Hardware/InterfaceType"), QString::number(hw->InterfaceType));
    store.setValue(QStringLiteral("Hardware/Port"), QString::number(hw->Port));
    store.setValue(QStringLiteral("Hardware/Irq"), QString::number(hw->Irq));
    store.setValue(QStringLiteral("Hardware/ComPort"), QString::number(hw->ComPort));
    store.setValue(QStringLiteral("Hardware/ComBaud"), QString::number(hw->ComBaud));
    store.setValue(QStringLiteral("Hardware/AccessPoint"), accessPoint);
    store.setValue(QStringLiteral("Hardware/ReplaySpeed"), QString::number(replaySpeed(hw)));
    store.setValue(QStringLiteral("Hardware/ReplayLoop"), QString::number(replayLoop(hw) ? 1 : 0));
    store.setValue(QStringLiteral("CANopen/InterfaceNodeID"), QString::number(co->InterfaceNodeID));
    store.setValue(QStringLiteral("CANopen/Baud"), QString::number(co->Baud));
    store.setValue(QStringLiteral("CANopen/BlackBoxMinutes"), QString::number(blackBoxMinutes(co)));
    store.sync();
    return store.status() == QSettings::NoError;
}

uint32_t blackBoxMinutes(const CANopenConfiguration *co)
{
    return trace::BlackBox::minutesOrDefault(QELCOPN_GetBlackBoxMinutes(co));
}

void setBlackBoxMinutes(CANopenConfiguration *co, uint32_t minutes)
{
    QELCOPN_SetBlackBoxMinutes(co, minutes);
}

uint32_t replaySpeed(const HardwareConfiguration *hw)
{
    const uint32_t speed = reservedWord(hw, kReplaySpeedAt);
    return isReplaySpeed(speed) ? speed : 0;
}

bool replayLoop(const HardwareConfiguration *hw)
{
    return reservedWord(hw, kReplayLoopAt) == 1;
}

void setReplay(HardwareConfiguration *hw, uint32_t speed, bool loop)
{
    setReservedWord(hw, kReplaySpeedAt, isReplaySpeed(speed) ? speed : 0);
    setReservedWord(hw, kReplayLoopAt, loop ? 1 : 0);
}

bool isReplaySpeed(uint32_t speed)
{
    return speed == 0 || speed == 1 || speed == QELCOPN_REPLAY_FASTEST
        || std::find(std::begin(kReplaySpeedsFaster), std::end(kReplaySpeedsFaster), speed) != std::end(kReplaySpeedsFaster);
}

bool interfaceName(uint32_t kind, char name[QELCOPN_TEXT_SIZE])
{
    if (const InterfaceKind *known = interfaceKindByCode(kind)) {
        std::snprintf(name, QELCOPN_TEXT_SIZE, "%s", known->displayName);
        return true;
    }
    std::snprintf(name, QELCOPN_TEXT_SIZE, "Unknown interface (%u)", unsigned(kind));
    return false;
}

} // namespace qelcopn::configuration
