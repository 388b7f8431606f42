#include "ClassicControls.h"

#include <QPainter>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {
// Room left and right of the caption inside the edge.
constexpr int CAPTION_INDENT = 6;
constexpr int CAPTION_PADDING = 2;
} // namespace

TGroupBox::TGroupBox(const QString &title, QWidget *parent) : QGroupBox(title, parent)
{
}

void TGroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int edgeTop = metrics.height() / 2;
    qDrawShadeRect(&painter, QRect(0, edgeTop, width(), height() - edgeTop), palette(), true, 1);
    if (title().isEmpty())
        return;
    const QRect caption(CAPTION_INDENT, 0, metrics.horizontalAdvance(title()) + 2 * CAPTION_PADDING,
                        metrics.height());
    painter.fillRect(caption, palette().window());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}

TStaticText::TStaticText(QWidget *parent, const QString &text, int left, int top) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    move(left, top);
    SetText(text);
}

void TStaticText::SetText(const QString &text)
{
    setText(text);
    adjustSize();
    if (rightLimit_ > 0 && x() + width() > rightLimit_)
        resize(rightLimit_ - x(), height());
    setToolTip(Shortened() ? text : QString());
}

void TStaticText::SetRightLimit(int right)
{
    rightLimit_ = right;
    SetText(text());
}

bool TStaticText::Shortened() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void TStaticText::paintEvent(QPaintEvent *event)
{
    if (!Shortened()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect room = contentsRect();
    painter.drawText(room, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()));
}

TImage::TImage(QWidget *parent) : QLabel(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void TImage::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.backgroundColor = palette().color(QPalette::Window);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}
