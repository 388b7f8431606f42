#include "StopSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>

namespace {

std::atomic<EVENT_HANDLE> stopEvent{NO_EVENT};
std::atomic<int> lastSignal{0};

extern "C" void onStopSignal(int signalNumber)
{
    const int savedErrno = errno;
    lastSignal.store(signalNumber);
    SetEvent(stopEvent.load());
    errno = savedErrno;
}

} // namespace

StopSignal::StopSignal(QObject *parent)
    : QObject(parent)
    , event_(CreateCountingEvent())
{
    stopEvent.store(event_);
    if (event_ != NO_EVENT) {
        notifier_ = std::make_unique<QSocketNotifier>(event_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
            WaitForSingleObject(event_, 0);
            emit stopRequested();
        });
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    // A reader that went away must not kill the simulator mid-write: the
    // write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
}

StopSignal::~StopSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    stopEvent.store(NO_EVENT);
    notifier_.reset();
    CloseHandle(event_);
}

const char *StopSignal::lastSignalName()
{
    switch (lastSignal.load()) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "signal";
    }
}
