#include "Main.h"

#include "BlackBoxControl.h"
#include "BusHealthPanel.h"
#include "Dialogs.h"
#include "Form_AboutBox.h"
#include "Look.h"
#include "NetworkWindow.h"
#include "QEL_COPN_Interface.h"
#include "RecordingControl.h"
#include "SpinEdit.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <cstring>

TMainForm *MainForm = nullptr;

namespace {

constexpr int CLIENT_WIDTH = 432;
constexpr int CLIENT_HEIGHT = 237;
constexpr int STATUS_LINE_HEIGHT = 23;
constexpr QPoint DESIGN_POSITION(173, 145);
constexpr int INTERFACE_TYPE_WITH_FIRST_PICTURE = 1;
const QString INTERFACE_PICTURE_HINT = QStringLiteral("Right Click for more options");

// Values may reach this close to the group box's right edge.
constexpr int GROUP_BOX_INNER_MARGIN = 4;

// The library's 8-bit texts: up to the first zero byte, but never past the
// buffer, even when the library left no zero byte in it.
QString EightBitText(const char *buffer, size_t size)
{
    return QString::fromLocal8Bit(buffer, qsizetype(strnlen(buffer, size)));
}

} // namespace

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent), FormSize1(this, QStringLiteral("MainForm"))
{
    CreateComponents();
    FormCreate();

    if (CopnInterface == nullptr)
        CopnInterface = new TQEL_COPN_Interface;
    if (CopnInterface->LoadDriver() == 0)
        ShowMessageBox(QStringLiteral("Cannot Load Driver"), QStringLiteral("ERROR"));
    CopnInterface->ReadConfiguration(REGISTRY_PATH);
    // Chosen once: a later change of the configuration keeps the picture.
    const bool firstPicture = CopnInterface->HardwareConfiguration.InterfaceType == INTERFACE_TYPE_WITH_FIRST_PICTURE;
    ShowInterfacePicture(firstPicture ? 0 : 1);
    ShowInterfaceConfiguration();
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateComponents()
{
    setWindowTitle(QStringLiteral("QEL,LLC. Tarnwick"));
    // A fixed single border with the system menu and the minimise box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(FormFont());

    auto *client = new QWidget(this);
    client->setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT - STATUS_LINE_HEIGHT);
    setCentralWidget(client);
    CreateInterfaceGroup(client);
    CreateNetworkControls(client);

    StatusLine = new QStatusBar(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    StatusLine->setFixedHeight(STATUS_LINE_HEIGHT);
    StatusLine->setSizeGripEnabled(false);
    setStatusBar(StatusLine);
    BusHealth = new TBusHealthPanel(StatusLine);
    StatusLine->addPermanentWidget(BusHealth);
    BusHealth->GiveWayTo(StatusLine);
    BusHealth->SetActive(false);

    CreateMenus();
    ConnectHandlers();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    move(DESIGN_POSITION);
    adjustSize();
    FormSize1.Restore();
}

void TMainForm::CreateInterfaceGroup(QWidget *client)
{
    GroupBox8 = new TGroupBox(QStringLiteral("CANopen Interface:"), client);
    GroupBox8->setGeometry(9, 13, 209, 177);

    ImageList1 = {::InterfacePicture(0), ::InterfacePicture(1)};
    // Beneath the texts, as a picture is: a long interface name stays readable.
    Image_Interface = new TImage(GroupBox8);
    // A screen reader hears the hint as the picture's description.
    Image_Interface->setAccessibleName(QStringLiteral("Interface picture"));
    Image_Interface->setGeometry(160, 24, 33, 33);
    Image_Interface->setAlignment(Qt::AlignCenter);
    Image_Interface->setStatusTip(INTERFACE_PICTURE_HINT);
    Image_Interface->setToolTip(INTERFACE_PICTURE_HINT);
    Image_Interface->setContextMenuPolicy(Qt::CustomContextMenu);

    StaticText25 = new TStaticText(GroupBox8, QStringLiteral("Interface Type:"), 8, 24);
    StaticText_InterfaceType = new TStaticText(GroupBox8, QString(), 88, 24);
    StaticText_InterfaceConfigLabel1 = new TStaticText(GroupBox8, QString(), 8, 40);
    StaticText_InterfaceConfig1 = new TStaticText(GroupBox8, QString(), 88, 40);
    StaticText_InterfaceConfigLabel2 = new TStaticText(GroupBox8, QString(), 8, 56);
    StaticText_InterfaceConfig2 = new TStaticText(GroupBox8, QString(), 88, 56);
    StaticText26 = new TStaticText(GroupBox8, QStringLiteral("Baud Rate:"), 8, 72);
    StaticText_CANopenBaud = new TStaticText(GroupBox8, QString(), 88, 72);
    StaticText27 = new TStaticText(GroupBox8, QStringLiteral("Node ID:"), 8, 88);
    StaticText_NodeID = new TStaticText(GroupBox8, QString(), 88, 88);
    // A long value (an access point URL, say) stays inside the box.
    for (TStaticText *value : {StaticText_InterfaceType, StaticText_InterfaceConfig1, StaticText_InterfaceConfig2,
                               StaticText_CANopenBaud, StaticText_NodeID})
        value->SetRightLimit(GroupBox8->width() - GROUP_BOX_INNER_MARGIN);
}

void TMainForm::CreateNetworkControls(QWidget *client)
{
    GroupBox_Mode = new TGroupBox(QStringLiteral("Mode:"), client);
    GroupBox_Mode->setGeometry(228, 7, 196, 35);
    RadioButton_ListenOnly = new QRadioButton(QStringLiteral("Listen Only"), GroupBox_Mode);
    RadioButton_ListenOnly->setGeometry(4, 12, 79, 17);
    RadioButton_ListenOnly->setChecked(true);
    RadioButton_Cyclic = new QRadioButton(QStringLiteral("Cyclic"), GroupBox_Mode);
    RadioButton_Cyclic->setGeometry(93, 12, 50, 17);
    RadioButton_COS = new QRadioButton(QStringLiteral("COS"), GroupBox_Mode);
    RadioButton_COS->setGeometry(148, 11, 45, 17);

    const auto newButton = [client](const QString &text, int left, int top, int width, int height) {
        auto *button = new QPushButton(text, client);
        button->setGeometry(left, top, width, height);
        return button;
    };
    Button_NetworkStartAccess = newButton(QStringLiteral("Start Network Access"), 264, 51, 119, 25);
    Button_NetworkBrowse = newButton(QStringLiteral("Network Browse"), 264, 86, 118, 25);
    Button_NetworkBrowse->setEnabled(false);

    // In the browse button's place; only one of the two shows at a time.
    AdvSpinEdit_NodeID = new TSpinEdit(client);
    AdvSpinEdit_NodeID->setGeometry(310, 87, 71, 22);
    AdvSpinEdit_NodeID->SetCaption(QStringLiteral("Node ID:"), TSpinEdit::CaptionPosition::Left);
    AdvSpinEdit_NodeID->SetValue(7);

    StaticText1 = new TStaticText(client, QStringLiteral("Node Found:"), 280, 114);
    StaticText1->resize(66, 17);
    StaticText_NodeFound = new TStaticText(client, QStringLiteral("None"), 349, 113);
    StaticText_NodeFound->resize(30, 17);

    Button_OpenMonitorWindow = newButton(QStringLiteral("Open Monitor Window"), 265, 139, 117, 25);
    Button_OpenMonitorWindow->setEnabled(false);
    Button_NetworkStopAccess = newButton(QStringLiteral("Stop Network Access"), 265, 175, 118, 25);
    Button_NetworkStopAccess->setEnabled(false);
}

void TMainForm::CreateMenus()
{
    MainMenu_Network = menuBar()->addMenu(QStringLiteral("Network"));
    MenuItem_NetworkConfiguration = MainMenu_Network->addAction(QStringLiteral("Configuration"));
    MenuItem_NetworkNodes = MainMenu_Network->addAction(QStringLiteral("Nodes..."));
    Recording = new TRecordingControl(this);
    BlackBox = new TBlackBoxControl(this, Recording->Menu, Recording->SaveLastMinutes);
    Recording->UpdateActions();
    MainMenu_Help = menuBar()->addMenu(QStringLiteral("Help"));
    VersionInformation1 = MainMenu_Help->addAction(QStringLiteral("Version Information"));
    VersionInformation1->setEnabled(false);
    About1 = MainMenu_Help->addAction(QStringLiteral("About"));

    PopupMenu1 = new QMenu(this);
    NetworkConfiguration1 = PopupMenu1->addAction(QStringLiteral("Network Configuration"));
    connect(Image_Interface, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu1->popup(Image_Interface->mapToGlobal(at)); });
}

