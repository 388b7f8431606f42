#include "PeerProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QELCOPN_TEST_PEER
#error "QELCOPN_TEST_PEER must name the peer program"
#endif

PeerProcess::PeerProcess(const std::string &busUrl, int node, long burst)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    const std::string nodeText = std::to_string(node);
    const std::string burstText = std::to_string(burst);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        execl(QELCOPN_TEST_PEER, QELCOPN_TEST_PEER, "--bus", busUrl.c_str(), "--node", nodeText.c_str(),
              "--burst", burstText.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    ready_ = pid_ > 0 && !waitLine("ready").empty();
}

PeerProcess::~PeerProcess()
{
    kill();
}

void PeerProcess::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (toChild_ >= 0)
        close(toChild_);
    if (fromChild_ >= 0)
        close(fromChild_);
    toChild_ = fromChild_ = -1;
}

bool PeerProcess::readSome(int timeoutMs)
{
    if (fromChild_ < 0)
        return false;
    pollfd p{fromChild_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char chunk[4096];
    const ssize_t n = read(fromChild_, chunk, sizeof chunk);
    if (n <= 0)
        return false;
    buffer_.append(chunk, size_t(n));
    return true;
}

std::string PeerProcess::waitLine(const std::string &prefix, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t start = 0;
        for (size_t end; (end = buffer_.find('\n', start)) != std::string::npos; start = end + 1) {
            if (buffer_.compare(start, prefix.size(), prefix) == 0) {
                std::string line = buffer_.substr(start, end - start);
                buffer_.erase(0, end + 1);
                return line;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        // A time-out of 0 still takes what is there already.
        if (!readSome(std::max(0, int(left.count()))))
            return {};
    }
}

std::string PeerProcess::drainOutput(int settleMs)
{
    while (readSome(settleMs)) {
    }
    std::string all;
    all.swap(buffer_);
    return all;
}
