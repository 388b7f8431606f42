#include "StartUp.h"

#include "BlackBoxControl.h"
#include "Dialogs.h"
#include "Form_AboutBox.h"
#include "KeyboardAccess.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "TForm_MTU.h"
#include "TForm_Trend.h"

#include <QApplication>

#include <cstdlib>

namespace {

void CreateForms()
{
    MainForm = new TMainForm;
    QObject::connect(MainForm, &TMainForm::Closed, qApp, &QCoreApplication::quit);
    Form_MTU = new TForm_MTU;
    QObject::connect(Form_MTU, &TForm_MTU::PlotTrendRequested, Form_MTU,
                     [](const QList<int> &rows) { PlotTrend(*Form_MTU, Form_MTU, rows); });
    MainForm->BlackBox->WatchMonitor(Form_MTU);
    AboutBox = new TAboutBox;
}

// Whatever way the loop ended: the adapter goes offline and the library is
// released before the windows that the receive threads feed.
void ReleaseForms()
{
    delete AboutBox;
    AboutBox = nullptr;
    if (MainForm != nullptr) {
        MainForm->FormClose();
    } else {
        delete CopnInterface;
        CopnInterface = nullptr;
    }
    delete Form_MTU;
    Form_MTU = nullptr;
    delete MainForm;
    MainForm = nullptr;
}

} // namespace

int StartUp(const std::function<int()> &messageLoop)
{
    try {
        QCoreApplication::setApplicationName(APPLICATION_TITLE);
        InstallKeyboardContextMenu();
        CreateForms();
        MainForm->show();
        if (messageLoop)
            messageLoop();
        else
            QApplication::exec();
    } catch (const std::exception &error) {
        ShowException(error);
    }
    RunGuarded(ReleaseForms);
    return 0;
}
