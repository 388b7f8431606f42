// The main window against the recording double: the configuration display,
// the picture, the configuration window, the modes, About, the window
// position, the close, and the window as a keyboard and a screen reader meet it.
#include "AppTestSupport.h"
#include "Form_AboutBox.h"
#include "KeyboardAccess.h"
#include "KeyboardWalk.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "QtTestSupport.h"
#include "SpinEdit.h"
#include "TextFit.h"

#include <QAccessible>
#include <QAction>
#include <QEnterEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Display {
    QString type, caption1, value1;
    bool secondShown;
    QString caption2, value2, baud, nodeId;
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        qeldouble::Reset();
        qeldouble::SetInterfaceName(1, "SocketCAN");
        qeldouble::SetInterfaceName(2, "Virtual CAN bus");
    }
    void TearDown() override
    {
        form.reset();
        delete CopnInterface;
        CopnInterface = nullptr;
    }

    TMainForm &Open(const HardwareConfiguration &hw = Hardware(2, "can0"), const CANopenConfiguration &co = CANopen(127, 250000))
    {
        qeldouble::SetStoredConfiguration(hw, co);
        form = std::make_unique<TMainForm>();
        return *form;
    }

    // Accepts the library's configuration window with new records.
    void Reconfigure(const HardwareConfiguration &hw, const CANopenConfiguration &co = CANopen(127, 250000))
    {
        qeldouble::SetConfigurationWindowRecords(hw, co);
        form->MenuItem_NetworkConfiguration->trigger();
    }

    Display Shown() const
    {
        const bool second = !form->StaticText_InterfaceConfigLabel2->isHidden();
        EXPECT_EQ(second, !form->StaticText_InterfaceConfig2->isHidden()) << "caption and value go together";
        return {form->StaticText_InterfaceType->text(), form->StaticText_InterfaceConfigLabel1->text(),
                form->StaticText_InterfaceConfig1->text(), second,
                second ? form->StaticText_InterfaceConfigLabel2->text() : QString(),
                second ? form->StaticText_InterfaceConfig2->text() : QString(),
                form->StaticText_CANopenBaud->text(), form->StaticText_NodeID->text()};
    }

    ScopedWorkingDirectory directory;
    BoxRecorder boxes;
    std::unique_ptr<TMainForm> form;
};

void ExpectDisplay(const Display &shown, const Display &expected, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(shown.type, expected.type);
    EXPECT_EQ(shown.caption1, expected.caption1);
    EXPECT_EQ(shown.value1, expected.value1);
    EXPECT_EQ(shown.secondShown, expected.secondShown);
    EXPECT_EQ(shown.caption2, expected.caption2);
    EXPECT_EQ(shown.value2, expected.value2);
    EXPECT_EQ(shown.baud, expected.baud);
    EXPECT_EQ(shown.nodeId, expected.nodeId);
}

TEST_F(MainWindow, StartUpLoadsTheDriverReadsTheConfigurationAndShowsIt)
{
    Open(Hardware(2, "can0"), CANopen(127, 250000));
    EXPECT_TRUE(boxes.boxes.empty());
    const auto names = qeldouble::CallNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ((std::vector<std::string>(names.begin(), names.begin() + 3)),
              (std::vector<std::string>{"LoadDriver", "ReadConfiguration", "GetInterfaceName"}));
    EXPECT_EQ(qeldouble::CallsTo("ReadConfiguration")[0].text, REGISTRY_PATH);
    ExpectDisplay(Shown(), {"Virtual CAN bus", "Access Point:", "can0", false, {}, {}, "250k", "127"}, "virtual bus");
    EXPECT_EQ(form->GatewayNodeId, 7);
    EXPECT_EQ(form->NodeFound, 0);
    EXPECT_EQ(form->GatewayProductCode, 0);
}

