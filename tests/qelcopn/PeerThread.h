// A thread with its own Qt event loop hosting one CanBusPort: the other
// end of the bus in tests and benchmarks. Work is handed in with run(),
// which waits for it; received frames collect in a queue the test waits on.
#pragma once

#include "transport/CanBusPort.h"
#include "transport/IoThread.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class PeerThread {
public:
    PeerThread();
    ~PeerThread(); // closes the port and ends the thread

    // Runs fn in the peer thread and returns when it has run.
    void run(const std::function<void(qelcopn::CanBusPort &port)> &fn);
    bool open(const QString &interfaceName);
    bool send(const qelcopn::CanFrame &frame);
    // The thread ends (its event loop and port with it).
    void stop();

    // Called in the peer thread for each frame; return true to keep it in
    // the received queue as well.
    void setResponder(std::function<bool(qelcopn::CanBusPort &port, const qelcopn::CanFrame &frame)> responder);
    bool waitFrame(qelcopn::CanFrame *frame, int timeoutMs = 10000);
    size_t receivedCount();
    bool lost();

private:
    qelcopn::IoThread io_;
    std::unique_ptr<qelcopn::CanBusPort> port_; // lives in io_'s thread
    std::mutex mutex_;
    std::condition_variable changed_;
    bool lost_ = false;
    std::deque<qelcopn::CanFrame> received_;
    std::function<bool(qelcopn::CanBusPort &, const qelcopn::CanFrame &)> responder_;
};

// A TCP port on 127.0.0.1 that was free a moment ago, and the virtual bus
// URL on it.
uint16_t freeLocalPort();
QString privateBusUrl(uint16_t port, int channel = 0);
