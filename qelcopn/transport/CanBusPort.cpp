#include "CanBusPort.h"

#include "NetDevice.h"
#include "Platform.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::array<InterfaceKind, 4> kKinds{{
    {1, "socketcan", "SocketCAN"},
    {2, "virtualcan", "Virtual CAN bus"},
    {3, "peakcan", "PEAK PCAN"},
    {4, "tinycan", "Tiny-CAN"},
}};

constexpr uint32_t kSocketCan = 1;
constexpr uint32_t kVirtualCan = 2;

// The virtual bus plugin has two channels, can0 and can1, optionally behind
// a server URL. It accepts other names and only fails later, without a
// signal we could wait for, so names are checked here first.
bool isVirtualBusName(const QString &name)
{
    static const QRegularExpression channel(QStringLiteral("^can[01]$"));
    if (channel.match(name).hasMatch())
        return true;
    const QUrl url(name, QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("tcp") && !url.host().isEmpty()
        && channel.match(url.fileName()).hasMatch();
}

void setText(QString *error, const QString &text)
{
    if (error != nullptr)
        *error = text;
}

} // namespace

const InterfaceKind *interfaceKindByCode(uint32_t code)
{
    for (const InterfaceKind &kind : kKinds)
        if (kind.code == code)
            return &kind;
    return nullptr;
}

const InterfaceKind *interfaceKindByPlugin(const QString &plugin)
{
    for (const InterfaceKind &kind : kKinds)
        if (plugin == QLatin1String(kind.plugin))
            return &kind;
    return nullptr;
}

CanBusPort::CanBusPort(QObject *parent)
    : QObject(parent)
{
}

CanBusPort::~CanBusPort()
{
    close();
}

CanBusPort::OpenResult CanBusPort::open(uint32_t kindCode, const QString &interfaceName, uint32_t bitrate,
                                        QString *error, int connectTimeoutMs)
{
    close();
    const InterfaceKind *kind = interfaceKindByCode(kindCode);
    if (kind == nullptr) {
        setText(error, QStringLiteral("unknown interface kind %1").arg(kindCode));
        return OpenResult::NoSuchInterface;
    }
    if (interfaceName.isEmpty()) {
        setText(error, QStringLiteral("no interface name"));
        return OpenResult::NoSuchInterface;
    }
    if (kindCode == kVirtualCan && !isVirtualBusName(interfaceName)) {
        setText(error, QStringLiteral("'%1' is not a virtual bus channel (can0, can1 or tcp://ADDRESS:PORT/canN)")
                           .arg(interfaceName));
        return OpenResult::NoSuchInterface;
    }
    if (kindCode == kSocketCan) {
        switch (netdevice::state(interfaceName.toStdString())) {
        case netdevice::State::Missing:
            setText(error, QStringLiteral("no CAN network interface '%1'").arg(interfaceName));
            return OpenResult::NoSuchInterface;
        case netdevice::State::Down:
            setText(error, QStringLiteral("CAN network interface '%1' is down").arg(interfaceName));
            return OpenResult::NotUsable;
        case netdevice::State::Up:
            break;
        }
    }

    QString pluginError;
    device_.reset(QCanBus::instance()->createDevice(QLatin1String(kind->plugin), interfaceName, &pluginError));
    if (!device_) {
        setText(error, pluginError.isEmpty() ? QStringLiteral("plugin '%1' not available").arg(kind->plugin)
                                             : pluginError);
        return OpenResult::NoSuchInterface;
    }
    kindCode_ = kindCode;
    interfaceName_ = interfaceName;
    // SocketCAN sets its bit rate through the system, which an ordinary
    // user may not do; the rate is checked after connecting instead.
    if (bitrate != 0 && kindCode != kSocketCan)
        device_->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant::fromValue(bitrate));
    if (errorFramesWanted_ && kindCode == kSocketCan)
        device_->setConfigurationParameter(QCanBusDevice::ErrorFilterKey,
                                           QVariant::fromValue(QCanBusFrame::FrameErrors(QCanBusFrame::AnyError)));

    if (!connectAndWait(error, connectTimeoutMs)) {
        device_.reset();
        return OpenResult::NoSuchInterface;
    }
    bitrate_ = kindCode == kSocketCan ? 0 : bitrate;

    watchDevice();
    if (kindCode == kSocketCan && bitrate != 0 && !setBitrate(bitrate)) {
        // Only the system can change it; the message says how.
        setText(error, QStringLiteral("'%1' does not run at %2 bit/s; set it with: ip link set %1 down && "
                                      "ip link set %1 type can bitrate %2 && ip link set %1 up")
                           .arg(interfaceName)
                           .arg(bitrate));
        close();
        return OpenResult::NotUsable;
    }
    // Frames that arrived while connecting.
    drainFrames();
    return OpenResult::Ok;
}

