// What the recording and the black box show the user, shared by both
// controls: a status label in each window's status bar, the error box that
// names a file and the system's words for the cause, and the .log name
// every recording keeps so that its session file can sit beside it.
#pragma once

#include <QString>

#include <cstdint>

class QLabel;
class QStatusBar;

// The bar's permanent label of that name, made hidden on first use; none
// without a bar.
QLabel *StatusLabelIn(QStatusBar *bar, const QString &name);
// Shows the text in each label there is (hides it for an empty text).
void ShowStatusText(std::initializer_list<QLabel *> labels, const QString &text);

// "TEXT\r\nSUBJECT\r\nNo space left on device" in an "Error" box; the last
// line only for a nonzero error code.
void ShowFileError(const QString &text, const QString &subject, uint32_t code = 0);

// The path with ".log" added unless it ends so already.
QString WithRecordingSuffix(const QString &path);
