// A small CANopen node in a process of its own, hosting a private virtual
// bus: tests start it, read "ready" from its output, and end it by closing
// its input or by signal. It sends its boot-up once connected, answers SDO
// uploads and NMT resets, and prints every frame it receives as
// "rx ID BYTES" (hex), so a test can see what reached the bus.
// With --burst N (for benchmarks) it prints no frames and answers an NMT
// start with N transmit PDOs (0x480 + node, a counter in bytes 0..3) as
// fast as the bus takes them.
//   qelcopn_test_peer --bus tcp://127.0.0.1:PORT/can0 [--node N] [--burst N]
#include "transport/CanBusPort.h"
#include "protocol/Cia301.h"
#include "ScriptedPeer.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::CanBusPort;

namespace {

// Objects the peer serves: the device type (expedited) and the device name
// (segmented).
constexpr uint32_t kDeviceType = 0x00000191;
constexpr char kDeviceName[] = "Tarnwick test peer";

void printFrame(const CanFrame &f)
{
    std::printf("rx %03X", unsigned(f.id));
    for (int i = 0; i < f.length; ++i)
        std::printf(" %02X", f.data[i]);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString bus;
    int node = 5;
    long burst = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--bus")
            bus = args[i + 1];
        else if (args[i] == "--node")
            node = args[i + 1].toInt();
        else if (args[i] == "--burst")
            burst = args[i + 1].toLong();
    }
    if (bus.isEmpty() || !cia301::isNodeId(unsigned(node))) {
        std::fprintf(stderr, "usage: qelcopn_test_peer --bus tcp://127.0.0.1:PORT/can0 [--node 1..127]\n");
        return 2;
    }

    CanBusPort port;
    ScriptedPeer server{uint8_t(node)};
    server.setObject(0x1000, 0, {uint8_t(kDeviceType), uint8_t(kDeviceType >> 8), uint8_t(kDeviceType >> 16),
                                 uint8_t(kDeviceType >> 24)});
    server.setObject(0x1008, 0, std::vector<uint8_t>(kDeviceName, kDeviceName + sizeof kDeviceName - 1));
    std::vector<uint8_t> block(256);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = uint8_t(i);
    server.setObject(0x2000, 0, block); // a full 256-byte upload
    port.setFrameHandler([&](const CanFrame &f, int64_t) {
        if (burst == 0)
            printFrame(f);
        const auto action = server.handle(f, [&](const CanFrame &out) { return port.write(out); });
        if (burst > 0 && action == ScriptedPeer::Action::Start) {
            CanFrame pdo;
            pdo.id = cia301::tpdoCobId(3, uint8_t(node));
            pdo.length = 8;
            for (uint32_t i = 0; i < uint32_t(burst); ++i) {
                std::memcpy(pdo.data, &i, sizeof i);
                port.write(pdo);
            }
        }
    });
    QString error;
    if (port.open(2, bus, 250000, &error) != CanBusPort::OpenResult::Ok) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(bus), qPrintable(error));
        return 1;
    }
    // Boot-up, as a node does: it also tells a bus host that our
    // registration has reached it (the server handles lines in order).
    port.write(server.bootUp());
    std::printf("ready\n");
    std::fflush(stdout);

    // End of input (the test closed it or went away) ends the peer.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}
