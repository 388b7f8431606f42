#include "RecordingStatus.h"

#include "Dialogs.h"

#include <QLabel>
#include <QStatusBar>

#include <cstring>

namespace {

const QString LOG_SUFFIX = QStringLiteral(".log");
const QString DOS_LINE_END = QStringLiteral("\r\n");

} // namespace

QLabel *StatusLabelIn(QStatusBar *bar, const QString &name)
{
    if (bar == nullptr)
        return nullptr;
    if (auto *label = bar->findChild<QLabel *>(name))
        return label;
    auto *label = new QLabel(bar);
    label->setObjectName(name);
    label->hide();
    bar->addPermanentWidget(label);
    return label;
}

void ShowStatusText(std::initializer_list<QLabel *> labels, const QString &text)
{
    for (QLabel *label : labels) {
        if (label == nullptr)
            continue;
        label->setText(text);
        label->setVisible(!text.isEmpty());
    }
}

void ShowFileError(const QString &text, const QString &subject, uint32_t code)
{
    const QString reason = code != 0 ? DOS_LINE_END + QString::fromLocal8Bit(std::strerror(int(code))) : QString();
    ShowMessageBox(text + DOS_LINE_END + subject + reason, QStringLiteral("Error"));
}

QString WithRecordingSuffix(const QString &path)
{
    return path.endsWith(LOG_SUFFIX) ? path : path + LOG_SUFFIX;
}
