// The bus's health in a status bar: state, traffic, load, errors and lost
// frames from the library, read once a second while the panel is shown.
#pragma once

#include "QEL_COPN.h"

#include <QLabel>

class QStatusBar;
class QTimer;

// "Bus: error active, 926 frames/s, load 41 %, 0 errors, 0 lost"; a bus
// silent for 3 s or more says so instead of its rate.
QString BusHealthText(const BusStatistics &statistics);

class TBusHealthPanel : public QLabel {
public:
    explicit TBusHealthPanel(QWidget *parent = nullptr);
    void Refresh();
    // Shown while active, except while the bar shows a message of its own
    // (a hint): the panel gives way so that the message is read whole.
    void GiveWayTo(QStatusBar *bar);
    void SetActive(bool active);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void UpdateVisibility();

    QTimer *Timer_;
    bool Active_ = true;
    bool MessageShowing_ = false;
};
