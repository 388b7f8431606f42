#include "ProcessFigures.h"

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <dirent.h>
#include <unistd.h>

namespace {

// Entries of a /proc directory, without "." and "..".
int CountEntries(const char *path)
{
    DIR *dir = opendir(path);
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count;
}

int64_t ResidentKiB()
{
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return -1;
    long long size = 0, resident = 0;
    const int read = std::fscanf(statm, "%lld %lld", &size, &resident);
    std::fclose(statm);
    if (read != 2)
        return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

ProcessFigures MeasureProcess()
{
    ProcessFigures figures;
    // Less the one the count itself had open.
    figures.fds = CountEntries("/proc/self/fd") - 1;
    figures.threads = CountEntries("/proc/self/task");
    figures.residentKiB = ResidentKiB();
    return figures;
}

std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    DIR *dir = opendir("/proc/self/task");
    if (dir == nullptr)
        return names;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string path = std::string("/proc/self/task/") + entry->d_name + "/comm";
        if (FILE *comm = std::fopen(path.c_str(), "r")) {
            char name[64] = {};
            if (std::fgets(name, sizeof name, comm) != nullptr) {
                std::string text(name);
                while (!text.empty() && text.back() == '\n')
                    text.pop_back();
                names.push_back(text);
            }
            std::fclose(comm);
        }
    }
    closedir(dir);
    return names;
}

std::string Describe(const ProcessFigures &figures)
{
    return "fds=" + std::to_string(figures.fds) + " threads=" + std::to_string(figures.threads) +
           " rss=" + std::to_string(figures.residentKiB) + " KiB";
}

int64_t ProcessCpuMicros()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (int64_t(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
        + usage.ru_stime.tv_usec;
}

// utime and stime from /proc/PID/stat.
int64_t ThreadCpuMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

int64_t ProcessCpuMicros(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t end = text.rfind(')');
    if (end == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    size_t at = end + 2;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos)
            break;
        at = space + 1;
    }
    // Fields from the state on: utime and stime are the 12th and 13th.
    if (fields.size() < 13)
        return -1;
    const long ticks = sysconf(_SC_CLK_TCK);
    return (std::stoll(fields[11]) + std::stoll(fields[12])) * 1000000 / ticks;
}
