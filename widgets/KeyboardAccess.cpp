#include "KeyboardAccess.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

#include <vector>

namespace {

class TKeyboardContextMenu : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
            return false;
        // Every widget on the way up sees the key; the one with the focus opens its menu.
        QWidget *widget = QApplication::focusWidget();
        if (widget == nullptr || watched != widget || !widget->isEnabled())
            return false;
        // Where the Menu key would put it: at the text cursor, or the current cell of a grid.
        QPoint at = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        if (!widget->rect().contains(at))
            at = widget->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at), key->modifiers());
        QApplication::sendEvent(widget, &menu);
        // A control without a menu lets the key go on as it was.
        return menu.isAccepted();
    }
};

QPointer<TKeyboardContextMenu> installed;

} // namespace

void InstallKeyboardContextMenu()
{
    if (installed || qApp == nullptr)
        return;
    installed = new TKeyboardContextMenu(qApp);
    qApp->installEventFilter(installed);
}

void ChainFocusThroughPages(QTabWidget *pages, QWidget *last)
{
    // Read the whole chain first: setTabOrder changes it.
    std::vector<std::vector<QWidget *>> onPage(size_t(pages->count()));
    QWidget *window = pages->window();
    for (QWidget *next = window->nextInFocusChain(); next != window; next = next->nextInFocusChain()) {
        if (!(next->focusPolicy() & Qt::TabFocus))
            continue;
        for (int i = 0; i < pages->count(); ++i)
            if (pages->widget(i)->isAncestorOf(next))
                onPage[size_t(i)].push_back(next);
    }
    // From the tab bar itself: Qt takes a tab widget, whose focus proxy the
    // bar is, as one compound with every page's controls and splits the chain.
    QWidget *previous = pages->tabBar();
    for (const std::vector<QWidget *> &controls : onPage)
        for (QWidget *control : controls) {
            QWidget::setTabOrder(previous, control);
            previous = control;
        }
    QWidget::setTabOrder(previous, last);
}
