#include "OverrideCursor.h"

#include <QApplication>
#include <QCursor>

TOverrideCursor::TOverrideCursor(Qt::CursorShape shape)
{
    QApplication::setOverrideCursor(QCursor(shape));
}

TOverrideCursor::~TOverrideCursor()
{
    QApplication::restoreOverrideCursor();
}