bool CanBusPort::connectAndWait(QString *error, int timeoutMs)
{
    QCanBusDevice *device = device_.get();
    if (!device->connectDevice()) {
        setText(error, device->errorString());
        return false;
    }
    if (device->state() != QCanBusDevice::ConnectingState)
        return device->state() == QCanBusDevice::ConnectedState;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(device, &QCanBusDevice::stateChanged, &loop, [&loop](QCanBusDevice::CanBusDeviceState state) {
        if (state != QCanBusDevice::ConnectingState)
            loop.quit();
    });
    timer.start(timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(device, &QCanBusDevice::stateChanged, &loop, nullptr);

    if (device->state() == QCanBusDevice::ConnectedState)
        return true;
    setText(error, device->errorString().isEmpty() ? QStringLiteral("connecting timed out") : device->errorString());
    if (device->state() != QCanBusDevice::UnconnectedState)
        device->disconnectDevice();
    return false;
}

void CanBusPort::watchDevice()
{
    QCanBusDevice *device = device_.get();
    connect(device, &QCanBusDevice::framesReceived, this, &CanBusPort::drainFrames);
    connect(device, &QCanBusDevice::stateChanged, this, &CanBusPort::onStateChanged);
    connect(device, &QCanBusDevice::errorOccurred, this, &CanBusPort::onError);
}

void CanBusPort::close()
{
    dropped_.reset();
    if (!device_)
        return;
    // Our own close is not a loss: nobody is told.
    disconnect(device_.get(), nullptr, this, nullptr);
    if (device_->state() != QCanBusDevice::UnconnectedState)
        device_->disconnectDevice();
    device_.reset();
    bitrate_ = 0;
}

bool CanBusPort::isOpen() const
{
    return device_ && device_->state() == QCanBusDevice::ConnectedState;
}

bool CanBusPort::setBitrate(uint32_t bitrate)
{
    if (!isOpen() || bitrate == 0)
        return false;
    if (bitrate == bitrate_)
        return true;
    switch (kindCode_) {
    case kVirtualCan:
        // The virtual bus has no bit rate: every rate is "the" rate.
        bitrate_ = bitrate;
        return true;
    case kSocketCan: {
        const std::optional<uint32_t> current = netdevice::bitrate(interfaceName_.toStdString());
        // A virtual SocketCAN interface (vcan) has no bit timing at all.
        if (!current || *current == bitrate) {
            bitrate_ = bitrate;
            return true;
        }
        // Changing it needs the interface down and the right to do so;
        // Qt's plugin tries through libsocketcan and reports failure.
        device_->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant::fromValue(bitrate));
        const std::optional<uint32_t> after = netdevice::bitrate(interfaceName_.toStdString());
        if (after && *after == bitrate) {
            bitrate_ = bitrate;
            return true;
        }
        return false;
    }
    default: {
        // Adapters take the rate when they connect: reconnect with it.
        disconnect(device_.get(), nullptr, this, nullptr);
        device_->disconnectDevice();
        device_->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant::fromValue(bitrate));
        if (!connectAndWait(nullptr, 2000)) {
            reportLost();
            return false;
        }
        watchDevice();
        bitrate_ = bitrate;
        return true;
    }
    }
}

