// Draws the main window in several configurations, the About dialog and the
// monitor's pages into PNG files, to check by eye that every text fits:
//   tarnwick_app_screenshots OUTPUT_DIRECTORY
#include "AppTestSupport.h"
#include "BusHealthPanel.h"
#include "Dialogs.h"
#include "Form_AboutBox.h"
#include "Main.h"
#include "NetworkWindow.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "QtTestSupport.h"
#include "RecordingControl.h"
#include "RecordingExport.h"
#include "RecordingSession.h"
#include "RecordingStatus.h"
#include "SpinEdit.h"
#include "TForm_MTU.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QTest>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>

#include <cerrno>
#include <cstdio>
#include <functional>

namespace {

void Shoot(QWidget &window, const QString &file)
{
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

void ShootMainWindow(const QString &file, const HardwareConfiguration &hw, const CANopenConfiguration &co,
                     QRadioButton *TMainForm::*mode = &TMainForm::RadioButton_ListenOnly)
{
    qeldouble::SetStoredConfiguration(hw, co);
    {
        TMainForm form;
        (form.*mode)->click();
        Shoot(form, file);
        form.close();
    }
    delete CopnInterface;
    CopnInterface = nullptr;
}

// The main window after `prepare` has set it up, as shown.
void ShootPreparedMainWindow(const QString &file, const std::function<void(TMainForm &)> &prepare)
{
    qeldouble::SetStoredConfiguration(Hardware(2, "can0"), CANopen(127, 250000));
    {
        TMainForm form;
        form.show();
        prepare(form);
        Shoot(form, file);
        form.close();
    }
    delete CopnInterface;
    CopnInterface = nullptr;
}

// The bus health panel as network access shows it, with the longest texts.
void ShootBusHealth(const QString &file, const BusStatistics &statistics)
{
    ShootPreparedMainWindow(file, [&statistics](TMainForm &form) {
        form.BusHealth->SetActive(true);
        form.BusHealth->setText(BusHealthText(statistics));
    });
}

// The network window with a gateway, three more nodes and their emergencies,
// each text as long as it comes; and a row's menu.
void ShootNetworkWindow(const QDir &out)
{
    NodeStatus statuses[QELCOPN_NODE_TABLE_SIZE] = {};
    NodeIdentity identities[QELCOPN_NODE_TABLE_SIZE] = {};
    const auto heard = [&statuses](uint8_t node, uint8_t state, uint32_t periodMs, uint32_t silentMs) {
        statuses[node] = {1, state, 0, 0, periodMs, silentMs, 0, QELCOPN_NEVER_HEARD, 0, {}};
    };
    heard(7, 0x05, 1000, 180);
    heard(10, 0x7F, 250, 420);
    heard(11, 0x7F, 1000, 2400);
    statuses[11].Lost = 1;
    heard(12, 0x00, 0, 10);
    heard(99, 0xFF, 0, 60200);
    statuses[10].Emergencies = 12;
    statuses[10].LastEmergency[0] = 0x30;
    statuses[10].LastEmergency[1] = 0x81;
    const auto identify = [&identities](uint8_t node, const char *name, uint32_t product, uint32_t serial) {
        NodeIdentity &id = identities[node];
        id.Online = 1;
        id.ValidFields = VALID_VENDOR_ID | VALID_PRODUCT_CODE | VALID_REVISION_NUMBER | VALID_SERIAL_NUMBER |
                         VALID_DEVICE_NAME;
        id.VendorId = 0x141;
        id.ProductCode = product;
        id.RevisionNumber = 0x00010006;
        id.SerialNumber = serial;
        std::snprintf(id.DeviceName, sizeof id.DeviceName, "%s", name);
    };
    identify(7, "MTU Engine Gateway 1101", 1101, 100007);
    identify(10, "Tarnwick I/O Node", 2001, 200010);
    std::vector<network::EmergencyRow> emergencies;
    const uint16_t codes[] = {0x8110, 0x8120, 0x8130, 0x8140, 0xFF00, 0x0000, 0x4210, 0x8250};
    int64_t wallUs = 1796900000000000;
    for (uint16_t code : codes) {
        network::EmergencyRow row;
        row.node = code == 0xFF00 ? 7 : 10;
        row.length = 8;
        row.wallUs = (wallUs += 1234567);
        row.data[0] = uint8_t(code);
        row.data[1] = uint8_t(code >> 8);
        row.data[2] = code ? 0x91 : 0x00;
        row.data[7] = 0x2A;
        emergencies.push_back(row);
    }
    network::NetworkWindow window({[] { return true; }, {}, {}});
    window.show(statuses, identities, emergencies);
    Shoot(window, out.filePath(QStringLiteral("network.png")));
    QMenu *menu = window.menuFor(10);
    menu->popup(window.mapToGlobal(QPoint(120, 80)));
    QApplication::processEvents();
    if (!menu->grab().save(out.filePath(QStringLiteral("network-menu.png"))))
        std::fprintf(stderr, "cannot write network-menu.png\n");
    menu->hide();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    ScopedWorkingDirectory directory;
    SetMessageBoxHook([](const QString &, const QString &, QMessageBox::StandardButtons) { return QMessageBox::Ok; });
    qeldouble::SetInterfaceName(1, "SocketCAN");
    qeldouble::SetInterfaceName(2, "Virtual CAN bus");
    qeldouble::SetInterfaceName(3, "PEAK PCAN");
    qeldouble::SetInterfaceName(7, "Unknown interface (7)");

    ShootMainWindow(out.filePath(QStringLiteral("main-listen-only.png")), Hardware(2, "can0"), CANopen(127, 250000));
    ShootMainWindow(out.filePath(QStringLiteral("main-cyclic.png")), Hardware(2, "tcp://127.0.0.1:40000/can0"),
                    CANopen(127, 250000), &TMainForm::RadioButton_Cyclic);
    ShootMainWindow(out.filePath(QStringLiteral("main-socketcan.png")), Hardware(1, "can0"), CANopen(1, 1000000),
                    &TMainForm::RadioButton_COS);
    ShootMainWindow(out.filePath(QStringLiteral("main-port.png")), Hardware(7, {}, 0x300, 5), CANopen(99, 83333));
    ShootMainWindow(out.filePath(QStringLiteral("main-com.png")), Hardware(3, {}, 0, 0, 3, 19200), CANopen(5, 125000));

    BusStatistics busy{};
    busy.FramesPerSecondReceived = 9000;
    busy.FramesPerSecondSent = 26;
    busy.LoadPermille = 1000;
    busy.ErrorFrames = 1234;
    busy.FramesLost = 56789;
    ShootBusHealth(out.filePath(QStringLiteral("main-bus-health.png")), busy);
    busy.State = QELCOPN_BUS_ERROR_PASSIVE;
    busy.SilentMs = 125000;
    ShootBusHealth(out.filePath(QStringLiteral("main-bus-silent.png")), busy);

    // The interface picture with the keyboard's focus on it: Tab from the
    // last enabled control comes round to it.
    ShootPreparedMainWindow(out.filePath(QStringLiteral("main-picture-focus.png")), [](TMainForm &form) {
        form.activateWindow();
        (void)QTest::qWaitForWindowActive(&form);
        form.AdvSpinEdit_NodeID->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    });

    // A recording on a disk that filled up, beside the bus line: the
    // longest status the recording shows.
    const QString failing = RecordingStatusText(QStringLiteral("/r/2026-12-09_15-30-00.log"), 4062, 4965, ENOSPC);
    ShootPreparedMainWindow(out.filePath(QStringLiteral("main-recording-failing.png")), [&](TMainForm &form) {
        form.BusHealth->SetActive(true);
        form.BusHealth->setText(BusHealthText(busy));
        ShowStatusText({form.Recording->StatusLabel}, failing);
    });

    // The Recording menu, and a recording's export under way.
    ShootPreparedMainWindow(out.filePath(QStringLiteral("recording-menu.png")), [&out](TMainForm &form) {
        QMenu *menu = form.Recording->Menu;
        menu->popup(form.mapToGlobal(QPoint(0, 0)));
        Shoot(*menu, out.filePath(QStringLiteral("recording-menu-popup.png")));
        menu->close();
    });
    {
        const std::unique_ptr<QProgressDialog> progress = NewExportProgressDialog(
            nullptr, QStringLiteral("2026-12-09_15-30-00.log"), qelcopn::trace::TraceFormat::Blf);
        progress->setValue(420);
        Shoot(*progress, out.filePath(QStringLiteral("export-progress.png")));
    }
    ShootNetworkWindow(out);

    TAboutBox about;
    Shoot(about, out.filePath(QStringLiteral("about.png")));

    // Listen-only: the monitor shows without asking the gateway anything.
    TForm_MTU monitor;
    monitor.ListenOnly = 1;
    ShowStatusText({StatusLabelIn(monitor.StatusBar1, QStringLiteral("RecordingStatus"))},
                   RecordingStatusText(QStringLiteral("/r/2026-12-09_15-30-00.log"), 4062, 4965, ENOSPC, false));
    for (QWidget *page : {monitor.TabSheet_MTU_Data, monitor.TabSheet_Dinbus, monitor.TabSheet_J1939}) {
        monitor.PageControl1->setCurrentWidget(page);
        Shoot(monitor, out.filePath(QStringLiteral("monitor-%1.png").arg(monitor.PageControl1->indexOf(page))));
    }
    return 0;
}
