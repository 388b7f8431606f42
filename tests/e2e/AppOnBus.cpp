#include "AppOnBus.h"

#include "BusConfiguration.h"

#include "Main.h"
#include "PeerThread.h"
#include "QtTestSupport.h"
#include "QEL_COPN_Interface.h"
#include "StartUp.h"
#include "TForm_MTU.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <csignal>

namespace {

constexpr int READY_LIMIT_MS = 30000;
constexpr int SIMULATOR_LIFETIME_S = 600;
// Often enough that the simulator never waits on a full pipe.
constexpr int SIMULATOR_DRAIN_MS = 20;

} // namespace

void UsePrivateConfigurationFolder()
{
    static QTemporaryDir folder;
    static const bool set = qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    (void)set;
}

bool InstallAppOnBusApplication()
{
    return InstallApplication([](int &argc, char **argv) {
        UsePrivateConfigurationFolder();
        return new QApplication(argc, argv);
    });
}

AppOnBus::AppOnBus()
{
    UsePrivateConfigurationFolder();
}

AppOnBus::~AppOnBus()
{
    // A binding that no session took over.
    delete CopnInterface;
    CopnInterface = nullptr;
}

std::string AppOnBus::StartSimulator(const std::vector<std::string> &options)
{
    url_ = privateBusUrl(freeLocalPort()).toStdString();
    // The simulator ends by itself in the end, even when this process is
    // killed before it can end it.
    std::vector<std::string> args = {"--interface", url_, "--seconds", std::to_string(SIMULATOR_LIFETIME_S)};
    args.insert(args.end(), options.begin(), options.end());
    simulator_ = std::make_unique<SimulatorProcess>(args);
    if (!simulator_->started())
        return "the simulator did not start";
    if (simulator_->waitLine("ready ", READY_LIMIT_MS).empty())
        return "the simulator did not get ready: " + simulator_->errorOutput();

    return StoreBusConfiguration(url_);
}

int AppOnBus::StopSimulator()
{
    return simulator_ ? simulator_->stop(SIGTERM) : -1;
}

int AppOnBus::Run(const std::function<void()> &user)
{
    return StartUp([&] {
        user();
        return 0;
    });
}

void AppOnBus::Choose(QRadioButton *mode)
{
    mode->click();
}

void AppOnBus::StartNetworkAccess()
{
    MainForm->Button_NetworkStartAccess->click();
}

void AppOnBus::StopNetworkAccess()
{
    MainForm->Button_NetworkStopAccess->click();
}

void AppOnBus::Browse(bool resetFirst)
{
    boxes.answers = resetFirst ? std::deque<QMessageBox::StandardButton>{QMessageBox::Yes}
                               : std::deque<QMessageBox::StandardButton>{QMessageBox::No, QMessageBox::Yes};
    MainForm->Button_NetworkBrowse->click();
}

bool AppOnBus::WhileMonitorShows(const std::function<void()> &look)
{
    bool shownModally = false;
    QTimer::singleShot(0, Form_MTU, [&] {
        shownModally = QApplication::activeModalWidget() == Form_MTU;
        look();
        Form_MTU->close();
    });
    MainForm->Button_OpenMonitorWindow->click();
    return shownModally;
}

bool AppOnBus::Until(const std::function<bool()> &condition, int limitMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        RunFor(5);
    }
    return true;
}

void AppOnBus::RunFor(int ms)
{
    // The application's own event loop, as it runs for a user: measured
    // CPU time is then the application's, not a polling loop's.
    QEventLoop loop;
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [this] {
        if (simulator_)
            simulator_->collect();
    });
    drain.start(SIMULATOR_DRAIN_MS);
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    if (simulator_)
        simulator_->collect();
}

const std::vector<std::string> &AppOnBus::SimulatorLines()
{
    simulator_->collect();
    return simulator_->lines();
}

bool AppOnBus::SimulatorSaid(const std::string &prefix)
{
    return !SimulatorLinesFrom(0, {prefix}).empty();
}

std::vector<std::string> AppOnBus::SimulatorLinesFrom(size_t first, const std::vector<std::string> &prefixes)
{
    std::vector<std::string> found;
    const std::vector<std::string> &lines = SimulatorLines();
    for (size_t i = first; i < lines.size(); ++i)
        for (const std::string &prefix : prefixes)
            if (lines[i].rfind(prefix, 0) == 0) {
                found.push_back(lines[i]);
                break;
            }
    return found;
}

bool AppOnBus::PdoCounts(uint8_t node, uint32_t *received, uint32_t *dropped) const
{
    // Not one of the binding's exports: asked of the library directly, the
    // same library the binding has loaded.
    return CopnInterface != nullptr &&
           ::PDO_Read_Receive_Count(CopnInterface->InterfaceHandle, node, 18, 3, received, dropped) != 0;
}
