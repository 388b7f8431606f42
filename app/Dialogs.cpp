#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>

#include <mutex>

namespace {

std::mutex hookMutex;
MessageBoxHook hook;
FileDialogHook fileHook;

} // namespace

QMessageBox::StandardButton ShowMessageBox(const QString &text, const QString &caption,
                                           QMessageBox::StandardButtons buttons)
{
    TOverrideCursor arrow(Qt::ArrowCursor);
    MessageBoxHook answer;
    {
        std::lock_guard lock(hookMutex);
        answer = hook;
    }
    if (answer)
        return answer(text, caption, buttons);

    // Texts are written with DOS line ends; a label wants plain ones.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, caption, shown, buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SetMessageBoxHook(MessageBoxHook newHook)
{
    std::lock_guard lock(hookMutex);
    hook = std::move(newHook);
}

QString ChooseFile(bool forSaving, const QString &caption, const QString &proposed, const QString &filter)
{
    FileDialogHook answer;
    {
        std::lock_guard lock(hookMutex);
        answer = fileHook;
    }
    if (answer)
        return answer(forSaving, caption, proposed, filter);
    QWidget *parent = QApplication::activeWindow();
    return forSaving ? QFileDialog::getSaveFileName(parent, caption, proposed, filter)
                     : QFileDialog::getOpenFileName(parent, caption, proposed, filter);
}

void SetFileDialogHook(FileDialogHook newHook)
{
    std::lock_guard lock(hookMutex);
    fileHook = std::move(newHook);
}

void ShowException(const std::exception &error)
{
    ShowMessageBox(QString::fromLocal8Bit(error.what()), APPLICATION_TITLE, QMessageBox::Ok);
}

void RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        ShowException(error);
    }
}