bool CanBusPort::write(const CanFrame &frame)
{
    if (!isOpen() || frame.id > 0x7FF || frame.length > 8)
        return false;
    QCanBusFrame out(frame.id, QByteArray(reinterpret_cast<const char *>(frame.data), frame.length));
    if (frame.remote)
        out.setFrameType(QCanBusFrame::RemoteRequestFrame);
    return device_->writeFrame(out);
}

void CanBusPort::setFrameHandler(FrameHandler handler)
{
    frameHandler_ = std::move(handler);
}

void CanBusPort::setLostHandler(LostHandler handler)
{
    lostHandler_ = std::move(handler);
}

QStringList CanBusPort::availableInterfaces(uint32_t kindCode)
{
    const InterfaceKind *kind = interfaceKindByCode(kindCode);
    if (kind == nullptr)
        return {};
    QStringList names;
    const QList<QCanBusDeviceInfo> devices = QCanBus::instance()->availableDevices(QLatin1String(kind->plugin));
    for (const QCanBusDeviceInfo &info : devices)
        names << info.name();
    return names;
}

void CanBusPort::drainFrames()
{
    if (!device_)
        return;
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    CanFrame frame;
    while (device_ && device_->framesAvailable() > 0) {
        const QCanBusFrame in = device_->readFrame();
        if (!in.isValid() || in.hasExtendedFrameFormat() || in.hasFlexibleDataRateFormat())
            continue;
        const QCanBusFrame::FrameType type = in.frameType();
        const bool error = type == QCanBusFrame::ErrorFrame;
        if (type != QCanBusFrame::DataFrame && type != QCanBusFrame::RemoteRequestFrame
            && !(error && errorFramesWanted_))
            continue;
        const QByteArray payload = in.payload();
        // Qt's error classes are SocketCAN's CAN_ERR_* bits.
        frame.id = error ? uint32_t(in.error().toInt()) : in.frameId();
        frame.error = error;
        frame.remote = type == QCanBusFrame::RemoteRequestFrame;
        frame.length = uint8_t(std::min<qsizetype>(payload.size(), 8));
        std::memcpy(frame.data, payload.constData(), frame.length);
        std::memset(frame.data + frame.length, 0, sizeof frame.data - frame.length);
        if (frameHandler_)
            frameHandler_(frame, now);
    }
}

int CanBusPort::busState() const
{
    if (!isOpen() || !device_->hasBusStatus())
        return -1;
    switch (device_->busStatus()) {
    case QCanBusDevice::CanBusStatus::Good: return 0;
    case QCanBusDevice::CanBusStatus::Warning: return 1;
    case QCanBusDevice::CanBusStatus::Error: return 2;
    case QCanBusDevice::CanBusStatus::BusOff: return 3;
    default: return -1;
    }
}

void CanBusPort::onStateChanged()
{
    if (device_ && device_->state() == QCanBusDevice::UnconnectedState)
        reportLost();
}

void CanBusPort::onError()
{
    if (!device_ || kindCode_ != kSocketCan)
        return;
    // A read error on SocketCAN leaves the device "connected"; an adapter
    // that went away shows as a missing or down interface.
    const QCanBusDevice::CanBusError error = device_->error();
    if (error != QCanBusDevice::ReadError && error != QCanBusDevice::ConnectionError)
        return;
    if (netdevice::state(interfaceName_.toStdString()) != netdevice::State::Up)
        reportLost();
}

void CanBusPort::reportLost()
{
    if (!device_)
        return;
    // This may run inside one of the device's own signals: the device is
    // deleted on the next open or close, not here.
    disconnect(device_.get(), nullptr, this, nullptr);
    if (device_->state() != QCanBusDevice::UnconnectedState)
        device_->disconnectDevice();
    dropped_ = std::move(device_);
    bitrate_ = 0;
    // Told from the event loop, outside the device's signal, so that the
    // handler may close or reopen the port.
    QMetaObject::invokeMethod(this, [this] {
        if (lostHandler_)
            lostHandler_();
    }, Qt::QueuedConnection);
}
