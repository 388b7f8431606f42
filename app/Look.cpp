#include "Look.h"

#include <QColor>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QFont FormFont()
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QPixmap MakerLogo()
{
    QPixmap logo(160, 47);
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient shade(0, 0, 0, 47);
    shade.setColorAt(0, QColor(0x1F, 0x3F, 0x7A));
    shade.setColorAt(1, QColor(0x0C, 0x1E, 0x45));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(0.5, 0.5, 159, 46), 6, 6);

    // A stretch of bus with three nodes on it, under the name.
    p.setPen(QPen(QColor(0xF2, 0xA9, 0x00), 2));
    p.drawLine(QPointF(10, 38), QPointF(150, 38));
    p.setBrush(QColor(0xF2, 0xA9, 0x00));
    for (const qreal x : {30.0, 80.0, 130.0}) {
        p.drawLine(QPointF(x, 38), QPointF(x, 33));
        p.drawEllipse(QPointF(x, 31), 3, 3);
    }

    // The name, with the company form set on its baseline right after it.
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(24);
    name.setBold(true);
    name.setItalic(true);
    const int baseline = 25;
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QPoint(12, baseline), QStringLiteral("QEL"));
    const int nameEnd = 12 + QFontMetrics(name).horizontalAdvance(QStringLiteral("QEL"));
    QFont suffix(QStringLiteral("DejaVu Sans"));
    suffix.setPixelSize(11);
    suffix.setBold(true);
    p.setFont(suffix);
    p.setPen(QColor(0xC8, 0xD6, 0xF0));
    p.drawText(QPoint(nameEnd + 2, baseline), QStringLiteral(",LLC."));
    return logo;
}

namespace {

QPixmap AdapterBox()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    // Cable stubs out of the right side and the bottom.
    p.fillRect(14, 6, 2, 2, QColor(0x60, 0x60, 0x60));
    p.fillRect(8, 12, 2, 4, QColor(0x60, 0x60, 0x60));
    // The box, with a lighter top edge.
    p.fillRect(4, 3, 10, 9, QColor(0x2B, 0x2B, 0x30));
    p.fillRect(4, 3, 10, 1, QColor(0x55, 0x55, 0x5E));
    // The lamp.
    p.fillRect(6, 6, 3, 3, QColor(0x20, 0x70, 0xFF));
    p.fillRect(7, 6, 1, 1, QColor(0xA0, 0xC8, 0xFF));
    return picture;
}

QPixmap CircuitCard()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.fillRect(4, 2, 12, 10, QColor(0x1E, 0x8C, 0x3A));
    p.fillRect(4, 2, 12, 1, QColor(0x4C, 0xB8, 0x64));
    // Two chips and a trace.
    p.fillRect(6, 4, 4, 3, QColor(0x18, 0x18, 0x18));
    p.fillRect(11, 4, 3, 3, QColor(0x18, 0x18, 0x18));
    p.fillRect(6, 9, 8, 1, QColor(0xC8, 0xA0, 0x40));
    // The edge connector's fingers.
    for (int x = 5; x < 16; x += 2)
        p.fillRect(x, 12, 1, 3, QColor(0xF0, 0xD0, 0x20));
    return picture;
}

} // namespace

QPixmap InterfacePicture(int index)
{
    return index == 0 ? AdapterBox() : CircuitCard();
}
