#include "ProcessFigures.h"

#include <cstdio>
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

std::string Describe(const ProcessFigures &figures)
{
    return "fds=" + std::to_string(figures.fds) + " threads=" + std::to_string(figures.threads) +
           " rss=" + std::to_string(figures.residentKiB) + " KiB";
}
