// The fake plugin's device: it connects when its adapter is attached,
// records what the test asks about, and plays what the test delivers.
#pragma once

#include <QCanBusDevice>

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

    static QCanBusDeviceInfo infoFor(const QString &name) { return createDeviceInfo(QLatin1String("tarnwickfake"), name, false, false); }

protected:
    bool open() override;
    void close() override;

private:
    const QString name_;
};