TEST_F(MainWindow, ConfigurationDisplayFollowsAccessPointThenPortThenComPort)
{
    Open(Hardware(2, "can0", 0x300, 5, 3, 9600), CANopen(1, 125000));
    ExpectDisplay(Shown(), {"Virtual CAN bus", "Access Point:", "can0", false, {}, {}, "125k", "1"}, "all three set");

    Reconfigure(Hardware(7, {}, 0x300, 5, 3, 9600), CANopen(0x105, 1000000));
    ExpectDisplay(Shown(), {"Unknown interface (7)", "Port:", "768", true, "IRQ:", "5", "1000k", "261"}, "port with IRQ");

    Reconfigure(Hardware(7, {}, 0x300, 0, 3, 9600), CANopen(0xFFFFFFFF, 83333));
    ExpectDisplay(Shown(), {"Unknown interface (7)", "Port:", "768", false, {}, {}, "83k", "4294967295"}, "port without IRQ");

    Reconfigure(Hardware(0, {}, 0, 0, 3, 19200), CANopen(2, 0));
    ExpectDisplay(Shown(), {"Unknown interface (0)", "COM Port:", "COM3", true, "COM Baud:", "19200", "0k", "2"}, "COM port with speed");

    Reconfigure(Hardware(0, {}, 0, 9, 3, 0), CANopen(2, 4294967295u));
    ExpectDisplay(Shown(), {"Unknown interface (0)", "COM Port:", "COM3", false, {}, {}, "4294967k", "2"}, "COM port without speed");

    Reconfigure(Hardware(1, {}, 0, 9, 0, 9600), CANopen(127, 250000));
    ExpectDisplay(Shown(), {"SocketCAN", "Not Configured", "", false, {}, {}, "250k", "127"}, "nothing set");
}

TEST_F(MainWindow, LibraryTextsAreReadNoFurtherThanTheirBuffers)
{
    HardwareConfiguration hw = Hardware(5);
    std::memset(hw.AccessPoint, 'A', sizeof hw.AccessPoint); // no zero byte at all
    qeldouble::SetInterfaceNameBytes(5, std::vector<char>(256, 'N'));
    Open(hw, CANopen(127, 250000));
    EXPECT_EQ(form->StaticText_InterfaceConfig1->text(), QString(256, QLatin1Char('A')));
    EXPECT_EQ(form->StaticText_InterfaceType->text(), QString(256, QLatin1Char('N')));
    // Too long for the box: shown shortened, whole in the tooltip, inside the box.
    EXPECT_TRUE(form->StaticText_InterfaceConfig1->Shortened());
    EXPECT_EQ(form->StaticText_InterfaceConfig1->toolTip(), QString(256, QLatin1Char('A')));
    EXPECT_LE(form->StaticText_InterfaceConfig1->geometry().right(), form->GroupBox8->width() - 4);

    // A value that fits again is shown whole, without a tooltip.
    Reconfigure(Hardware(5, "can0"));
    EXPECT_FALSE(form->StaticText_InterfaceConfig1->Shortened());
    EXPECT_TRUE(form->StaticText_InterfaceConfig1->toolTip().isEmpty());
}

TEST_F(MainWindow, InterfaceTypeShowsTheBufferWhateverTheResult)
{
    // A kind the library has no name for: its text says so.
    Open(Hardware(7, "can0"));
    EXPECT_EQ(form->StaticText_InterfaceType->text(), QStringLiteral("Unknown interface (7)"));
    // A failing call's text is shown too.
    qeldouble::SetInterfaceName(2, "Partly known");
    qeldouble::SetResult("GetInterfaceName", 0);
    Reconfigure(Hardware(2, "can0"));
    EXPECT_EQ(form->StaticText_InterfaceType->text(), QStringLiteral("Partly known"));
}

TEST_F(MainWindow, PictureIsChosenOnceByInterfaceType)
{
    for (const auto &[type, picture] : {std::pair<uint32_t, int>{1, 0}, {0, 1}, {2, 1}, {7, 1}, {0x101, 1}}) {
        Open(Hardware(type, "can0"));
        EXPECT_EQ(form->InterfacePicture, picture) << "type " << type;
        const QImage expected = form->ImageList1[size_t(picture)].scaled(33, 33).toImage();
        EXPECT_EQ(form->Image_Interface->pixmap().toImage(), expected.convertToFormat(
                      form->Image_Interface->pixmap().toImage().format())) << "type " << type;
        form.reset();
        delete CopnInterface;
        CopnInterface = nullptr;
    }
    Open(Hardware(1, "can0"));
    Reconfigure(Hardware(2, "can1"));
    EXPECT_EQ(form->StaticText_InterfaceConfig1->text(), QStringLiteral("can1"));
    EXPECT_EQ(form->InterfacePicture, 0) << "a later configuration leaves the picture";
}

