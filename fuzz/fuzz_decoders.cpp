// Arbitrary messages of arbitrary length into both decoders, each followed
// by a display pass, as the receive threads and the display timer would.
#include "TForm_MTU.h"

#include <QApplication>
#include <QTimer>

#include <cstdint>
#include <cstring>

namespace {

TForm_MTU &Monitor()
{
    static int argc = 1;
    static char name[] = "fuzz_decoders";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    (void)app;
    static TForm_MTU *form = [] {
        auto *f = new TForm_MTU;
        f->Timer1->stop();
        f->NodeId = 7;
        return f;
    }();
    return *form;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TForm_MTU &form = Monitor();
    // Input: a run of records [selector, length, bytes...]. The library's
    // buffers are 256 bytes; a record never reads past the input.
    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t selector = data[at];
        const uint8_t length = data[at + 1];
        at += 2;
        uint8_t buffer[256] = {};
        const size_t available = size - at < length ? size - at : length;
        std::memcpy(buffer, data + at, available);
        at += available;
        if (selector & 1)
            form.DecodeEmergency(uint8_t(selector >> 1), buffer, uint32_t(at * 977));
        else
            form.DecodePdoData(uint8_t(selector >> 1), length, buffer, uint32_t(at), uint32_t(at * 977));
        if (selector & 0x80)
            form.Timer1Timer();
    }
    form.Timer1Timer();
    return 0;
}
