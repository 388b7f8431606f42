// The thin glue between CANopen code and a QtSerialBus device, shared by the
// library and the gateway simulator. A port lives in, and is used only from,
// the thread that created it: that thread must run a Qt event loop.
#pragma once

#include "protocol/CanFrame.h"
#include "protocol/ReceiveClock.h"
#include "protocol/InterfaceKinds.h"
#include "transport/ReplayPlayer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QCanBusDevice;

namespace qelcopn {

class CanBusPort : public QObject {
    Q_OBJECT
public:
    enum class OpenResult {
        Ok,
        NoSuchInterface, // unknown kind, missing plugin, or no such interface
        NotUsable,       // exists but cannot be used as it stands (e.g. down)
        AwaitingRate,    // checked, not connected: the rate must be set first
    };
    // rxMicros: the reception on the platform's monotonic microsecond
    // counter; the adapter's own stamp where its plugin gives one, else the
    // time its batch was read (the virtual bus stamps in milliseconds only).
    using FrameHandler = std::function<void(const CanFrame &frame, int64_t rxMicros)>;
    using LostHandler = std::function<void()>;

    explicit CanBusPort(QObject *parent = nullptr);
    ~CanBusPort() override;

    // Creates the device, sets the bit rate where the plugin can, connects,
    // and waits (running the caller's event loop) until it is connected.
    // An adapter whose plugin takes the rate only at connect is not
    // connected without one (bitrate 0): AwaitingRate once it is checked.
    // A rate that cannot be set or confirmed fails the open (NotUsable).
    OpenResult open(uint32_t kindCode, const QString &interfaceName, uint32_t bitrate, QString *error = nullptr,
                    int connectTimeoutMs = 2000);
    void close();
    bool isOpen() const;
    // Sets the bit rate of an open device where the plugin allows it;
    // where only the system can (SocketCAN), checks that it runs at it.
    bool setBitrate(uint32_t bitrate, QString *error = nullptr);
    // False when the port is not connected or the device refused the frame.
    bool write(const CanFrame &frame);

    // Called in the port's thread for every frame received.
    void setFrameHandler(FrameHandler handler);
    // Called in the port's thread after each batch of frames the frame
    // handler was given, also when the handler closed the port within it:
    // what the handler gathered frame by frame can be told once a batch.
    void setBatchEndHandler(std::function<void()> handler);
    // Called in the port's thread, from its event loop, when the device
    // drops its connection (the virtual bus's server went away, an adapter
    // was unplugged). The handler may close or reopen the port.
    void setLostHandler(LostHandler handler);

    // For a recording (kind 5), set before open: its pace, whether it loops,
    // and what it asks of the port's owner.
    void setReplaySettings(const ReplayPlayer::Settings &settings, ReplayPlayer::Hooks hooks);
    // A recording plays from its first frame from now on; a bus delivers
    // frames from the open anyway.
    void startReceiving();

    // Error frames reach the frame handler (CanFrame::error) only when wanted.
    void setErrorFramesWanted(bool wanted) { errorFramesWanted_ = wanted; }
    // The device's own report: 0 error active, 1 warning, 2 error passive,
    // 3 bus-off; -1 when the plugin does not tell or nothing is open.
    int busState() const;

    static QStringList availableInterfaces(uint32_t kindCode);

private:
    bool connectAndWait(QString *error, int timeoutMs);
    bool takeRate(uint32_t bitrate, QString *error);
    bool runsAtRate(uint32_t bitrate, QString *error) const;
    bool listed() const;
    void watchDevice();
    void scheduleDrain();
    void drainFrames();
    void onStateChanged();
    void onError();
    void reportLost();
    OpenResult openReplay(const QString &path, QString *error);

    std::unique_ptr<QCanBusDevice> device_;
    std::unique_ptr<QCanBusDevice> dropped_; // lost, deleted on the next open or close
    uint32_t kindCode_ = 0;
    QString interfaceName_;
    uint32_t bitrate_ = 0;
    FrameHandler frameHandler_;
    LostHandler lostHandler_;
    std::function<void()> batchEndHandler_;
    bool errorFramesWanted_ = false;
    bool drainScheduled_ = false;
    ReceiveClock clock_;
    // A recording instead of a device: writes go nowhere, as on a bus
    // where nobody answers.
    std::unique_ptr<ReplayPlayer> replay_;
    ReplayPlayer::Settings replaySettings_;
    ReplayPlayer::Hooks replayHooks_;
};

} // namespace qelcopn