TEST_F(MainWindow, AcceptedConfigurationIsSavedAndShownCancelledChangesNothing)
{
    Open(Hardware(2, "can0"), CANopen(127, 250000));
    qeldouble::ClearCalls();
    qeldouble::SetConfigurationWindowRecords(Hardware(2, "can1"), CANopen(5, 500000));

    qeldouble::QueueResults("CANopenConfigurationWindow", {0});
    form->MenuItem_NetworkConfiguration->trigger();
    EXPECT_EQ(qeldouble::CallNames(), std::vector<std::string>{"CANopenConfigurationWindow"});
    ExpectDisplay(Shown(), {"Virtual CAN bus", "Access Point:", "can0", false, {}, {}, "250k", "127"}, "cancelled");

    // The pop-up item does the same; a failed save is not reported.
    qeldouble::ClearCalls();
    qeldouble::SetResult("SaveConfiguration", 0);
    form->NetworkConfiguration1->trigger();
    EXPECT_EQ((std::vector<std::string>{"CANopenConfigurationWindow", "SaveConfiguration", "GetInterfaceName"}),
              qeldouble::CallNames());
    const auto save = qeldouble::CallsTo("SaveConfiguration").at(0);
    EXPECT_EQ(save.text, REGISTRY_PATH);
    const auto saved = qeldouble::LastSavedConfiguration();
    ASSERT_TRUE(saved.has_value());
    EXPECT_STREQ(saved->first.AccessPoint, "can1");
    EXPECT_EQ(saved->second.Baud, 500000u);
    ExpectDisplay(Shown(), {"Virtual CAN bus", "Access Point:", "can1", false, {}, {}, "500k", "5"}, "accepted");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindow, DriverThatWillNotLoadIsReportedAndTheWindowStillShows)
{
    qeldouble::SetResult("LoadDriver", 0);
    Open(Hardware(2, "can0"), CANopen(127, 250000));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Cannot Load Driver"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("ERROR"));
    EXPECT_EQ(boxes.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(qeldouble::CallCount("ReadConfiguration"), 1u);
    EXPECT_EQ(form->StaticText_InterfaceConfig1->text(), QStringLiteral("can0"));
}

TEST_F(MainWindow, ModeSwitchingShowsTheRightControlsAndKeepsTheNodeId)
{
    Open();
    EXPECT_TRUE(form->RadioButton_ListenOnly->isChecked());
    EXPECT_FALSE(form->AdvSpinEdit_NodeID->isHidden());
    EXPECT_FALSE(form->AdvSpinEdit_NodeID->Caption()->isHidden());
    EXPECT_TRUE(form->Button_NetworkBrowse->isHidden());
    EXPECT_TRUE(form->StaticText1->isHidden());
    EXPECT_TRUE(form->StaticText_NodeFound->isHidden());
    EXPECT_EQ(form->GatewayNodeId, 7);

    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("300"));
    EXPECT_EQ(form->GatewayNodeId, 44);
    form->AdvSpinEdit_NodeID->SetText(QString());
    EXPECT_EQ(form->GatewayNodeId, 0);
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("-1"));
    EXPECT_EQ(form->GatewayNodeId, 255);
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("12"));

    form->RadioButton_Cyclic->click();
    EXPECT_TRUE(form->AdvSpinEdit_NodeID->isHidden());
    EXPECT_TRUE(form->AdvSpinEdit_NodeID->Caption()->isHidden());
    EXPECT_FALSE(form->Button_NetworkBrowse->isHidden());
    EXPECT_FALSE(form->StaticText1->isHidden());
    EXPECT_FALSE(form->StaticText_NodeFound->isHidden());
    EXPECT_EQ(form->GatewayNodeId, 12);

    // The spin edit reaches the node ID in every mode.
    form->AdvSpinEdit_NodeID->SetText(QStringLiteral("20"));
    EXPECT_EQ(form->GatewayNodeId, 20);
    form->GatewayNodeId = 33; // as a browse would set it
    form->RadioButton_COS->click();
    EXPECT_TRUE(form->AdvSpinEdit_NodeID->isHidden());
    EXPECT_EQ(form->GatewayNodeId, 33);
    form->RadioButton_ListenOnly->click();
    EXPECT_FALSE(form->AdvSpinEdit_NodeID->isHidden());
    EXPECT_EQ(form->GatewayNodeId, 20) << "back in listen-only mode the spin edit's value counts";
    EXPECT_EQ(form->StaticText_NodeFound->text(), QStringLiteral("None"));
    EXPECT_EQ(form->NodeFound, 0);
    EXPECT_EQ(form->GatewayProductCode, 0);
}

