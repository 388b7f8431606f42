#include "KeyboardWalk.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>

std::vector<QWidget *> TabWalk(QWidget *window, QWidget *start, int limit)
{
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return {};
    start->setFocus(Qt::TabFocusReason);
    std::vector<QWidget *> walked{QApplication::focusWidget()};
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == walked.front())
            break;
        walked.push_back(QApplication::focusWidget());
    }
    return walked;
}

namespace {

// A list of page tabs is read by its tabs.
bool Named(const QAccessibleInterface *accessible)
{
    if (accessible == nullptr)
        return false;
    if (accessible->role() != QAccessible::PageTabList)
        return !accessible->text(QAccessible::Name).trimmed().isEmpty();
    for (int i = 0; i < accessible->childCount(); ++i)
        if (accessible->child(i)->role() == QAccessible::PageTab && !Named(accessible->child(i)))
            return false;
    return accessible->childCount() > 0;
}

} // namespace

QStringList UnnamedControls(const QWidget *window)
{
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(window) || !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy() != nullptr)
            continue;
        // The edit inside a spin box has the focus for the box, which carries the name.
        QWidget *owner = widget->parentWidget();
        const bool ownerNamed = owner != nullptr && owner->focusProxy() == widget &&
                                Named(QAccessible::queryAccessibleInterface(owner));
        if (!ownerNamed && !Named(QAccessible::queryAccessibleInterface(widget))) {
            const QRect at = widget->geometry();
            unnamed << QStringLiteral("%1 at %2,%3").arg(QString::fromLatin1(widget->metaObject()->className()))
                           .arg(at.x()).arg(at.y());
        }
    }
    return unnamed;
}
