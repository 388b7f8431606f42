// A CAN adapter that is not there: a QtSerialBus plugin ("tarnwickfake")
// whose devices the test drives from here. A test that links this library
// opens the PEAK and Tiny-CAN kinds through the fake plugin; Qt finds the
// plugin through QT_PLUGIN_PATH (tests/plugins/canbus/ in the build tree).
// Every call may come from any thread; what touches a device runs in the
// device's own thread (the library's I/O thread).
#pragma once

#include <QCanBusFrame>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace fakecan {

constexpr const char *kPlugin = "tarnwickfake";

// The adapter is attached (listed by the plugin, connects). An adapter that
// does not take rates refuses BitRateKey, as a plugin refuses a rate it
// does not support.
void attach(const QString &name, bool takesRates = true);
void detach(const QString &name);
QStringList attachedNames();
// Forgets every adapter and what was recorded of it.
void reset();

// The bit rate set on the device at each connect, in order (0: none set).
std::vector<uint32_t> connectRates(const QString &name);
bool connected(const QString &name);
std::vector<QCanBusFrame> written(const QString &name);

// One batch: the device announces it with one framesReceived. False when
// no device of that name is open.
bool deliver(const QString &name, const QList<QCanBusFrame> &batch);

enum class Loss {
    ErrorSignal, // errorOccurred(ConnectionError), still "connected"
    Unconnected, // the state drops to UnconnectedState, no error
};
// The adapter goes away (and is no longer attached).
bool unplug(const QString &name, Loss how);

} // namespace fakecan
