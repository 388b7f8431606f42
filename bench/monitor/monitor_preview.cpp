// Shows the monitor window with sample data on one tab, for a look at the
// layout (e.g. under Xvfb): monitor_preview TAB SECONDS [locked|menu|flood]
//   TAB 0..4: "MTU Engine Data", "MTU Fault Codes", "DinBus", "J1939 Data", "History".
//   menu: the tab's grid with its context menu open.
//   flood: more fault changes at once than the history's queue and bound hold.
#include "Platform.h"
#include "StringGrid.h"
#include "TForm_MTU.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Pdo(TForm_MTU &form, uint16_t index, uint8_t sub, uint32_t value, uint32_t rxTime)
{
    const uint8_t data[8] = {0, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(value), uint8_t(value >> 8),
                             uint8_t(value >> 16), uint8_t(value >> 24)};
    form.DecodePdoData(7, 8, data, rxTime, rxTime);
}

void FillSamples(TForm_MTU &form, uint32_t base)
{
    for (uint8_t n = 1; n <= 40; ++n)
        Pdo(form, GATEWAY_INDEX_MTU_PARAMETER, n, n * 100u, base + n * 1000u);
    Pdo(form, GATEWAY_INDEX_MTU_PARAMETER, 3, 0x80000001u, base + 3500u);
    for (uint8_t n = 1; n <= 36; ++n)
        Pdo(form, GATEWAY_INDEX_DINBUS_BYTE, n, n * 7u, base);
    for (uint8_t s = 0; s < 32; ++s)
        Pdo(form, uint16_t(0x3400 + s), 1, 0x04030201u * (s + 1), base);
    const uint8_t fault[8] = {0x00, 0x00, 0, 1, 12, 0, 1, 0};
    form.NodeId = 7;
    form.DecodeEmergency(7, fault, base);
    form.Timer1Timer();
}

void Emergency(TForm_MTU &form, uint16_t code, uint8_t kind, uint16_t fault, uint16_t state, uint32_t rxTime)
{
    const uint8_t message[8] = {uint8_t(code), uint8_t(code >> 8), 0, kind, uint8_t(fault), uint8_t(fault >> 8),
                                uint8_t(state), uint8_t(state >> 8)};
    form.DecodeEmergency(7, message, rxTime);
}

// A few minutes of an intermittent engine: the MTU flapping, faults coming and going.
void FillHistory(TForm_MTU &form)
{
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    const uint32_t start = uint32_t(uint64_t(now)) - 300u * 1000000u;
    uint32_t at = start;
    Emergency(form, 0x0000, 0, 0, 0, at);
    for (int round = 0; round < 6; ++round) {
        Emergency(form, 0x0000, 1, 23, 1, at += 12345678u);
        Emergency(form, 0x0000, 1, 23, 0, at += 20417u);
        Emergency(form, 0x0000, 1, 117, 1, at += 1503002u);
        Emergency(form, 0xFF00, 0, 0, 0, at += 3000000u);
        Emergency(form, 0x0000, 0, 0, 0, at += 3000125u);
        Emergency(form, 0x0000, 1, 117, 0, at += 2200771u);
    }
    form.Timer1Timer();
}

TStringGrid *GridOfTab(TForm_MTU &form, int tab)
{
    TStringGrid *grids[] = {form.AdvStringGrid_MTU_Data, form.AdvStringGrid_MTU_FaultCodes,
                            form.AdvStringGrid_DinBus, form.AdvStringGrid_J1939};
    return tab >= 0 && tab < 4 ? grids[tab] : nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int tab = argc > 1 ? std::atoi(argv[1]) : 0;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    const bool locked = argc > 3 && std::strcmp(argv[3], "locked") == 0;
    const bool menu = argc > 3 && std::strcmp(argv[3], "menu") == 0;
    const bool flood = argc > 3 && std::strcmp(argv[3], "flood") == 0;
    TForm_MTU form;
    Form_MTU = &form;
    FillSamples(form, uint32_t(form.CounterBase));
    FillHistory(form);
    for (int round = 0; flood && round < 3; ++round) {
        int64_t now = 0;
        QueryPerformanceCounter(&now);
        for (uint32_t i = 0; i < 80000; ++i)
            Emergency(form, 0x0000, 1, uint16_t(1 + i % 400), uint16_t(i / 400 % 2 == 0), uint32_t(uint64_t(now)));
        form.Timer1Timer();
    }
    if (locked) {
        form.CheckBox_DataLocked->setChecked(true);
        Pdo(form, GATEWAY_INDEX_MTU_PARAMETER, 2, 101, uint32_t(form.CounterBase) + 90000u);
        form.Timer1Timer();
    }
    form.show();
    form.PageControl1->setCurrentIndex(tab);
    // Hold the flashing banner up so that it can be looked at.
    form.Timer_Flash->stop();
    form.StaticText_MTUOffline->show();
    if (TStringGrid *grid = GridOfTab(form, tab); menu && grid != nullptr)
        QTimer::singleShot(300, &form, [grid] {
            const QPoint at(grid->horizontalHeader()->sectionPosition(1) + 40, 60);
            emit grid->customContextMenuRequested(at);
        });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
