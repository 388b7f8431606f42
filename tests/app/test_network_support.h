// What the network tests share: a main window and a monitor window against
// the recording double, the adapter's calls without the receive threads'
// polling, the enabled state of the controls, and waiting on conditions.
#pragma once

#include "AppTestSupport.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "QtTestSupport.h"
#include "TForm_MTU.h"
#include "TThread_Emergency.h"
#include "TThread_PdoData.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace network_test {

constexpr uint32_t HANDLE = 0x42;
constexpr uint32_t GATEWAY_VENDOR = 0x141;

// The enabled state of every control that Start and Stop change.
struct Controls {
    bool start, stop, browse, openMonitor, configurationMenu, mode, versionInformation;
    bool operator==(const Controls &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Controls &c)
{
    return out << "{start " << c.start << ", stop " << c.stop << ", browse " << c.browse << ", open monitor "
               << c.openMonitor << ", configuration " << c.configurationMenu << ", mode " << c.mode
               << ", version " << c.versionInformation << "}";
}

constexpr Controls AT_START_UP{true, false, false, false, true, true, false};

// The receive threads poll the library on their own; these two names are
// left out wherever a test looks at what the window asked for.
inline bool IsReceiveThreadRead(const std::string &name)
{
    return name == "COP_PDO_Read_Data_wTime" || name == "CheckEmergency";
}

inline std::vector<qeldouble::Call> WindowCalls()
{
    std::vector<qeldouble::Call> calls;
    for (qeldouble::Call &call : qeldouble::Calls())
        if (!IsReceiveThreadRead(call.name))
            calls.push_back(std::move(call));
    return calls;
}

inline std::vector<std::string> WindowCallNames()
{
    std::vector<std::string> names;
    for (const qeldouble::Call &call : WindowCalls())
        names.push_back(call.name);
    return names;
}

// Waits for a condition, letting the event loop run; false on time-out.
// The limit is generous: it only ends a test whose condition never comes.
inline bool WaitUntil(const std::function<bool()> &condition, std::chrono::seconds limit = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The shapes of the override cursor (-1 for none) seen inside each call of
// the exports named, as the window works. The hooks share the record, so it
// outlives the test's scope.
using CursorsSeen = std::map<std::string, std::set<int>>;
inline std::shared_ptr<CursorsSeen> WatchCursor(const std::vector<std::string> &exports)
{
    auto seen = std::make_shared<CursorsSeen>();
    for (const std::string &name : exports)
        qeldouble::OnCall(name, [seen, name] {
            const QCursor *cursor = QApplication::overrideCursor();
            (*seen)[name].insert(cursor != nullptr ? int(cursor->shape()) : -1);
        });
    return seen;
}

inline void ExpectHourglassIn(const CursorsSeen &seen, const std::vector<std::string> &exports)
{
    for (const std::string &name : exports) {
        const auto it = seen.find(name);
        EXPECT_EQ(it != seen.end() ? it->second : std::set<int>{}, std::set<int>{Qt::WaitCursor}) << name;
    }
}

// How long after the first call of `first` the first call of `then` came.
inline std::chrono::steady_clock::duration Between(const std::string &first, const std::string &then)
{
    return qeldouble::CallsTo(then).at(0).at - qeldouble::CallsTo(first).at(0).at;
}

// A node that answers the survey with the given identity.
inline void ScriptNode(uint8_t node, uint32_t vendor, uint32_t product)
{
    qeldouble::SetNodeOnline(node, 1);
    qeldouble::SetObjectU32(node, 0x1000, 0, 0x000F0191);
    qeldouble::SetObjectU32(node, 0x1018, 1, vendor);
    qeldouble::SetObjectU32(node, 0x1018, 2, product);
}

class NetworkWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        qeldouble::Reset();
        qeldouble::SetInterfaceName(2, "Virtual CAN bus");
        qeldouble::SetStoredConfiguration(Hardware(2, "can0"), CANopen(0x105, 250000));
        qeldouble::SetOpenHandle(HANDLE);
        form = std::make_unique<TMainForm>();
        Form_MTU = new TForm_MTU;
        qeldouble::ClearCalls();
    }

    void TearDown() override
    {
        // The threads call the library and the monitor: they end first.
        form->StopMonitor();
        form.reset();
        delete CopnInterface;
        CopnInterface = nullptr;
        delete Form_MTU;
        Form_MTU = nullptr;
    }

    Controls Shown() const
    {
        return {form->Button_NetworkStartAccess->isEnabled(),
                form->Button_NetworkStopAccess->isEnabled(),
                form->Button_NetworkBrowse->isEnabled(),
                form->Button_OpenMonitorWindow->isEnabled(),
                form->MenuItem_NetworkConfiguration->isEnabled(),
                form->GroupBox_Mode->isEnabled(),
                form->VersionInformation1->isEnabled()};
    }

    void StartAccess() { form->Button_NetworkStartAccess->click(); }
    void StopAccess() { form->Button_NetworkStopAccess->click(); }

    // Opens the monitor window and closes it again once it shows; true
    // when it was shown modally.
    bool OpenAndCloseMonitor()
    {
        bool shownModally = false;
        QTimer::singleShot(0, Form_MTU, [&] {
            shownModally = QApplication::activeModalWidget() == Form_MTU;
            Form_MTU->close();
        });
        form->Button_OpenMonitorWindow->click();
        return shownModally;
    }

    ScopedWorkingDirectory directory;
    BoxRecorder boxes;
    std::unique_ptr<TMainForm> form;
};

} // namespace network_test