TEST_F(MainWindow, CaptionsMenusAndInitialStates)
{
    Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("QEL,LLC. Tarnwick"));
    EXPECT_EQ(form->centralWidget()->size(), QSize(432, 214));
    EXPECT_EQ(form->StatusLine->height(), 23);
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "no resizing";
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(form->GroupBox8->title(), QStringLiteral("CANopen Interface:"));
    EXPECT_EQ(form->StaticText25->text(), QStringLiteral("Interface Type:"));
    EXPECT_EQ(form->StaticText26->text(), QStringLiteral("Baud Rate:"));
    EXPECT_EQ(form->StaticText27->text(), QStringLiteral("Node ID:"));
    EXPECT_EQ(form->GroupBox_Mode->title(), QStringLiteral("Mode:"));
    EXPECT_TRUE(form->GroupBox_Mode->isEnabled());
    EXPECT_EQ(form->RadioButton_ListenOnly->text(), QStringLiteral("Listen Only"));
    EXPECT_EQ(form->RadioButton_Cyclic->text(), QStringLiteral("Cyclic"));
    EXPECT_EQ(form->RadioButton_COS->text(), QStringLiteral("COS"));
    EXPECT_EQ(form->AdvSpinEdit_NodeID->Caption()->text(), QStringLiteral("Node ID:"));
    EXPECT_EQ(form->StaticText1->text(), QStringLiteral("Node Found:"));

    const std::tuple<QPushButton *, const char *, bool> buttons[] = {
        {form->Button_NetworkStartAccess, "Start Network Access", true},
        {form->Button_NetworkBrowse, "Network Browse", false},
        {form->Button_OpenMonitorWindow, "Open Monitor Window", false},
        {form->Button_NetworkStopAccess, "Stop Network Access", false},
    };
    for (const auto &[button, text, enabled] : buttons) {
        EXPECT_EQ(button->text(), QString::fromLatin1(text));
        EXPECT_EQ(button->isEnabled(), enabled) << text;
    }

    const QList<QAction *> menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("Network"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("Help"));
    EXPECT_EQ(form->MainMenu_Network->actions(),
              (QList<QAction *>{form->MenuItem_NetworkConfiguration, form->MenuItem_NetworkNodes}));
    EXPECT_EQ(form->MenuItem_NetworkConfiguration->text(), QStringLiteral("Configuration"));
    EXPECT_EQ(form->MenuItem_NetworkNodes->text(), QStringLiteral("Nodes..."));
    EXPECT_TRUE(form->MenuItem_NetworkConfiguration->isEnabled());
    EXPECT_EQ(form->MainMenu_Help->actions(), (QList<QAction *>{form->VersionInformation1, form->About1}));
    EXPECT_EQ(form->VersionInformation1->text(), QStringLiteral("Version Information"));
    EXPECT_FALSE(form->VersionInformation1->isEnabled());
    EXPECT_EQ(form->About1->text(), QStringLiteral("About"));
    EXPECT_EQ(form->PopupMenu1->actions(), QList<QAction *>{form->NetworkConfiguration1});
    EXPECT_EQ(form->NetworkConfiguration1->text(), QStringLiteral("Network Configuration"));
}

TEST_F(MainWindow, EveryTextFitsItsControl)
{
    Open(Hardware(2, "can0", 0, 0, 0, 0), CANopen(127, 1000000));
    form->RadioButton_Cyclic->click();
    ExpectEveryTextFits(form.get());
    // Captions end before the values' column.
    for (QLabel *caption : {form->StaticText25, form->StaticText26, form->StaticText27,
                            form->StaticText_InterfaceConfigLabel1})
        EXPECT_LT(caption->geometry().right(), 88) << caption->text().toStdString();
    EXPECT_LT(form->AdvSpinEdit_NodeID->Caption()->x(), form->AdvSpinEdit_NodeID->x());
    EXPECT_GE(form->AdvSpinEdit_NodeID->Caption()->x(), 0);
}

