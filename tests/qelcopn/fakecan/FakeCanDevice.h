// The fake plugin's device: it connects when its adapter is attached,
// records what the test asks about, and plays what the test delivers.
#pragma once

#include <QCanBusDevice>

#include <functional>
#include <mutex>
#include <vector>

class FakeCanDevice : public QCanBusDevice {
    Q_OBJECT
public:
    explicit FakeCanDevice(const QString &name);
    ~FakeCanDevice() override;

    void setConfigurationParameter(ConfigurationKey key, const QVariant &value) override;
    bool writeFrame(const QCanBusFrame &frame) override;
    QString interpretErrorFrame(const QCanBusFrame &) override { return {}; }

    // In the device's thread.
    void receive(const QList<QCanBusFrame> &batch) { enqueueReceivedFrames(batch); }
    void dropWithError() { setError(QStringLiteral("adapter unplugged"), ConnectionError); }
    void dropState() { setState(UnconnectedState); }

    // From any thread: fn runs on the device in its thread. The calls wait
    // under a mutex and the device is woken with an empty event, so the
    // hand-off is one ThreadSanitizer sees.
    void runInItsThread(std::function<void(FakeCanDevice &)> fn);

    static QCanBusDeviceInfo infoFor(const QString &name) { return createDeviceInfo(QLatin1String("tarnwickfake"), name, false, false); }

protected:
    bool open() override;
    void close() override;
    void customEvent(QEvent *) override;

private:
    const QString name_;
    std::mutex callsMutex_;
    std::vector<std::function<void(FakeCanDevice &)>> calls_;
};
