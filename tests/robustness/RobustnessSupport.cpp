#include "RobustnessSupport.h"

#include "Main.h"
#include "Platform.h"
#include "QEL_COPN_Interface.h"
#include "StartUp.h"
#include "StringGrid.h"
#include "TForm_MTU.h"
#include "TThread_PdoData.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int TAP_LIMIT_MS = 120000;
constexpr char POOL_THREAD_NAME[] = "Thread (pooled)";
constexpr int POOL_SETTLE_LIMIT_MS = 60000;

// As the application's main starts.
const bool applicationInstalled = InstallAppOnBusApplication();

} // namespace

int EnvironmentNumber(const char *name, int fallback)
{
    const char *text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 ? int(value) : fallback;
}

std::string MtuCell(int column, int parameter)
{
    return Form_MTU->AdvStringGrid_MTU_Data->Cell(column, parameter);
}

std::string FaultCell(int fault)
{
    return Form_MTU->AdvStringGrid_MTU_FaultCodes->Cell(1, fault);
}

std::string DinBusCell(int byte)
{
    return Form_MTU->AdvStringGrid_DinBus->Cell(2, byte);
}

std::vector<std::string> MonitorPicture()
{
    std::vector<std::string> cells;
    cells.push_back(Form_MTU->StatusText().toStdString());
    for (int row = GATEWAY_MTU_PARAMETER_FIRST; row <= GATEWAY_MTU_PARAMETER_LAST; ++row)
        for (int column = 2; column <= 5; ++column)
            cells.push_back(MtuCell(column, row));
    for (int row = FAULT_FIRST_ROW; row <= FAULT_LAST_ROW; ++row)
        cells.push_back(FaultCell(row));
    for (int row = GATEWAY_DINBUS_BYTE_FIRST; row <= GATEWAY_DINBUS_BYTE_LAST; ++row)
        cells.push_back(DinBusCell(row));
    for (int slot = 0; slot < GATEWAY_J1939_SLOTS; ++slot)
        cells.push_back(Form_MTU->AdvStringGrid_J1939->Cell(2, slot + 1));
    return cells;
}

ProcessFigures MeasureSettledProcess(AppOnBus &app)
{
    QThreadPool::globalInstance()->waitForDone();
    // Other pools' threads end by themselves; longer than their expiry.
    app.Until([] {
        const std::vector<std::string> names = ThreadNames();
        return std::find(names.begin(), names.end(), POOL_THREAD_NAME) == names.end();
    }, POOL_SETTLE_LIMIT_MS);
    return MeasureProcess();
}

std::string JoinedThreadNames()
{
    std::string joined;
    for (const std::string &name : ThreadNames())
        joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

bool LibraryOnline()
{
    uint32_t online = 0;
    return CopnInterface != nullptr &&
           ::GetNodeOnline(CopnInterface->InterfaceHandle, GATEWAY_NODE, &online) != 0;
}

DisplayTicks::DisplayTicks(std::function<void()> look)
    : look_(std::move(look))
{
    // Connected after the window's own handler, so it runs after the drawing.
    connection_ = QObject::connect(Form_MTU->Timer1, &QTimer::timeout, [this] {
        ++count_;
        if (look_)
            look_();
    });
}

DisplayTicks::~DisplayTicks()
{
    QObject::disconnect(connection_);
}

::testing::AssertionResult FoundGateway(AppOnBus &app, QRadioButton *mode)
{
    app.Choose(mode);
    app.StartNetworkAccess();
    if (!app.boxes.boxes.empty())
        return ::testing::AssertionFailure() << "Start showed \"" << app.boxes.boxes.front().text.toStdString() << '"';
    if (!MainForm->Button_NetworkStopAccess->isEnabled())
        return ::testing::AssertionFailure() << "network access did not start";
    app.Browse();
    if (app.boxes.boxes.size() != 1)
        return ::testing::AssertionFailure() << "the browse showed " << app.boxes.boxes.size() << " boxes";
    app.boxes.boxes.clear();
    if (MainForm->StaticText_NodeFound->text() != QStringLiteral("7"))
        return ::testing::AssertionFailure() << "Node Found: " << MainForm->StaticText_NodeFound->text().toStdString();
    if (PdoDataThread == nullptr || !MainForm->Button_OpenMonitorWindow->isEnabled())
        return ::testing::AssertionFailure() << "monitoring did not start";
    return ::testing::AssertionSuccess();
}

bool StopGatewayAndReadTap(AppOnBus &app, SimulatorProcess &tap, TapReport *report)
{
    if (CopnInterface == nullptr || ::NMT_StopRemoteNode(CopnInterface->InterfaceHandle, GATEWAY_NODE) == 0)
        return false;
    std::string end;
    // The event loop keeps running meanwhile, so the application drains too.
    if (!app.Until([&] {
            tap.collect();
            for (const std::string &line : tap.lines())
                if (line.rfind("end pdos=", 0) == 0)
                    end = line;
            return !end.empty();
        }, TAP_LIMIT_MS))
        return false;
    unsigned long long pdos = 0, afterWrite = 0, emergencies = 0;
    if (std::sscanf(end.c_str(), "end pdos=%llu after-write=%llu emcys=%llu", &pdos, &afterWrite, &emergencies) != 3)
        return false;
    *report = {pdos, afterWrite, emergencies, {}};
    for (const std::string &line : tap.lines()) {
        unsigned index = 0, sub = 0, value = 0;
        if (std::sscanf(line.c_str(), "last 0x%x:%u 0x%x", &index, &sub, &value) == 3)
            report->last[{uint16_t(index), uint8_t(sub)}] = value;
    }
    return true;
}

std::vector<std::string> DifferencesFromLastSent(const TapReport &report)
{
    std::vector<std::string> differences;
    const auto compare = [&](const char *what, int row, const std::string &shown, const std::string &sent) {
        if (shown != sent)
            differences.push_back(std::string(what) + " " + std::to_string(row) + ": shows " + shown + ", last sent " +
                                  sent);
    };
    char text[32];
    for (const auto &[object, value] : report.last) {
        const auto [index, sub] = object;
        if (index == GATEWAY_INDEX_MTU_PARAMETER && sub >= GATEWAY_MTU_PARAMETER_FIRST && sub <= GATEWAY_MTU_PARAMETER_LAST) {
            std::snprintf(text, sizeof text, "0x%08x", value);
            compare("MTU parameter", sub, MtuCell(3, sub), text);
        } else if (index == GATEWAY_INDEX_DINBUS_BYTE && sub >= GATEWAY_DINBUS_BYTE_FIRST && sub <= GATEWAY_DINBUS_BYTE_LAST) {
            std::snprintf(text, sizeof text, "%x", value & 0xFF);
            compare("DinBus byte", sub, DinBusCell(sub), text);
        }
    }
    return differences;
}

PdoCounts GatewayPdoCounts(const AppOnBus &app)
{
    PdoCounts counts;
    app.PdoCounts(GATEWAY_NODE, &counts.received, &counts.dropped);
    return counts;
}
