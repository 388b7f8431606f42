// The main window: the user's control panel. It owns the life of
// CopnInterface, shows the adapter configuration the library stores, lets the
// user edit it in the library's own window, and holds the transmission mode
// and the gateway's node ID that the network handlers read.
#pragma once

#include "FormSize.h"
#include "SettingsPath.h"
#include "ClassicControls.h"

#include <QMainWindow>
#include <QPixmap>

#include <array>
#include <cstdint>

class QAction;
class QCloseEvent;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class TBlackBoxControl;
class TRecordingControl;
class TSpinEdit;
namespace network {
class NetworkWindow;
}


class TBusHealthPanel;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Components, named as on the form.
    TGroupBox *GroupBox8 = nullptr;
    TStaticText *StaticText25 = nullptr;
    TStaticText *StaticText_InterfaceType = nullptr;
    TStaticText *StaticText_InterfaceConfigLabel1 = nullptr;
    TStaticText *StaticText_InterfaceConfig1 = nullptr;
    TStaticText *StaticText_InterfaceConfigLabel2 = nullptr;
    TStaticText *StaticText_InterfaceConfig2 = nullptr;
    TStaticText *StaticText26 = nullptr;
    TStaticText *StaticText_CANopenBaud = nullptr;
    TStaticText *StaticText27 = nullptr;
    TStaticText *StaticText_NodeID = nullptr;
    QLabel *Image_Interface = nullptr;
    TGroupBox *GroupBox_Mode = nullptr;
    QRadioButton *RadioButton_ListenOnly = nullptr;
    QRadioButton *RadioButton_Cyclic = nullptr;
    QRadioButton *RadioButton_COS = nullptr;
    QPushButton *Button_NetworkStartAccess = nullptr;
    QPushButton *Button_NetworkBrowse = nullptr;
    TSpinEdit *AdvSpinEdit_NodeID = nullptr;
    TStaticText *StaticText1 = nullptr;
    TStaticText *StaticText_NodeFound = nullptr;
    QPushButton *Button_OpenMonitorWindow = nullptr;
    QPushButton *Button_NetworkStopAccess = nullptr;
    QStatusBar *StatusLine = nullptr;
    TBusHealthPanel *BusHealth = nullptr; // active while network access is on
    QMenu *MainMenu_Network = nullptr;
    QMenu *MainMenu_Help = nullptr;
    QAction *MenuItem_NetworkConfiguration = nullptr;
    // Network > "Nodes...": the "CANopen Network" window, made on first use.
    QAction *MenuItem_NetworkNodes = nullptr;
    network::NetworkWindow *NetworkWindow = nullptr;
    QAction *VersionInformation1 = nullptr;
    QAction *About1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *NetworkConfiguration1 = nullptr;
    std::array<QPixmap, 2> ImageList1;
    TFormSize FormSize1;
    // The "Recording" menu and the recording's status.
    TRecordingControl *Recording = nullptr;
    // "Save Last Minutes..." and "Automatic Black Box" in that menu.
    TBlackBoxControl *BlackBox = nullptr;

    // Node ID of the gateway to monitor.
    uint8_t GatewayNodeId = 0;
    // 1 once a browse has found a gateway.
    int32_t NodeFound = 0;
    // Product code of the gateway the browse found; 0 until then.
    int32_t GatewayProductCode = 0;
    // Which picture of ImageList1 Image_Interface shows; chosen once.
    int InterfacePicture = -1;

    // True from a Start Network Access that went online until the Stop that
    // closed the interface; NetworkAccessChanged tells each change.
    bool NetworkAccessOn() const { return networkAccessOn_; }

    void ShowInterfaceConfiguration();
    void UpdateModeControls();
    void ShowHint(const QString &hint);
    // Takes the adapter offline and releases CopnInterface.
    void FormClose();

    // Network access: each returns nonzero on success and has shown its
    // message on failure.
    int32_t OpenNetworkInterface();
    int32_t GoOnline();
    int32_t GoOffline();
    int32_t CloseNetworkInterface();

    // Monitoring: the receive threads and the gateway's transmission setting.
    void StartMonitor();
    void StopMonitor();

public slots:
    void About1Click();
    void MenuItem_NetworkConfigurationClick();
    void MenuItem_NetworkNodesClick();
    void NetworkConfiguration1Click();
    void RadioButton_ListenOnlyClick();
    void RadioButton_CyclicClick();
    void RadioButton_COSClick();
    void AdvSpinEdit_NodeIDChange();
    void Button_NetworkStartAccessClick();
    void Button_NetworkStopAccessClick();
    void Button_NetworkBrowseClick();
    void Button_OpenMonitorWindowClick();

signals:
    // The window has closed; the application ends with it.
    void Closed();
    void NetworkAccessChanged(bool on);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void SetNetworkAccessOn(bool on);
    bool networkAccessOn_ = false;
    void CreateComponents();
    void CreateInterfaceGroup(QWidget *client);
    void CreateNetworkControls(QWidget *client);
    void CreateMenus();
    void ConnectHandlers();
    void FormCreate();
    void ShowInterfacePicture(int index);
};

extern TMainForm *MainForm;
