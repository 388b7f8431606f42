// What the window tests share: boxes answered and recorded instead of shown,
// modal dialogs handled from inside their own event loop, and records built
// in one line.
#pragma once

#include "QEL_COPN.h"

#include <QMessageBox>
#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QWidget;

struct ShownBox {
    QString text;
    QString caption;
    QMessageBox::StandardButtons buttons;
};

// While it lives, every message box is recorded and answered from
// `answers` (Ok when none is left) instead of being shown.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder &) = delete;
    BoxRecorder &operator=(const BoxRecorder &) = delete;

    std::vector<ShownBox> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    // Runs inside each box, e.g. to look at the cursor or to throw.
    std::function<void(const ShownBox &)> onShow;
};

// Runs `act` on the next modal widget once it is up, from its event loop.
void WhenModalShows(std::function<void(QWidget *)> act);

HardwareConfiguration Hardware(uint32_t interfaceType, const std::string &accessPoint = {}, uint32_t port = 0,
                               uint32_t irq = 0, uint32_t comPort = 0, uint32_t comBaud = 0);
CANopenConfiguration CANopen(uint32_t nodeId, uint32_t baud);
