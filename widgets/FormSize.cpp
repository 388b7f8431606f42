#include "FormSize.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

TFormSize::TFormSize(QWidget *form, QString section, QString iniPath)
    : form_(form), section_(std::move(section)), iniPath_(std::move(iniPath))
{
}

TFormSize::~TFormSize()
{
    Save();
}

void TFormSize::Restore()
{
    QSettings ini(iniPath_, QSettings::IniFormat);
    const QPoint current = form_->pos();
    const int left = ini.value(section_ + QStringLiteral("/Left"), current.x()).toInt();
    const int top = ini.value(section_ + QStringLiteral("/Top"), current.y()).toInt();
    QRect desktop;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        desktop = screen->virtualGeometry();
    const QSize size = form_->frameGeometry().size();
    const QRect wanted(QPoint(left, top), size);
    form_->move(desktop.isValid() ? PlaceOnDesktop(wanted, desktop) : wanted.topLeft());
}

void TFormSize::Save() const
{
    QSettings ini(iniPath_, QSettings::IniFormat);
    ini.setValue(section_ + QStringLiteral("/Left"), form_->x());
    ini.setValue(section_ + QStringLiteral("/Top"), form_->y());
    ini.sync();
}

QPoint TFormSize::PlaceOnDesktop(const QRect &window, const QRect &desktop)
{
    int left = window.left();
    int top = window.top();
    const int right = desktop.left() + desktop.width();
    const int bottom = desktop.top() + desktop.height();
    if (left + window.width() > right)
        left = right - window.width();
    if (left < desktop.left())
        left = desktop.left();
    if (top + window.height() > bottom)
        top = bottom - window.height();
    if (top < desktop.top())
        top = desktop.top();
    return {left, top};
}
