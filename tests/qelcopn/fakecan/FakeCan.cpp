#include "FakeCan.h"

#include "FakeCanDevice.h"
#include "QEL_COPN.h"

#include <QCoreApplication>
#include <QEvent>
#include <QVariant>

#include <map>
#include <mutex>

namespace {

struct Adapter {
    bool attached = false;
    bool takesRates = true;
    std::vector<uint32_t> connectRates;
    std::vector<QCanBusFrame> written;
    FakeCanDevice *device = nullptr; // the newest one made for it
};

std::mutex mutex;
std::map<QString, Adapter> adapters;

} // namespace

// The seam of the library's kinds table: PEAK and Tiny-CAN open the fake.
extern "C" __attribute__((visibility("default"))) const char *tarnwickTestCanBusPlugin(uint32_t kindCode)
{
    return kindCode == QELCOPN_KIND_PEAKCAN || kindCode == QELCOPN_KIND_TINYCAN ? fakecan::kPlugin : nullptr;
}

namespace fakecan {

void attach(const QString &name, bool takesRates)
{
    std::lock_guard lock(mutex);
    adapters[name].attached = true;
    adapters[name].takesRates = takesRates;
}

void detach(const QString &name)
{
    std::lock_guard lock(mutex);
    adapters[name].attached = false;
}

QStringList attachedNames()
{
    std::lock_guard lock(mutex);
    QStringList names;
    for (const auto &[name, adapter] : adapters)
        if (adapter.attached)
            names << name;
    return names;
}

void reset()
{
    std::lock_guard lock(mutex);
    for (auto &[name, adapter] : adapters)
        adapter = Adapter{false, true, {}, {}, adapter.device};
}

std::vector<uint32_t> connectRates(const QString &name)
{
    std::lock_guard lock(mutex);
    return adapters[name].connectRates;
}

bool connected(const QString &name)
{
    std::lock_guard lock(mutex);
    const FakeCanDevice *device = adapters[name].device;
    return device != nullptr && device->state() == QCanBusDevice::ConnectedState;
}

std::vector<QCanBusFrame> written(const QString &name)
{
    std::lock_guard lock(mutex);
    return adapters[name].written;
}

namespace {

// Runs fn on the adapter's device in the device's thread; a device deleted
// meanwhile drops the call with it.
template <typename Fn>
bool onDevice(const QString &name, Fn fn)
{
    std::lock_guard lock(mutex);
    FakeCanDevice *device = adapters[name].device;
    if (device == nullptr)
        return false;
    device->runInItsThread(fn);
    return true;
}

} // namespace

bool deliver(const QString &name, const QList<QCanBusFrame> &batch)
{
    return onDevice(name, [batch](FakeCanDevice &device) { device.receive(batch); });
}

bool unplug(const QString &name, Loss how)
{
    detach(name);
    if (how == Loss::ErrorSignal)
        return onDevice(name, [](FakeCanDevice &device) { device.dropWithError(); });
    return onDevice(name, [](FakeCanDevice &device) { device.dropState(); });
}

} // namespace fakecan

FakeCanDevice::FakeCanDevice(const QString &name)
    : name_(name)
{
    std::lock_guard lock(mutex);
    adapters[name_].device = this;
}

FakeCanDevice::~FakeCanDevice()
{
    std::lock_guard lock(mutex);
    if (adapters[name_].device == this)
        adapters[name_].device = nullptr;
}

void FakeCanDevice::setConfigurationParameter(ConfigurationKey key, const QVariant &value)
{
    bool takesRates = true;
    {
        std::lock_guard lock(mutex);
        takesRates = adapters[name_].takesRates;
    }
    if (key == BitRateKey && !takesRates) {
        setError(QStringLiteral("unsupported bit rate"), ConfigurationError);
        return;
    }
    QCanBusDevice::setConfigurationParameter(key, value);
}

bool FakeCanDevice::open()
{
    bool attached = false;
    {
        std::lock_guard lock(mutex);
        Adapter &adapter = adapters[name_];
        adapter.connectRates.push_back(configurationParameter(BitRateKey).toUInt());
        attached = adapter.attached;
    }
    if (!attached) {
        setError(QStringLiteral("no such adapter"), ConnectionError);
        return false;
    }
    setState(ConnectedState);
    return true;
}

void FakeCanDevice::close()
{
    setState(UnconnectedState);
}

bool FakeCanDevice::writeFrame(const QCanBusFrame &frame)
{
    if (state() != ConnectedState)
        return false;
    {
        std::lock_guard lock(mutex);
        adapters[name_].written.push_back(frame);
    }
    emit framesWritten(1);
    return true;
}

void FakeCanDevice::runInItsThread(std::function<void(FakeCanDevice &)> fn)
{
    std::lock_guard lock(callsMutex_);
    calls_.push_back(std::move(fn));
    if (calls_.size() == 1)
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

void FakeCanDevice::customEvent(QEvent *)
{
    std::vector<std::function<void(FakeCanDevice &)>> calls;
    {
        std::lock_guard lock(callsMutex_);
        calls.swap(calls_);
    }
    for (auto &call : calls)
        call(*this);
}
