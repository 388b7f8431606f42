// The configuration dialog, answered without a person: a timer finds the
// modal dialog, checks what it shows, sets its fields and presses OK or
// Cancel.
#include "QEL_COPN.h"
#include "QtTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

const bool applicationInstalled = InstallApplication();

// Runs answer on the dialog once it is up, from the event loop.
void whenDialogShows(std::function<void(QDialog &)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        answer(*dialog);
    });
    timer->start();
}

QPushButton *button(QDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>()->button(which);
}

void startingRecords(HardwareConfiguration *hw, CANopenConfiguration *co)
{
    std::memset(hw, 0, sizeof *hw);
    std::memset(co, 0, sizeof *co);
    hw->InterfaceType = 2;
    std::strcpy(hw->AccessPoint, "can0");
    co->Baud = 250000;
    co->InterfaceNodeID = 127;
}

} // namespace

TEST(ConfigDialogTest, OkStoresTheChoiceInBothRecords)
{
    HardwareConfiguration hw;
    CANopenConfiguration co;
    startingRecords(&hw, &co);
    bool checked = false;
    whenDialogShows([&](QDialog &dialog) {
        auto *kind = dialog.findChild<QComboBox *>("ComboBox_Kind");
        auto *interface = dialog.findChild<QComboBox *>("ComboBox_Interface");
        auto *rate = dialog.findChild<QComboBox *>("ComboBox_BitRate");
        auto *node = dialog.findChild<QSpinBox *>("SpinBox_NodeId");
        auto *minutes = dialog.findChild<QSpinBox *>("SpinBox_BlackBoxMinutes");
        ASSERT_TRUE(kind && interface && rate && node && minutes);
        // It opens on what the records hold.
        EXPECT_EQ(kind->currentText(), "Virtual CAN bus");
        EXPECT_EQ(interface->currentText(), "can0");
        EXPECT_EQ(rate->currentData().toUInt(), 250000u);
        EXPECT_EQ(node->value(), 127);
        EXPECT_EQ(minutes->value(), 10) << "0 in the record: the default";
        EXPECT_EQ(minutes->maximum(), 30);
        // The CiA 301 rates, and the node ID range.
        EXPECT_EQ(rate->count(), 8);
        EXPECT_EQ(rate->itemData(0).toUInt(), 10000u);
        EXPECT_EQ(rate->itemData(7).toUInt(), 1000000u);
        EXPECT_EQ(node->minimum(), 1);
        EXPECT_EQ(node->maximum(), 127);
        // Every label's text fits.
        for (QLabel *label : dialog.findChildren<QLabel *>())
            EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text())) << label->text().toStdString();
        for (QComboBox *box : {kind, rate})
            for (int i = 0; i < box->count(); ++i)
                EXPECT_GE(box->width(), QFontMetrics(box->font()).horizontalAdvance(box->itemText(i)));

        kind->setCurrentIndex(kind->findText("SocketCAN"));
        interface->setCurrentText("can1");
        rate->setCurrentIndex(rate->findData(500000));
        node->setValue(12);
        minutes->setValue(20);
        checked = true;
        button(dialog, QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(CANopenConfigurationWindow(&hw, &co), 1);
    EXPECT_TRUE(checked);
    EXPECT_EQ(hw.InterfaceType, 1u);
    EXPECT_STREQ(hw.AccessPoint, "can1");
    EXPECT_EQ(co.Baud, 500000u);
    EXPECT_EQ(co.InterfaceNodeID, 12u);
    EXPECT_EQ(QELCOPN_GetBlackBoxMinutes(&co), 20u);
}

TEST(ConfigDialogTest, ARecordingOffersItsSpeedAndLoopOnlyWhenPicked)
{
    HardwareConfiguration hw;
    CANopenConfiguration co;
    startingRecords(&hw, &co);
    hw.Reserved[0] = 5;
    whenDialogShows([](QDialog &dialog) {
        auto *kind = dialog.findChild<QComboBox *>("ComboBox_Kind");
        auto *speed = dialog.findChild<QComboBox *>("ComboBox_ReplaySpeed");
        auto *loop = dialog.findChild<QCheckBox *>("CheckBox_ReplayLoop");
        ASSERT_TRUE(kind && speed && loop);
        EXPECT_FALSE(speed->isVisible());
        EXPECT_FALSE(loop->isVisible());
        kind->setCurrentIndex(kind->findData(QELCOPN_KIND_RECORDING));
        EXPECT_EQ(kind->currentText(), "Recording file");
        EXPECT_TRUE(speed->isVisible());
        EXPECT_TRUE(loop->isVisible());
        EXPECT_EQ(speed->currentData().toUInt(), 5u); // as stored
        EXPECT_EQ(speed->count(), 5);
        for (int i = 0; i < speed->count(); ++i)
            EXPECT_GE(speed->width(), QFontMetrics(speed->font()).horizontalAdvance(speed->itemText(i)));
        EXPECT_GE(loop->width(), QFontMetrics(loop->font()).horizontalAdvance(loop->text()));
        dialog.findChild<QComboBox *>("ComboBox_Interface")->setCurrentText("/home/tech/run.log");
        speed->setCurrentIndex(speed->findData(QELCOPN_REPLAY_FASTEST));
        loop->setChecked(true);
        button(dialog, QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(CANopenConfigurationWindow(&hw, &co), 1);
    EXPECT_EQ(hw.InterfaceType, QELCOPN_KIND_RECORDING);
    EXPECT_STREQ(hw.AccessPoint, "/home/tech/run.log");
    const uint8_t expected[8] = {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(hw.Reserved, expected, 8), 0);
}

TEST(ConfigDialogTest, CancelLeavesTheRecordsAsTheyWere)
{
    HardwareConfiguration hw, before;
    CANopenConfiguration co, coBefore;
    startingRecords(&hw, &co);
    before = hw;
    coBefore = co;
    whenDialogShows([](QDialog &dialog) {
        dialog.findChild<QSpinBox *>("SpinBox_NodeId")->setValue(3);
        dialog.findChild<QComboBox *>("ComboBox_Interface")->setCurrentText("can1");
        button(dialog, QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(CANopenConfigurationWindow(&hw, &co), 0);
    EXPECT_EQ(std::memcmp(&hw, &before, sizeof hw), 0);
    EXPECT_EQ(std::memcmp(&co, &coBefore, sizeof co), 0);
}

TEST(ConfigDialogTest, InvalidRecordsOpenOnTheDefaults)
{
    HardwareConfiguration hw;
    CANopenConfiguration co;
    std::memset(&hw, 0, sizeof hw);
    std::memset(&co, 0, sizeof co);
    hw.InterfaceType = 9;
    std::memset(hw.AccessPoint, 'z', sizeof hw.AccessPoint); // no zero
    co.Baud = 3;
    whenDialogShows([](QDialog &dialog) {
        EXPECT_EQ(dialog.findChild<QComboBox *>("ComboBox_Kind")->currentText(), "Virtual CAN bus");
        EXPECT_EQ(dialog.findChild<QComboBox *>("ComboBox_Interface")->currentText(), "can0");
        EXPECT_EQ(dialog.findChild<QComboBox *>("ComboBox_BitRate")->currentData().toUInt(), 250000u);
        EXPECT_EQ(dialog.findChild<QSpinBox *>("SpinBox_NodeId")->value(), 127);
        button(dialog, QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(CANopenConfigurationWindow(&hw, &co), 1);
    EXPECT_EQ(hw.InterfaceType, 2u);
    EXPECT_STREQ(hw.AccessPoint, "can0");
    EXPECT_EQ(co.InterfaceNodeID, 127u);
}
