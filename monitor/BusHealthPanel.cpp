#include "BusHealthPanel.h"

#include "QEL_COPN_Interface.h"

#include <QStatusBar>
#include <QTimer>

namespace {

constexpr int REFRESH_MS = 1000;
constexpr uint32_t SILENT_MS = 3000;

const char *StateWords(uint32_t state)
{
    switch (state) {
    case QELCOPN_BUS_ERROR_ACTIVE: return "error active";
    case QELCOPN_BUS_WARNING: return "warning";
    case QELCOPN_BUS_ERROR_PASSIVE: return "error passive";
    case QELCOPN_BUS_OFF: return "bus-off";
    case QELCOPN_BUS_OFFLINE: return "offline";
    default: return "state unknown";
    }
}

} // namespace

QString BusHealthText(const BusStatistics &s)
{
    QString traffic;
    if (s.SilentMs == QELCOPN_NEVER_HEARD)
        traffic = QStringLiteral("nothing heard");
    else if (s.SilentMs >= SILENT_MS)
        traffic = QStringLiteral("silent for %1 s").arg(s.SilentMs / 1000);
    else
        traffic = QStringLiteral("%1 frames/s").arg(s.FramesPerSecondReceived + s.FramesPerSecondSent);
    const QString errors = s.ErrorFrames == 1 ? QStringLiteral("1 error") : QStringLiteral("%1 errors").arg(s.ErrorFrames);
    return QStringLiteral("Bus: %1, %2, load %3 %, %4, %5 lost")
        .arg(QLatin1String(StateWords(s.State)), traffic)
        .arg((s.LoadPermille + 5) / 10)
        .arg(errors)
        .arg(s.FramesLost);
}

TBusHealthPanel::TBusHealthPanel(QWidget *parent)
    : QLabel(parent)
    , Timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("BusHealth"));
    Timer_->setInterval(REFRESH_MS);
    connect(Timer_, &QTimer::timeout, this, &TBusHealthPanel::Refresh);
}

void TBusHealthPanel::Refresh()
{
    BusStatistics statistics{};
    if (CopnInterface == nullptr || CopnInterface->GetBusStatistics(&statistics) == 0) {
        clear();
        return;
    }
    setText(BusHealthText(statistics));
}

void TBusHealthPanel::GiveWayTo(QStatusBar *bar)
{
    connect(bar, &QStatusBar::messageChanged, this, [this](const QString &message) {
        MessageShowing_ = !message.isEmpty();
        UpdateVisibility();
    });
}

void TBusHealthPanel::SetActive(bool active)
{
    Active_ = active;
    UpdateVisibility();
}

void TBusHealthPanel::UpdateVisibility()
{
    setVisible(Active_ && !MessageShowing_);
}

void TBusHealthPanel::showEvent(QShowEvent *event)
{
    Refresh();
    Timer_->start();
    QLabel::showEvent(event);
}

void TBusHealthPanel::hideEvent(QHideEvent *event)
{
    Timer_->stop();
    QLabel::hideEvent(event);
}
