// Turns SIGINT and SIGTERM into a Qt signal in the main thread, so the
// simulator ends through its event loop and closes the bus cleanly. The
// handler only counts an event (a write, safe in a signal handler); a
// socket notifier on that event wakes the loop.
#pragma once

#include "Platform.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

class StopSignal : public QObject {
    Q_OBJECT
public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

    // The name of the signal that arrived ("SIGINT", "SIGTERM").
    static const char *lastSignalName();

signals:
    void stopRequested();

private:
    EVENT_HANDLE event_ = NO_EVENT;
    std::unique_ptr<QSocketNotifier> notifier_;
};
