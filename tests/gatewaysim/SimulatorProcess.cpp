#include "SimulatorProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef GATEWAYSIM_PROGRAM
#error "GATEWAYSIM_PROGRAM must name the simulator"
#endif

extern char **environ;

SimulatorProcess::SimulatorProcess(const std::vector<std::string> &args)
    : SimulatorProcess(GATEWAYSIM_PROGRAM, args)
{
}

SimulatorProcess::SimulatorProcess(const std::string &program, const std::vector<std::string> &args)
{
    int out[2], err[2], in[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    if (pipe2(in, O_CLOEXEC) != 0) {
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    close(in[0]);
    out_ = out[0];
    err_ = err[0];
    in_ = in[1];
}

bool SimulatorProcess::writeLine(const std::string &line)
{
    const std::string text = line + "\n";
    return in_ >= 0 && write(in_, text.data(), text.size()) == ssize_t(text.size());
}

SimulatorProcess::~SimulatorProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        reap(0);
    }
    if (out_ >= 0)
        close(out_);
    if (err_ >= 0)
        close(err_);
    if (in_ >= 0)
        close(in_);
}

bool SimulatorProcess::readSome(int limitMs)
{
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(fds, 2, limitMs) <= 0)
        return false;
    char chunk[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
            continue;
        const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
        if (n <= 0) {
            close(fds[i].fd);
            (i == 0 ? out_ : err_) = -1;
            continue;
        }
        if (i == 1) {
            errors_.append(chunk, size_t(n));
            continue;
        }
        pending_.append(chunk, size_t(n));
        for (size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
            lines_.push_back(pending_.substr(0, end));
    }
    return true;
}

std::string SimulatorProcess::waitLine(const std::string &prefix, int limitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        for (; next_ < lines_.size(); ++next_)
            if (lines_[next_].rfind(prefix, 0) == 0)
                return lines_[next_++];
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (out_ < 0 && err_ < 0))
            return {};
        if (!readSome(int(left.count())))
            return {};
    }
}

bool SimulatorProcess::saw(const std::string &line) const
{
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

int SimulatorProcess::reap(int options)
{
    if (pid_ <= 0)
        return status_;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, options);
    if (done != pid_)
        return -1;
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

int SimulatorProcess::wait()
{
    while (out_ >= 0 || err_ >= 0) // read everything it still says
        if (!readSome(60000))
            break;
    return reap(0);
}

int SimulatorProcess::stop(int signalNumber)
{
    if (pid_ > 0)
        kill(pid_, signalNumber);
    return wait();
}
