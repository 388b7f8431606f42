#include "transport/CanBusPort.h"

#include "Platform.h"
#include "QEL_COPN.h"
#include "transport/NetDevice.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <utility>

namespace qelcopn {

namespace {

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

// Tells the end of a batch however its loop is left.
struct BatchEnd {
    const std::function<void()> &handler;
    ~BatchEnd()
    {
        if (handler)
            handler();
    }
};

void setText(QString *error, const QString &text)
{
    if (error != nullptr)
        *error = text;
}

} // namespace

// Tests point a kind at a fake plugin by linking a definition of this;
// nothing shipped defines it, so no setting or variable can redirect a kind.
extern "C" __attribute__((weak, visibility("default"))) const char *tarnwickTestCanBusPlugin(uint32_t kindCode);

namespace {

QString pluginOf(const InterfaceKind &kind)
{
    if (tarnwickTestCanBusPlugin != nullptr)
        if (const char *plugin = tarnwickTestCanBusPlugin(kind.code))
            return QString::fromLatin1(plugin);
    return QLatin1String(kind.plugin);
}

} // namespace

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
    if (kind->plugin == nullptr)
        return openReplay(interfaceName, error);
    if (kindCode == QELCOPN_KIND_VIRTUALCAN && !isVirtualBusName(interfaceName)) {
        setText(error, QStringLiteral("'%1' is not a virtual bus channel (can0, can1 or tcp://ADDRESS:PORT/canN)")
                           .arg(interfaceName));
        return OpenResult::NoSuchInterface;
    }
    if (kindCode == QELCOPN_KIND_SOCKETCAN) {
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
    device_.reset(QCanBus::instance()->createDevice(pluginOf(*kind), interfaceName, &pluginError));
    if (!device_) {
        setText(error, pluginError.isEmpty() ? QStringLiteral("plugin '%1' not available").arg(pluginOf(*kind))
                                             : pluginError);
        return OpenResult::NoSuchInterface;
    }
    kindCode_ = kindCode;
    interfaceName_ = interfaceName;
    clock_.reset();
    if (kind->rateAtConnect) {
        if (!listed()) {
            setText(error, QStringLiteral("no adapter '%1' attached").arg(interfaceName));
            device_.reset();
            return OpenResult::NoSuchInterface;
        }
        // Connecting would join the bus at the plugin's default rate.
        if (bitrate == 0) {
            device_.reset();
            return OpenResult::AwaitingRate;
        }
        if (!takeRate(bitrate, error)) {
            device_.reset();
            return OpenResult::NotUsable;
        }
    }
    if (errorFramesWanted_ && kindCode == QELCOPN_KIND_SOCKETCAN)
        device_->setConfigurationParameter(QCanBusDevice::ErrorFilterKey,
                                           QVariant::fromValue(QCanBusFrame::FrameErrors(QCanBusFrame::AnyError)));

    if (!connectAndWait(error, connectTimeoutMs)) {
        device_.reset();
        return OpenResult::NoSuchInterface;
    }
    bitrate_ = kind->rateAtConnect ? bitrate : 0;

    watchDevice();
    // SocketCAN's rate is set by the system, which an ordinary user may
    // not do: it is checked, with the commands that set it on failure.
    if (kindCode == QELCOPN_KIND_SOCKETCAN && bitrate != 0 && !setBitrate(bitrate, error)) {
        close();
        return OpenResult::NotUsable;
    }
    // Frames that arrived while connecting.
    drainFrames();
    return OpenResult::Ok;
}

// Before connecting: the plugin keeps only the rates it supports.
bool CanBusPort::takeRate(uint32_t bitrate, QString *error)
{
    device_->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant::fromValue(bitrate));
    bool ok = false;
    if (device_->configurationParameter(QCanBusDevice::BitRateKey).toUInt(&ok) == bitrate && ok)
        return true;
    setText(error, QStringLiteral("adapter '%1' cannot be set to %2 bit/s%3")
                       .arg(interfaceName_)
                       .arg(bitrate)
                       .arg(device_->errorString().isEmpty() ? QString() : QStringLiteral(": ") + device_->errorString()));
    return false;
}

// Whether the plugin names the adapter among those attached.
bool CanBusPort::listed() const
{
    const QList<QCanBusDeviceInfo> devices =
        QCanBus::instance()->availableDevices(pluginOf(*interfaceKindByCode(kindCode_)));
    return std::any_of(devices.begin(), devices.end(),
                       [this](const QCanBusDeviceInfo &info) { return info.name() == interfaceName_; });
}

// SocketCAN: whether the system runs the interface at the rate; a CAN
// controller whose rate cannot be read is not taken to run at it.
bool CanBusPort::runsAtRate(uint32_t bitrate, QString *error) const
{
    const std::string name = interfaceName_.toStdString();
    if (!netdevice::hasBitTiming(name))
        return true;
    const std::optional<uint32_t> current = netdevice::bitrate(name);
    if (current && *current == bitrate)
        return true;
    setText(error, QString::fromStdString(netdevice::wrongRateMessage(name, current, bitrate)));
    return false;
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
    connect(device, &QCanBusDevice::framesReceived, this, &CanBusPort::scheduleDrain);
    connect(device, &QCanBusDevice::stateChanged, this, &CanBusPort::onStateChanged);
    connect(device, &QCanBusDevice::errorOccurred, this, &CanBusPort::onError);
}

