// A small CANopen node in a process of its own, hosting a private virtual
// bus: tests start it, read "ready" from its output, and end it by closing
// its input or by signal. It sends its boot-up once connected, answers SDO
// uploads and NMT resets, and prints every frame it receives as
// "rx ID BYTES" (hex), so a test can see what reached the bus.
//   qelcopn_test_peer --bus tcp://127.0.0.1:PORT/can0 [--node N]
#include "CanBusPort.h"
#include "Cia301.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <unistd.h>

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

class SdoServer {
public:
    SdoServer(CanBusPort &port, uint8_t node) : port_(port), node_(node) {}

    void handle(const CanFrame &f)
    {
        using namespace cia301;
        if (f.id == COB_NMT && f.length >= 2 && (f.data[1] == 0 || f.data[1] == node_)
            && (f.data[0] == NMT_RESET_COMMUNICATION || f.data[0] == NMT_RESET_NODE)) {
            send(COB_HEARTBEAT + node_, {NMT_STATE_BOOTUP}, 1);
            return;
        }
        if (f.id != COB_SDO_RX + node_ || f.length != 8)
            return;
        const uint8_t ccs = sdo::commandOf(f.data[0]);
        if (ccs == sdo::CCS_INITIATE_UPLOAD)
            initiate(f);
        else if (ccs == sdo::CCS_UPLOAD_SEGMENT)
            segment(f);
    }

private:
    void send(uint32_t id, std::initializer_list<uint8_t> bytes, uint8_t length)
    {
        CanFrame out;
        out.id = id;
        out.length = length;
        int i = 0;
        for (uint8_t b : bytes)
            out.data[i++] = b;
        port_.write(out);
    }
    void reply(const uint8_t (&data)[8])
    {
        CanFrame out;
        out.id = cia301::COB_SDO_TX + node_;
        out.length = 8;
        std::memcpy(out.data, data, 8);
        port_.write(out);
    }

    void initiate(const CanFrame &f)
    {
        const uint16_t index = uint16_t(f.data[1] | f.data[2] << 8);
        const uint8_t sub = f.data[3];
        if (index == 0x1000 && sub == 0) {
            reply({0x43, f.data[1], f.data[2], sub, uint8_t(kDeviceType), uint8_t(kDeviceType >> 8),
                   uint8_t(kDeviceType >> 16), uint8_t(kDeviceType >> 24)});
        } else if (index == 0x1008 && sub == 0) {
            offset_ = 0;
            const uint32_t size = sizeof kDeviceName - 1;
            reply({0x41, f.data[1], f.data[2], sub, uint8_t(size), 0, 0, 0});
        } else {
            const uint32_t code = cia301::sdo::ABORT_NO_OBJECT;
            reply({0x80, f.data[1], f.data[2], sub, uint8_t(code), uint8_t(code >> 8), uint8_t(code >> 16),
                   uint8_t(code >> 24)});
        }
    }

    void segment(const CanFrame &f)
    {
        const size_t size = sizeof kDeviceName - 1;
        const uint8_t t = f.data[0] & cia301::sdo::FLAG_TOGGLE;
        uint8_t data[8] = {};
        const size_t n = std::min<size_t>(7, size - offset_);
        std::memcpy(data + 1, kDeviceName + offset_, n);
        offset_ += n;
        data[0] = uint8_t(t | (7 - n) << 1 | (offset_ == size ? cia301::sdo::FLAG_LAST : 0));
        reply(data);
    }

    CanBusPort &port_;
    uint8_t node_;
    size_t offset_ = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString bus;
    int node = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--bus")
            bus = args[i + 1];
        else if (args[i] == "--node")
            node = args[i + 1].toInt();
    }
    if (bus.isEmpty() || !cia301::isNodeId(unsigned(node))) {
        std::fprintf(stderr, "usage: qelcopn_test_peer --bus tcp://127.0.0.1:PORT/can0 [--node 1..127]\n");
        return 2;
    }

    CanBusPort port;
    SdoServer server(port, uint8_t(node));
    port.setFrameHandler([&](const CanFrame &f, int64_t) {
        printFrame(f);
        server.handle(f);
    });
    QString error;
    if (port.open(2, bus, 250000, &error) != CanBusPort::OpenResult::Ok) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(bus), qPrintable(error));
        return 1;
    }
    // Boot-up, as a node does: it also tells a bus host that our
    // registration has reached it (the server handles lines in order).
    CanFrame bootUp;
    bootUp.id = cia301::COB_HEARTBEAT + uint32_t(node);
    bootUp.length = 1;
    port.write(bootUp);
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
