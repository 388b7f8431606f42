// The test peer program in a process of its own, so that the virtual bus
// server it hosts goes away with it. No Qt here: the test process may have
// no Qt application of its own.
#pragma once

#include <string>
#include <sys/types.h>

class PeerProcess {
public:
    // Starts the peer on the bus URL and waits for its "ready".
    PeerProcess(const std::string &busUrl, int node = 5, long burst = 0);
    ~PeerProcess(); // ends it

    bool ready() const { return ready_; }
    // Waits for an output line starting with prefix; returns it (or "").
    std::string waitLine(const std::string &prefix, int timeoutMs = 10000);
    // Every line printed since the last call, without waiting for more.
    std::string drainOutput(int settleMs = 0);
    void kill();

private:
    bool readSome(int timeoutMs);

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    bool ready_ = false;
    std::string buffer_;
};