TEST_F(MainWindow, PictureHintShowsInTheStatusLineWhileThePointerIsOnIt)
{
    Open();
    EXPECT_EQ(form->Image_Interface->statusTip(), QStringLiteral("Right Click for more options"));
    EXPECT_TRUE(form->StatusLine->currentMessage().isEmpty());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(form->Image_Interface, &enter);
    EXPECT_EQ(form->StatusLine->currentMessage(), QStringLiteral("Right Click for more options"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(form->Image_Interface, &leave);
    EXPECT_TRUE(form->StatusLine->currentMessage().isEmpty());

    form->show();
    emit form->Image_Interface->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    form->PopupMenu1->close();
}

TEST_F(MainWindow, KeyboardReachesEveryControlInReadingOrderAndThePicturesMenu)
{
    Open();
    // The mode group is one stop, whichever of its buttons takes the focus; arrows choose in it.
    const auto walk = [this] {
        std::vector<QWidget *> walked = TabWalk(form.get(), form->Image_Interface);
        for (QWidget *&widget : walked)
            if (widget->parentWidget() == form->GroupBox_Mode)
                widget = form->GroupBox_Mode;
        return walked;
    };
    EXPECT_EQ(walk(), (std::vector<QWidget *>{form->Image_Interface, form->GroupBox_Mode,
                                              form->Button_NetworkStartAccess, form->AdvSpinEdit_NodeID}));
    form->RadioButton_Cyclic->click();
    for (QPushButton *button : {form->Button_NetworkBrowse, form->Button_OpenMonitorWindow,
                                form->Button_NetworkStopAccess})
        button->setEnabled(true);
    EXPECT_EQ(walk(), (std::vector<QWidget *>{form->Image_Interface, form->GroupBox_Mode,
                                              form->Button_NetworkStartAccess, form->Button_NetworkBrowse,
                                              form->Button_OpenMonitorWindow, form->Button_NetworkStopAccess}));

    // The pop-up's item works during network access, when the menu's does not.
    InstallKeyboardContextMenu();
    form->MenuItem_NetworkConfiguration->setEnabled(false);
    form->Image_Interface->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Image_Interface, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(form->PopupMenu1->isVisible());
    qeldouble::SetConfigurationWindowRecords(Hardware(2, "can1"), CANopen(5, 500000));
    QTest::keyClick(form->PopupMenu1, Qt::Key_Down);
    QTest::keyClick(form->PopupMenu1, Qt::Key_Return);
    EXPECT_EQ(form->StaticText_InterfaceConfig1->text(), QStringLiteral("can1"));
}

TEST_F(MainWindow, AScreenReaderHearsANameForEveryControlAndTheTextsShown)
{
    Open(Hardware(2, "can0"), CANopen(127, 250000));
    form->show();
    EXPECT_EQ(UnnamedControls(form.get()).join(QStringLiteral("; ")).toStdString(), "");
    form->RadioButton_Cyclic->click();
    EXPECT_EQ(UnnamedControls(form.get()).join(QStringLiteral("; ")).toStdString(), "");

    const auto name = [](QObject *object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    };
    QAccessibleInterface *picture = QAccessible::queryAccessibleInterface(form->Image_Interface);
    EXPECT_EQ(picture->text(QAccessible::Name), QStringLiteral("Interface picture"));
    EXPECT_EQ(picture->text(QAccessible::Description), QStringLiteral("Right Click for more options"));
    EXPECT_EQ(name(form->StaticText_InterfaceType), QStringLiteral("Virtual CAN bus"));
    EXPECT_EQ(name(form->StaticText_CANopenBaud), QStringLiteral("250k"));
    EXPECT_EQ(name(form->StaticText_NodeFound), QStringLiteral("None"));
    // A long value is drawn shortened; the whole of it is read.
    const QString longPoint = QStringLiteral("tcp://127.0.0.1:40123/can0-and-then-some");
    Reconfigure(Hardware(2, longPoint.toStdString()));
    ASSERT_TRUE(form->StaticText_InterfaceConfig1->Shortened());
    EXPECT_EQ(name(form->StaticText_InterfaceConfig1), longPoint);
    form->StatusLine->showMessage(QStringLiteral("Right Click for more options"));
    EXPECT_EQ(name(form->StatusLine), QStringLiteral("Right Click for more options"));
}

TEST_F(MainWindow, AboutShowsTheDialogEveryTimeAndForgetsItAfterwards)
{
    Open();
    AboutBox = new TAboutBox; // as start-up leaves it
    TAboutBox *first = AboutBox;
    QWidget *shown = nullptr;
    WhenModalShows([&](QWidget *modal) {
        shown = modal;
        QTest::mouseClick(AboutBox->OKButton, Qt::LeftButton);
    });
    form->About1->trigger();
    EXPECT_EQ(shown, first);
    EXPECT_EQ(AboutBox, nullptr);

    bool aboutShown = false;
    QString version;
    WhenModalShows([&](QWidget *modal) {
        aboutShown = AboutBox != nullptr && modal == AboutBox;
        version = AboutBox->Label2->text();
        AboutBox->OKButton->click();
    });
    form->About1->trigger();
    EXPECT_TRUE(aboutShown) << "a new dialog, made while AboutBox was null";
    EXPECT_EQ(version, QStringLiteral("1.06"));
    EXPECT_EQ(AboutBox, nullptr);
}

TEST(AboutDialog, TextsFitAndOkIsTheDefault)
{
    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.size(), QSize(226, 221));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_EQ(about.ProgramIcon->pixmap().size(), QSize(160, 47));
    const std::pair<QLabel *, const char *> labels[] = {
        {about.ProductName, "Product Name"}, {about.Label3, "Tarnwick"}, {about.Version, "Version"},
        {about.Label2, "1.06"},              {about.Copyright, "Copyright"}, {about.Label1, "QEL,LLC."},
    };
    for (const auto &[label, text] : labels) {
        EXPECT_EQ(label->text(), QString::fromLatin1(text));
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << text;
        EXPECT_LT(label->geometry().right(), about.Panel1->width() - 2) << text;
    }
    EXPECT_LT(about.Copyright->geometry().right(), about.Label1->x()) << "the notice's caption clears its text";
    EXPECT_EQ(about.OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(about.OKButton->isDefault());
    WhenModalShows([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(about.exec(), QDialog::Accepted) << "Return presses the default button";
}

TEST_F(MainWindow, PositionRoundTripsThroughFormIniAndComesBackOntoTheDesktop)
{
    {
        QSettings ini(QStringLiteral("FORM.INI"), QSettings::IniFormat);
        ini.setValue(QStringLiteral("MainForm/Left"), 5000);
        ini.setValue(QStringLiteral("MainForm/Top"), -400);
    }
    Open();
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    EXPECT_EQ(form->x() + form->frameGeometry().width(), desktop.left() + desktop.width());
    EXPECT_EQ(form->y(), desktop.top());

    form->move(40, 60);
    form.reset();
    QSettings ini(QStringLiteral("FORM.INI"), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("MainForm/Left")).toInt(), 40);
    EXPECT_EQ(ini.value(QStringLiteral("MainForm/Top")).toInt(), 60);
    EXPECT_FALSE(ini.contains(QStringLiteral("MainForm/Width")));

    Open();
    EXPECT_EQ(form->pos(), QPoint(40, 60));
}

TEST_F(MainWindow, WithoutAStoredPositionTheDesignPositionHolds)
{
    Open();
    EXPECT_EQ(form->pos(), QPoint(173, 145));
}

TEST_F(MainWindow, CloseTakesTheAdapterOfflineThenReleasesTheLibrary)
{
    Open();
    qeldouble::SetOpenHandle(0x42);
    ASSERT_EQ(CopnInterface->OpenInterface(), 1);
    qeldouble::ClearCalls();
    QSignalSpy closed(form.get(), &TMainForm::Closed);

    form->close();
    const auto calls = qeldouble::Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name, "SetOnline");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{0x42, 0}));
    EXPECT_EQ(calls[1].name, "SetOnline");
    EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{0x42, 0}));
    EXPECT_EQ(calls[2].name, "CloseCard");
    EXPECT_EQ(calls[3].name, "UnloadDriver");
    EXPECT_EQ(CopnInterface, nullptr);
    EXPECT_EQ(closed.count(), 1);

    // Nothing re-creates it, and a second close calls nothing.
    qeldouble::ClearCalls();
    form->FormClose();
    form->MenuItem_NetworkConfiguration->trigger();
    EXPECT_TRUE(qeldouble::Calls().empty());
    EXPECT_EQ(CopnInterface, nullptr);
}

TEST_F(MainWindow, AnExistingBindingIsKept)
{
    auto *existing = new TQEL_COPN_Interface;
    CopnInterface = existing;
    Open();
    EXPECT_EQ(CopnInterface, existing);
}

} // namespace