void TMainForm::ConnectHandlers()
{
    // An exception from a handler is shown and stops there.
    const auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    const auto whenChecked = [this](void (TMainForm::*handler)()) {
        return [this, handler](bool checked) {
            if (checked)
                RunGuarded([this, handler] { (this->*handler)(); });
        };
    };
    connect(About1, &QAction::triggered, this, guarded(&TMainForm::About1Click));
    connect(MenuItem_NetworkConfiguration, &QAction::triggered, this,
            guarded(&TMainForm::MenuItem_NetworkConfigurationClick));
    connect(MenuItem_NetworkNodes, &QAction::triggered, this, guarded(&TMainForm::MenuItem_NetworkNodesClick));
    connect(NetworkConfiguration1, &QAction::triggered, this, guarded(&TMainForm::NetworkConfiguration1Click));
    connect(RadioButton_ListenOnly, &QRadioButton::toggled, this, whenChecked(&TMainForm::RadioButton_ListenOnlyClick));
    connect(RadioButton_Cyclic, &QRadioButton::toggled, this, whenChecked(&TMainForm::RadioButton_CyclicClick));
    connect(RadioButton_COS, &QRadioButton::toggled, this, whenChecked(&TMainForm::RadioButton_COSClick));
    connect(AdvSpinEdit_NodeID, &TSpinEdit::Changed, this, guarded(&TMainForm::AdvSpinEdit_NodeIDChange));
    connect(Button_NetworkStartAccess, &QPushButton::clicked, this,
            guarded(&TMainForm::Button_NetworkStartAccessClick));
    connect(Button_NetworkStopAccess, &QPushButton::clicked, this, guarded(&TMainForm::Button_NetworkStopAccessClick));
    connect(Button_NetworkBrowse, &QPushButton::clicked, this, guarded(&TMainForm::Button_NetworkBrowseClick));
    connect(Button_OpenMonitorWindow, &QPushButton::clicked, this,
            guarded(&TMainForm::Button_OpenMonitorWindowClick));
}

