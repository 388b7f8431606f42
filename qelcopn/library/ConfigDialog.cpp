#include "library/ConfigDialog.h"

#include "library/Configuration.h"
#include "protocol/Cia301.h"
#include "trace/BlackBox.h"
#include "transport/CanBusPort.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QThread>

namespace qelcopn {

namespace {

class ConfigDialog : public QDialog {
public:
    ConfigDialog(const HardwareConfiguration &hw, const CANopenConfiguration &co)
    {
        setWindowTitle(QStringLiteral("CANopen Configuration"));
        setObjectName(QStringLiteral("CANopenConfigurationWindow"));
        auto *form = new QFormLayout;

        kind_ = new QComboBox;
        kind_->setObjectName(QStringLiteral("ComboBox_Kind"));
        for (uint32_t code = QELCOPN_KIND_SOCKETCAN; code <= QELCOPN_KIND_RECORDING; ++code)
            kind_->addItem(QLatin1String(interfaceKindByCode(code)->displayName), code);
        form->addRow(QStringLiteral("Interface kind:"), kind_);

        interface_ = new QComboBox;
        interface_->setObjectName(QStringLiteral("ComboBox_Interface"));
        interface_->setEditable(true);
        interface_->setMinimumContentsLength(24);
        form->addRow(QStringLiteral("Interface:"), interface_);

        bitrate_ = new QComboBox;
        bitrate_->setObjectName(QStringLiteral("ComboBox_BitRate"));
        for (uint32_t rate : cia301::BIT_RATES)
            bitrate_->addItem(QStringLiteral("%1 kbit/s").arg(rate / 1000), rate);
        form->addRow(QStringLiteral("Bit rate:"), bitrate_);

        nodeId_ = new QSpinBox;
        nodeId_->setObjectName(QStringLiteral("SpinBox_NodeId"));
        nodeId_->setRange(cia301::NODE_ID_MIN, cia301::NODE_ID_MAX);
        form->addRow(QStringLiteral("Own node ID:"), nodeId_);

        blackBoxMinutes_ = new QSpinBox;
        blackBoxMinutes_->setObjectName(QStringLiteral("SpinBox_BlackBoxMinutes"));
        blackBoxMinutes_->setRange(1, int(trace::BlackBox::kMaxMinutes));
        blackBoxMinutes_->setSuffix(QStringLiteral(" minutes"));
        blackBoxMinutes_->setValue(int(configuration::blackBoxMinutes(&co)));
        blackBoxMinutes_->setStatusTip(QStringLiteral("How much of the bus is kept in memory to save after a fault"));
        form->addRow(QStringLiteral("Black box keeps:"), blackBoxMinutes_);
        addReplayRows(form, hw);

        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        form->addRow(buttons);
        setLayout(form);

        // What the records hold, where it is valid; the defaults elsewhere.
        HardwareConfiguration fallbackHw;
        CANopenConfiguration fallbackCo;
        configuration::setDefaults(&fallbackHw, &fallbackCo);
        const int kindIndex = kind_->findData(hw.InterfaceType);
        kind_->setCurrentIndex(kindIndex >= 0 ? kindIndex : kind_->findData(fallbackHw.InterfaceType));
        fillInterfaces();
        QString accessPoint;
        if (!configuration::accessPointOf(&hw, &accessPoint) || accessPoint.isEmpty())
            configuration::accessPointOf(&fallbackHw, &accessPoint);
        interface_->setCurrentText(accessPoint);
        const int rateIndex = bitrate_->findData(co.Baud);
        bitrate_->setCurrentIndex(rateIndex >= 0 ? rateIndex : bitrate_->findData(fallbackCo.Baud));
        nodeId_->setValue(cia301::isNodeId(co.InterfaceNodeID) ? int(co.InterfaceNodeID)
                                                               : int(fallbackCo.InterfaceNodeID));
        connect(kind_, &QComboBox::currentIndexChanged, this, [this] {
            const QString typed = interface_->currentText();
            fillInterfaces();
            interface_->setCurrentText(typed);
            showReplayRows();
        });
        showReplayRows();
    }

    void store(HardwareConfiguration *hw, CANopenConfiguration *co) const
    {
        hw->InterfaceType = kind_->currentData().toUInt();
        configuration::setAccessPoint(hw, interface_->currentText().trimmed());
        co->Baud = bitrate_->currentData().toUInt();
        co->InterfaceNodeID = uint32_t(nodeId_->value());
        configuration::setBlackBoxMinutes(co, uint32_t(blackBoxMinutes_->value()));
        configuration::setReplay(hw, replaySpeed_->currentData().toUInt(), replayLoop_->isChecked());
    }

private:
    // How a recording plays: shown only when the kind is a recording, kept
    // in the records whatever the kind, so that a replay later finds them.
    void addReplayRows(QFormLayout *form, const HardwareConfiguration &hw)
    {
        form_ = form;
        replaySpeed_ = new QComboBox;
        replaySpeed_->setObjectName(QStringLiteral("ComboBox_ReplaySpeed"));
        replaySpeed_->addItem(QStringLiteral("As recorded"), 0u);
        for (uint32_t speed : configuration::kReplaySpeedsFaster)
            replaySpeed_->addItem(QStringLiteral("%1 times as fast").arg(speed), speed);
        replaySpeed_->addItem(QStringLiteral("As fast as possible"), QELCOPN_REPLAY_FASTEST);
        const int speedIndex = replaySpeed_->findData(configuration::replaySpeed(&hw));
        replaySpeed_->setCurrentIndex(speedIndex >= 0 ? speedIndex : 0);
        form->addRow(QStringLiteral("Replay speed:"), replaySpeed_);
        replayLoop_ = new QCheckBox(QStringLiteral("Play again from the start at the end"));
        replayLoop_->setObjectName(QStringLiteral("CheckBox_ReplayLoop"));
        replayLoop_->setChecked(configuration::replayLoop(&hw));
        form->addRow(QStringLiteral("Loop:"), replayLoop_);
    }

    void showReplayRows()
    {
        const bool recording = kind_->currentData().toUInt() == QELCOPN_KIND_RECORDING;
        form_->setRowVisible(replaySpeed_, recording);
        form_->setRowVisible(replayLoop_, recording);
        adjustSize();
    }

    void fillInterfaces()
    {
        interface_->clear();
        interface_->addItems(CanBusPort::availableInterfaces(kind_->currentData().toUInt()));
    }

    QComboBox *kind_;
    QComboBox *interface_;
    QComboBox *bitrate_;
    QSpinBox *nodeId_;
    QSpinBox *blackBoxMinutes_;
    QFormLayout *form_ = nullptr;
    QComboBox *replaySpeed_ = nullptr;
    QCheckBox *replayLoop_ = nullptr;
};

} // namespace

bool showConfigDialog(HardwareConfiguration *hw, CANopenConfiguration *co)
{
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread())
        return false;
    ConfigDialog dialog(*hw, *co);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.store(hw, co);
    return true;
}

} // namespace qelcopn
