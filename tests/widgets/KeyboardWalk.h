// What a keyboard and a screen reader meet in a window: where Tab goes, and
// which controls have no name to be read.
#pragma once

#include <QStringList>

#include <vector>

class QWidget;

// Shows and activates the window, puts the focus on `start` and presses Tab
// until the focus comes back there (or `limit` presses): the widgets that
// had the focus, `start` first.
std::vector<QWidget *> TabWalk(QWidget *window, QWidget *start, int limit = 50);

// The shown controls a user can reach with Tab whose accessible name is
// empty (a tab bar: one of its tabs), each as its class name and place.
QStringList UnnamedControls(const QWidget *window);
