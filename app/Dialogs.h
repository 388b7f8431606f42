// Message boxes, the hourglass cursor and the display of exceptions: every
// window of the application goes through these, so that tests can answer the
// boxes without a person and see what was shown.
#pragma once

#include "OverrideCursor.h"

#include <QMessageBox>
#include <QString>

#include <exception>
#include <functional>

// The application's title: the caption of the exception display.
inline const QString APPLICATION_TITLE = QStringLiteral("Tarnwick");

// Shows a modal box with the text, the caption and the buttons, no icon, and
// returns the button chosen. Closing a box that has Cancel answers Cancel.
// The pointer is the arrow while the box is up, even under the hourglass.
QMessageBox::StandardButton ShowMessageBox(const QString &text, const QString &caption,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// While a hook is set, boxes go to it instead of the screen and it answers.
using MessageBoxHook = std::function<QMessageBox::StandardButton(
    const QString &text, const QString &caption, QMessageBox::StandardButtons buttons)>;
void SetMessageBoxHook(MessageBoxHook hook);

// A file dialog for saving (`forSaving`) or opening, on `proposed` (a
// folder, or a full path whose name is proposed), with a name filter such
// as "Recordings (*.log)". Returns the chosen path, empty on Cancel.
QString ChooseFile(bool forSaving, const QString &caption, const QString &proposed, const QString &filter);

// While a hook is set, file dialogs go to it instead of the screen.
using FileDialogHook = std::function<QString(bool forSaving, const QString &caption, const QString &proposed,
                                             const QString &filter)>;
void SetFileDialogHook(FileDialogHook hook);

// The application's standard display of an exception: its message in a box
// captioned with the application's title.
void ShowException(const std::exception &error);

// Runs a handler so that an exception it raises is shown and goes no further:
// no exception may unwind through the toolkit's own code.
void RunGuarded(const std::function<void()> &handler);