CanBusPort::OpenResult CanBusPort::openReplay(const QString &path, QString *error)
{
    replay_ = ReplayPlayer::open(path, replaySettings_, error);
    if (!replay_)
        return OpenResult::NoSuchInterface;
    replay_->setHooks(replayHooks_);
    replay_->setBatchEndHandler(batchEndHandler_);
    replay_->setFrameHandler([this](const CanFrame &frame, int64_t due) {
        if (frameHandler_ && (!frame.error || errorFramesWanted_))
            frameHandler_(frame, due);
    });
    return OpenResult::Ok;
}

void CanBusPort::setReplaySettings(const ReplayPlayer::Settings &settings, ReplayPlayer::Hooks hooks)
{
    replaySettings_ = settings;
    replayHooks_ = std::move(hooks);
}

void CanBusPort::startReceiving()
{
    if (replay_)
        replay_->start();
}

void CanBusPort::close()
{
    replay_.reset();
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
    return replay_ || (device_ && device_->state() == QCanBusDevice::ConnectedState);
}

bool CanBusPort::setBitrate(uint32_t bitrate, QString *error)
{
    if (!isOpen() || bitrate == 0)
        return false;
    if (bitrate == bitrate_)
        return true;
    if (replay_) {
        bitrate_ = bitrate;
        return true;
    }
    switch (kindCode_) {
    case QELCOPN_KIND_VIRTUALCAN:
        // The virtual bus has no bit rate: every rate is "the" rate.
        bitrate_ = bitrate;
        return true;
    case QELCOPN_KIND_SOCKETCAN:
        if (!runsAtRate(bitrate, nullptr)) {
            // Changing it needs the interface down and the right to do so;
            // Qt's plugin tries through libsocketcan and reports failure.
            device_->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant::fromValue(bitrate));
            if (!runsAtRate(bitrate, error))
                return false;
        }
        bitrate_ = bitrate;
        return true;
    default: {
        // Adapters take the rate when they connect: reconnect with it.
        disconnect(device_.get(), nullptr, this, nullptr);
        device_->disconnectDevice();
        if (!takeRate(bitrate, error) || !connectAndWait(error, 2000)) {
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
    if (replay_)
        return true;
    QCanBusFrame out(frame.id, QByteArray(reinterpret_cast<const char *>(frame.data), frame.length));
    if (frame.remote)
        out.setFrameType(QCanBusFrame::RemoteRequestFrame);
    return device_->writeFrame(out);
}

void CanBusPort::setFrameHandler(FrameHandler handler)
{
    frameHandler_ = std::move(handler);
}

void CanBusPort::setBatchEndHandler(std::function<void()> handler)
{
    batchEndHandler_ = std::move(handler);
    if (replay_)
        replay_->setBatchEndHandler(batchEndHandler_);
}

void CanBusPort::setLostHandler(LostHandler handler)
{
    lostHandler_ = std::move(handler);
}

QStringList CanBusPort::availableInterfaces(uint32_t kindCode)
{
    const InterfaceKind *kind = interfaceKindByCode(kindCode);
    if (kind == nullptr || kind->plugin == nullptr)
        return {};
    QStringList names;
    const QList<QCanBusDeviceInfo> devices = QCanBus::instance()->availableDevices(pluginOf(*kind));
    for (const QCanBusDeviceInfo &info : devices)
        names << info.name();
    return names;
}

void CanBusPort::scheduleDrain()
{
    // Plugins tell each frame as they parse it (the virtual bus: every line
    // of one socket read): read once they are done, as one batch.
    if (std::exchange(drainScheduled_, true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        drainScheduled_ = false;
        drainFrames();
    }, Qt::QueuedConnection);
}

void CanBusPort::drainFrames()
{
    if (!device_)
        return;
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    const QList<QCanBusFrame> batch = device_->readAllFrames();
    const bool stamped = interfaceKindByCode(kindCode_)->stampsFrames;
    const auto stampOf = [stamped](const QCanBusFrame &in) {
        const QCanBusFrame::TimeStamp stamp = in.timeStamp();
        return stamped ? int64_t(stamp.seconds() * 1'000'000 + stamp.microSeconds()) : int64_t(0);
    };
    int64_t newest = 0;
    for (const QCanBusFrame &in : batch)
        newest = std::max(newest, stampOf(in));
    clock_.beginBatch(newest, now);
    const BatchEnd batchEnd{batchEndHandler_};
    CanFrame frame;
    for (const QCanBusFrame &in : batch) {
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
        const int64_t rx = clock_.map(stampOf(in));
        // The handler may close the port: the rest of the batch goes with it.
        if (frameHandler_)
            frameHandler_(frame, rx);
        if (!device_)
            return;
    }
}

int CanBusPort::busState() const
{
    if (!isOpen() || !device_ || !device_->hasBusStatus())
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
    if (!device_)
        return;
    const QCanBusDevice::CanBusError error = device_->error();
    switch (kindCode_) {
    case QELCOPN_KIND_VIRTUALCAN:
        // Its loss shows as a change to the unconnected state.
        return;
    case QELCOPN_KIND_SOCKETCAN:
        // A read error on SocketCAN leaves the device "connected"; an adapter
        // that went away shows as a missing or down interface.
        if ((error == QCanBusDevice::ReadError || error == QCanBusDevice::ConnectionError)
            && netdevice::state(interfaceName_.toStdString()) != netdevice::State::Up)
            reportLost();
        return;
    default:
        // An adapter that cannot be read hears nothing: a dead bus must not
        // look like a quiet one. A failed write alone may be a full queue.
        if (error == QCanBusDevice::ConnectionError || error == QCanBusDevice::ReadError
            || (error == QCanBusDevice::WriteError && !listed()))
            reportLost();
        return;
    }
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

} // namespace qelcopn
