// Figures of the library on a private virtual bus hosted by the test peer
// in a process of its own: SDO round trips, PDO throughput without loss,
// and the library's CPU time per 1,000 received frames. Prints them.
#include "PeerProcess.h"
#include "PeerThread.h"
#include "Platform.h"
#include "ProcessFigures.h"
#include "QEL_COPN.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr uint8_t kNode = 7;

template <typename Fn>
void timeCalls(const char *what, int count, Fn &&fn)
{
    int failed = 0;
    const int64_t start = MonotonicMicros();
    for (int i = 0; i < count; ++i)
        failed += fn() == 0;
    const double each = double(MonotonicMicros() - start) / count;
    std::printf("%-44s %8.1f us per call (%d calls, %d failed)\n", what, each, count, failed);
}

} // namespace

int main(int argc, char **argv)
{
    const long burst = argc > 1 ? std::atol(argv[1]) : 200000;
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    PeerProcess peer(url, kNode, burst);
    if (!peer.ready() || !LoadDriver()) {
        std::fprintf(stderr, "no peer or no driver\n");
        return 1;
    }
    HardwareConfiguration hw{};
    hw.InterfaceType = QELCOPN_KIND_VIRTUALCAN;
    std::snprintf(hw.AccessPoint, sizeof hw.AccessPoint, "%s", url.c_str());
    uint32_t h = 0;
    if (!OpenInterface(&h, &hw) || !SetOnline(h, 1)) {
        std::fprintf(stderr, "cannot open %s\n", url.c_str());
        return 1;
    }

    timeCalls("SDO expedited upload, 4 bytes (round trip)", 2000, [&] {
        uint32_t value = 0;
        return SDO_Upload_UNSIGNED32(h, kNode, 0x1000, 0, &value);
    });
    timeCalls("SDO segmented upload, 256 bytes", 300, [&] {
        uint8_t buffer[256];
        uint32_t length = sizeof buffer;
        return SDO_Upload(h, kNode, 0x2000, 0, &length, buffer) && length == 256;
    });

    AddPDO(h, kNode, 16, 3, 1000);
    int32_t event = -1;
    COP_PDO_Get_Event(h, kNode, 18, 3, &event);
    std::atomic<long> read{0};
    std::atomic<bool> inOrder{true};
    int64_t first = 0, last = 0, readerCpu = 0;
    std::thread reader([&] {
        const int64_t cpuStart = ThreadCpuMicros();
        for (long i = 0; i < burst; ++i) {
            if (WaitForSingleObject(event, 10000) != WAIT_OBJECT_0)
                break;
            uint8_t length = 0, data[256];
            uint32_t t1 = 0, t2 = 0;
            if (!COP_PDO_Read_Data_wTime(h, kNode, 18, 3, &length, data, &t1, &t2))
                break;
            if (i == 0)
                first = MonotonicMicros();
            uint32_t counter;
            std::memcpy(&counter, data, 4);
            if (counter != uint32_t(i) && inOrder.exchange(false))
                std::printf("first PDO out of order at %ld (got %u): the FIFO dropped some\n", i, counter);
            read.store(i + 1);
        }
        last = MonotonicMicros();
        readerCpu = ThreadCpuMicros() - cpuStart;
    });
    const int64_t cpuBefore = ProcessCpuMicros();
    NMT_StartRemoteNode(h, kNode); // the peer answers with the burst
    reader.join();
    const int64_t cpuAll = ProcessCpuMicros() - cpuBefore;
    uint32_t received = 0, dropped = 0;
    PDO_Read_Receive_Count(h, kNode, 18, 3, &received, &dropped);
    const double seconds = double(last - first) / 1e6;
    std::printf("%-44s %8.0f frames/s (%ld read, %u received, %u dropped)\n", "PDO burst, one read per event wake",
                seconds > 0 ? double(read.load()) / seconds : 0.0, read.load(), received, dropped);
    if (read.load() > 0) {
        std::printf("%-44s %8.1f us per 1,000 frames\n", "CPU: library I/O thread (process - reader)",
                    double(cpuAll - readerCpu) * 1000 / double(read.load()));
        std::printf("%-44s %8.1f us per 1,000 frames\n", "CPU: reader thread (wait + read exports)",
                    double(readerCpu) * 1000 / double(read.load()));
    }

    SetOnline(h, 0);
    CloseInterface(h);
    UnloadDriver();
    return read.load() == burst && dropped == 0 ? 0 : 1;
}
