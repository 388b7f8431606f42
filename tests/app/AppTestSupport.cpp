#include "AppTestSupport.h"

#include "Dialogs.h"

#include <QApplication>
#include <QTimer>

#include <cstring>

BoxRecorder::BoxRecorder()
{
    SetMessageBoxHook([this](const QString &text, const QString &caption, QMessageBox::StandardButtons buttons) {
        const ShownBox box{text, caption, buttons};
        boxes.push_back(box);
        if (onShow)
            onShow(box);
        if (answers.empty())
            return QMessageBox::Ok;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

BoxRecorder::~BoxRecorder()
{
    SetMessageBoxHook(nullptr);
}

void WhenModalShows(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
}

HardwareConfiguration Hardware(uint32_t interfaceType, const std::string &accessPoint, uint32_t port, uint32_t irq,
                               uint32_t comPort, uint32_t comBaud)
{
    HardwareConfiguration hw{};
    hw.InterfaceType = interfaceType;
    hw.Port = port;
    hw.Irq = irq;
    hw.ComPort = comPort;
    hw.ComBaud = comBaud;
    std::memcpy(hw.AccessPoint, accessPoint.data(), std::min(accessPoint.size(), sizeof hw.AccessPoint));
    return hw;
}

CANopenConfiguration CANopen(uint32_t nodeId, uint32_t baud)
{
    CANopenConfiguration co{};
    co.InterfaceNodeID = nodeId;
    co.Baud = baud;
    return co;
}
