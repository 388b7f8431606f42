// What this process holds, read from /proc/self: open file descriptors,
// threads and resident memory. A long run compares two readings to show that
// nothing piles up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProcessFigures {
    int fds = 0;
    int threads = 0;
    int64_t residentKiB = 0;
};

ProcessFigures MeasureProcess();
// The names of this process's threads ("QThread", "Thread (pooled)", ...),
// to tell which one came or went.
std::vector<std::string> ThreadNames();
// "fds=12 threads=5 rss=48212 KiB"
std::string Describe(const ProcessFigures &figures);
// The CPU time this process has used so far, user and system, in µs.
int64_t ProcessCpuMicros();
// The same of another process, from /proc; -1 when it is gone.
int64_t ProcessCpuMicros(int pid);
// The CPU time the calling thread has used so far, in µs.
int64_t ThreadCpuMicros();
