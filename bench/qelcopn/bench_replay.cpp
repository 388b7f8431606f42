// Replay as fast as possible: a recording of the gateway's multiplexed PDO
// played by the library (interface kind 5) into its PDO FIFO, drained by a
// reader thread as the monitor's PDO thread drains it and decoded by the
// monitor's decoder. Prints frames per second of wall time and of the
// process's CPU time (on a loaded machine the wall figure is the unfair one).
#include "GatewayObjects.h"
#include "MonitorModel.h"
#include "Platform.h"
#include "ProcessFigures.h"
#include "QEL_COPN.h"
#include "trace/CandumpLine.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace trace = qelcopn::trace;

namespace {

constexpr uint8_t kNode = 7;
constexpr uint16_t kPdoNumber = 3; // the gateway's fourth transmit PDO
constexpr uint8_t kRegister = 16, kRead = 18;

// A recording of `frames` PDOs 1 ms apart: MTU parameters round and round.
bool writeRecording(const std::string &path, long frames)
{
    std::FILE *file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return false;
    trace::TraceRecord record;
    record.frame.id = 0x180 + 0x100 * kPdoNumber + kNode;
    record.frame.length = 8;
    char line[trace::kMaxLine];
    for (long i = 0; i < frames; ++i) {
        const uint8_t parameter = uint8_t(1 + i % 254);
        const uint32_t value = uint32_t(i);
        const uint8_t bytes[8] = {0, uint8_t(GATEWAY_INDEX_MTU_PARAMETER), uint8_t(GATEWAY_INDEX_MTU_PARAMETER >> 8),
                                  parameter, uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                                  uint8_t(value >> 24)};
        std::copy(bytes, bytes + 8, record.frame.data);
        record.wallMicros = 1733750000'000000 + i * 1000;
        std::fwrite(line, 1, trace::formatLine(record, "can0", line), file);
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("bench.log")).toStdString();
    if (!writeRecording(path, frames) || !LoadDriver()) {
        std::fprintf(stderr, "cannot write %s or load the driver\n", path.c_str());
        return 1;
    }
    HardwareConfiguration hw{};
    hw.InterfaceType = QELCOPN_KIND_RECORDING;
    std::snprintf(hw.AccessPoint, sizeof hw.AccessPoint, "%s", path.c_str());
    for (int k = 0; k < 4; ++k)
        hw.Reserved[k] = uint8_t(QELCOPN_REPLAY_FASTEST >> (8 * k));
    uint32_t h = 0;
    int32_t event = 0;
    if (!OpenInterface(&h, &hw) || !AddPDO(h, kNode, kRegister, kPdoNumber, 0)
        || !COP_PDO_Get_Event(h, kNode, kRead, kPdoNumber, &event)) {
        std::fprintf(stderr, "cannot open the recording\n");
        return 1;
    }

    auto model = std::make_unique<TMonitorModel>();
    std::atomic<long> decoded{0};
    std::thread reader([&] {
        uint8_t length = 0, data[256];
        uint32_t sequence = 0, time = 0;
        while (decoded.load(std::memory_order_relaxed) < frames) {
            if (WaitForSingleObject(event, 1000) != 0)
                break;
            if (COP_PDO_Read_Data_wTime(h, kNode, kRead, kPdoNumber, &length, data, &sequence, &time)) {
                model->DecodePdoData(kNode, length, data, sequence, time);
                decoded.fetch_add(1, std::memory_order_relaxed);
            }
        }
    });

    const int64_t cpuStart = ProcessCpuMicros();
    const int64_t start = MonotonicMicros();
    SetOnline(h, 1);
    reader.join();
    const double seconds = double(MonotonicMicros() - start) / 1e6;
    const double cpuSeconds = double(ProcessCpuMicros() - cpuStart) / 1e6;
    uint32_t received = 0, dropped = 0;
    PDO_Read_Receive_Count(h, kNode, kRead, kPdoNumber, &received, &dropped);
    CloseInterface(h);
    UnloadDriver();

    std::printf("%-52s %10ld\n", "frames in the recording", frames);
    std::printf("%-52s %10ld (%u dropped)\n", "frames decoded", decoded.load(), dropped);
    std::printf("%-52s %10.0f frames/s (%.2f s)\n", "replay into the decoder, wall time", decoded / seconds, seconds);
    std::printf("%-52s %10.0f frames/s (%.2f s, both threads)\n", "replay into the decoder, per CPU second",
                decoded / cpuSeconds, cpuSeconds);
    std::printf("%-52s %10.1f us\n", "CPU per frame (reading, parsing, queues, decoding)", cpuSeconds * 1e6 / decoded);
    // The file is streamed: what the process holds does not grow with it.
    std::printf("%-52s %10.1f MiB (file %.1f MiB)\n", "resident memory after the replay",
                double(MeasureProcess().residentKiB) / 1024, double(QFileInfo(QString::fromStdString(path)).size()) / (1 << 20));
    return decoded.load() == frames && dropped == 0 ? 0 : 1;
}
