// tarnwick-gatewaysim in a process of its own, started by a test or a
// benchmark and ended by them through its process id: its event lines are
// read as they come, its exit status and error output kept.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::vector<std::string> &args);
    // Another program of the tests' own, run and read the same way.
    SimulatorProcess(const std::string &program, const std::vector<std::string> &args);
    ~SimulatorProcess(); // kills it if it still runs

    bool started() const { return pid_ > 0; }
    // For a test that holds the program still (SIGSTOP, SIGCONT) or asks
    // the system about it.
    pid_t pid() const { return pid_; }
    // Waits for the next line starting with prefix (earlier lines are
    // passed over); "" when the program ended or the limit ran out first.
    std::string waitLine(const std::string &prefix, int limitMs = 20000);
    // Takes in what the program has written, without waiting: a test that
    // waits long for something else calls it so the program never blocks
    // on a full pipe.
    void collect() { readSome(0); }
    // One line onto the program's standard input (the simulator's commands).
    bool writeLine(const std::string &line);
    // Every line so far.
    const std::vector<std::string> &lines() const { return lines_; }
    bool saw(const std::string &line) const;

    // Sends the signal and waits for the end; the exit status, or -1 when
    // it did not exit normally.
    int stop(int signalNumber);
    // Waits for the program to end by itself.
    int wait();
    const std::string &errorOutput() const { return errors_; }

private:
    // Reads what is there within the limit; false when nothing came.
    bool readSome(int limitMs);
    int reap(int options);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int in_ = -1;
    std::string pending_;
    std::string errors_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
    int status_ = -1;
};
