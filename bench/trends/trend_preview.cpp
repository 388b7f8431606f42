// Shows the trend window with a minute of sample data, for a look at the
// layout (e.g. under Xvfb): trend_preview SECONDS [SPAN_MINUTES]
// Engine Speed ramps up and back; P-Lube Oil steps, and reads "Missing Data"
// for five seconds, which breaks its line.
#include "MonitorModel.h"
#include "TForm_Trend.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>

namespace {

void Send(TMonitorModel &model, uint8_t row, int32_t value, int64_t mono)
{
    const uint32_t v = uint32_t(value);
    const uint8_t data[8] = {0, uint8_t(GATEWAY_INDEX_MTU_PARAMETER), uint8_t(GATEWAY_INDEX_MTU_PARAMETER >> 8), row,
                             uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    model.DecodePdoData(7, 8, data, 0, uint32_t(mono));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int span = argc > 2 ? std::atoi(argv[2]) : 1;
    TMonitorModel model;
    const int64_t start = int64_t(7) << 32;
    int64_t mono = start;
    // 15:04:00 local time on the day of the first run, whatever the zone.
    const int64_t wall0 = 1765292640000000;
    TForm_Trend window(model, nullptr, {[&] { return mono; }, [&] { return wall0 + (mono - start); }});
    window.AddParameters({2, 22});
    for (int i = 0; i < 6000; ++i) {
        mono = start + int64_t(i) * 10000;
        const int phase = i % 3000;
        Send(model, 2, 800 + (phase < 1500 ? phase : 3000 - phase) * 2 / 3, mono);
        if (i % 10 == 0) {
            const bool missing = i >= 4000 && i < 4500;
            Send(model, 22, missing ? GATEWAY_MTU_MISSING_DATA : (i < 2500 ? 310 : 455), mono);
        }
        if (i % 1000 == 999)
            window.Collect();
    }
    window.Collect();
    window.SetSpanMinutes(span);
    window.show();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
