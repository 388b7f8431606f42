#include "PeerThread.h"

#include <QTcpServer>

using qelcopn::CanFrame;
using qelcopn::CanBusPort;

PeerThread::PeerThread()
{
    io_.start();
    io_.call([this] {
        port_ = std::make_unique<CanBusPort>();
        port_->setFrameHandler([this](const CanFrame &frame, int64_t) {
            std::function<bool(CanBusPort &, const CanFrame &)> responder;
            {
                std::lock_guard lock(mutex_);
                responder = responder_;
            }
            if (responder && !responder(*port_, frame))
                return;
            std::lock_guard lock(mutex_);
            received_.push_back(frame);
            changed_.notify_all();
        });
        port_->setLostHandler([this] {
            std::lock_guard lock(mutex_);
            lost_ = true;
            changed_.notify_all();
        });
        return true;
    }, false);
}

PeerThread::~PeerThread()
{
    stop();
}

void PeerThread::run(const std::function<void(CanBusPort &port)> &fn)
{
    io_.call([&] {
        if (port_)
            fn(*port_);
        return true;
    }, false);
}

bool PeerThread::open(const QString &interfaceName)
{
    bool ok = false;
    run([&](CanBusPort &port) { ok = port.open(2, interfaceName, 250000) == CanBusPort::OpenResult::Ok; });
    return ok;
}

bool PeerThread::send(const CanFrame &frame)
{
    bool ok = false;
    run([&](CanBusPort &port) { ok = port.write(frame); });
    return ok;
}

void PeerThread::stop()
{
    // The port is closed and deleted in the thread it lives in.
    io_.call([this] {
        port_.reset();
        return true;
    }, false);
    io_.stop();
}

void PeerThread::setResponder(std::function<bool(CanBusPort &, const CanFrame &)> responder)
{
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

bool PeerThread::waitFrame(CanFrame *frame, int timeoutMs)
{
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !received_.empty(); }))
        return false;
    if (frame != nullptr)
        *frame = received_.front();
    received_.pop_front();
    return true;
}

size_t PeerThread::receivedCount()
{
    std::lock_guard lock(mutex_);
    return received_.size();
}

bool PeerThread::lost()
{
    std::lock_guard lock(mutex_);
    return lost_;
}

uint16_t freeLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return probe.serverPort();
}

QString privateBusUrl(uint16_t port, int channel)
{
    return QStringLiteral("tcp://127.0.0.1:%1/can%2").arg(port).arg(channel);
}