void TMainForm::FormCreate()
{
    // Hints reach ShowHint through event(): the window's status tips.
    UpdateModeControls();
}

void TMainForm::ShowInterfacePicture(int index)
{
    InterfacePicture = index;
    Image_Interface->setPixmap(ImageList1[size_t(index)].scaled(Image_Interface->size(), Qt::IgnoreAspectRatio,
                                                                 Qt::FastTransformation));
}

void TMainForm::ShowInterfaceConfiguration()
{
    if (CopnInterface == nullptr)
        return;
    const HardwareConfiguration &hw = CopnInterface->HardwareConfiguration;
    const CANopenConfiguration &co = CopnInterface->CANopenConfiguration;
    const QString accessPoint = EightBitText(hw.AccessPoint, sizeof hw.AccessPoint);
    const auto showFirst = [this](const QString &caption, const QString &value) {
        StaticText_InterfaceConfigLabel1->SetText(caption);
        StaticText_InterfaceConfig1->SetText(value);
    };
    const auto showSecond = [this](bool shown, const QString &caption = {}, const QString &value = {}) {
        if (shown) {
            StaticText_InterfaceConfigLabel2->SetText(caption);
            StaticText_InterfaceConfig2->SetText(value);
        }
        StaticText_InterfaceConfigLabel2->setVisible(shown);
        StaticText_InterfaceConfig2->setVisible(shown);
    };

    // Precedence: access point, then port, then COM port.
    if (!accessPoint.isEmpty()) {
        showFirst(QStringLiteral("Access Point:"), accessPoint);
        showSecond(false);
    } else if (hw.Port != 0) {
        showFirst(QStringLiteral("Port:"), QString::number(hw.Port));
        showSecond(hw.Irq != 0, QStringLiteral("IRQ:"), QString::number(hw.Irq));
    } else if (hw.ComPort != 0) {
        showFirst(QStringLiteral("COM Port:"), QStringLiteral("COM") + QString::number(hw.ComPort));
        showSecond(hw.ComBaud != 0, QStringLiteral("COM Baud:"), QString::number(hw.ComBaud));
    } else {
        showFirst(QStringLiteral("Not Configured"), QString());
        showSecond(false);
    }

    // The result is not consulted: for a kind it has no name for, the library
    // still leaves a text saying so. The buffer starts empty, so that a
    // missing entry point shows nothing.
    char name[QELCOPN_TEXT_SIZE] = {};
    CopnInterface->GetInterfaceName(hw.InterfaceType, name);
    StaticText_InterfaceType->SetText(EightBitText(name, sizeof name));
    StaticText_CANopenBaud->SetText(QString::number(co.Baud / 1000) + QLatin1Char('k'));
    StaticText_NodeID->SetText(QString::number(co.InterfaceNodeID));
}

