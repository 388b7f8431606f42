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
    // A key that is missing or not a number keeps the current value.
    const auto read = [&](const QString &key, int current) {
        bool ok = false;
        const int value = ini.value(section_ + key).toInt(&ok);
        return ok ? value : current;
    };
    const int left = read(QStringLiteral("/Left"), current.x());
    const int top = read(QStringLiteral("/Top"), current.y());
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
