// Draws the main window in several configurations, the About dialog and the
// monitor's pages into PNG files, to check by eye that every text fits:
//   tarnwick_app_screenshots OUTPUT_DIRECTORY
#include "AppTestSupport.h"
#include "BusHealthPanel.h"
#include "Dialogs.h"
#include "Form_AboutBox.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "QtTestSupport.h"
#include "RecordingControl.h"
#include "RecordingExport.h"
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

    TAboutBox about;
    Shoot(about, out.filePath(QStringLiteral("about.png")));

    // Listen-only: the monitor shows without asking the gateway anything.
    TForm_MTU monitor;
    monitor.ListenOnly = 1;
    for (QWidget *page : {monitor.TabSheet_MTU_Data, monitor.TabSheet_Dinbus, monitor.TabSheet_J1939}) {
        monitor.PageControl1->setCurrentWidget(page);
        Shoot(monitor, out.filePath(QStringLiteral("monitor-%1.png").arg(monitor.PageControl1->indexOf(page))));
    }
    return 0;
}