void TMainForm::UpdateModeControls()
{
    const bool listenOnly = RadioButton_ListenOnly->isChecked();
    AdvSpinEdit_NodeID->setVisible(listenOnly);
    Button_NetworkBrowse->setVisible(!listenOnly);
    StaticText1->setVisible(!listenOnly);
    StaticText_NodeFound->setVisible(!listenOnly);
    if (listenOnly)
        GatewayNodeId = uint8_t(AdvSpinEdit_NodeID->Value());
}

void TMainForm::ShowHint(const QString &hint)
{
    StatusLine->showMessage(hint);
}

bool TMainForm::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::About1Click()
{
    // The first About shows the dialog made at start-up; later ones make their own.
    if (AboutBox == nullptr)
        AboutBox = new TAboutBox;
    AboutBox->exec();
    delete AboutBox;
    AboutBox = nullptr;
}

void TMainForm::MenuItem_NetworkConfigurationClick()
{
    // The window configures the stored adapter, never a replay.
    Recording->EndReplaySession();
    if (CopnInterface == nullptr || CopnInterface->CANopenConfigurationWindow() == 0)
        return;
    CopnInterface->SaveConfiguration(REGISTRY_PATH);
    ShowInterfaceConfiguration();
}

void TMainForm::MenuItem_NetworkNodesClick()
{
    if (NetworkWindow == nullptr) {
        network::NetworkWindow::Hooks hooks;
        // Nothing is sent in Listen Only or without network access.
        hooks.maySend = [this] { return NetworkAccessOn() && !RadioButton_ListenOnly->isChecked(); };
        hooks.confirm = [](const QString &question) {
            return ShowMessageBox(question, QStringLiteral("CANopen Network"), QMessageBox::Yes | QMessageBox::No) ==
                   QMessageBox::Yes;
        };
        hooks.tell = [](const QString &text) { ShowMessageBox(text, QStringLiteral("CANopen Network")); };
        NetworkWindow = new network::NetworkWindow(hooks, this);
    }
    NetworkWindow->show();
    NetworkWindow->raise();
    NetworkWindow->activateWindow();
}

void TMainForm::NetworkConfiguration1Click()
{
    MenuItem_NetworkConfigurationClick();
}

void TMainForm::RadioButton_ListenOnlyClick()
{
    UpdateModeControls();
}

void TMainForm::RadioButton_CyclicClick()
{
    UpdateModeControls();
}

void TMainForm::RadioButton_COSClick()
{
    UpdateModeControls();
}

void TMainForm::AdvSpinEdit_NodeIDChange()
{
    GatewayNodeId = uint8_t(AdvSpinEdit_NodeID->Value());
}

void TMainForm::FormClose()
{
    Recording->EndRecording();
    BlackBox->Finish();
    // The receive threads call CopnInterface from their own threads: they
    // end here, before it goes, so nothing calls the library afterwards.
    StopMonitor();
    if (CopnInterface == nullptr)
        return;
    CopnInterface->SetOnline(0);
    delete CopnInterface;
    CopnInterface = nullptr;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    RunGuarded([this] { FormClose(); });
    QMainWindow::closeEvent(event);
    emit Closed();
}
