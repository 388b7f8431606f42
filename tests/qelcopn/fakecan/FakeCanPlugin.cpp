// The plugin Qt loads from QT_PLUGIN_PATH/canbus/: it makes fake devices.
#include "FakeCan.h"
#include "FakeCanDevice.h"

#include <QCanBusFactory>
#include <QObject>


class FakeCanPlugin : public QObject, public QCanBusFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QCanBusFactory" FILE "fakecan.json")
    Q_INTERFACES(QCanBusFactory)

public:
    QCanBusDevice *createDevice(const QString &interfaceName, QString *) const override
    {
        return new FakeCanDevice(interfaceName);
    }
    QList<QCanBusDeviceInfo> availableDevices(QString *) const override
    {
        QList<QCanBusDeviceInfo> devices;
        for (const QString &name : fakecan::attachedNames())
            devices << FakeCanDevice::infoFor(name);
        return devices;
    }
};

#include "FakeCanPlugin.moc"
