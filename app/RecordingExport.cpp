#include "RecordingExport.h"

#include "Dialogs.h"
#include "RecordingSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

namespace trace = qelcopn::trace;

const QString RECORDING_READ_FILTER = QStringLiteral("Recordings (*.log *.asc *.trc *.blf);;All Files (*)");
const QString RECORDING_EXPORT_FILTER = QStringLiteral(
    "Vector ASC (*.asc);;PEAK TRC 2.1 (*.trc);;Vector BLF (*.blf);;candump log (*.log)");

namespace {

constexpr int PROGRESS_REFRESH_MS = 100;
const QString DOS_LINE_END = QStringLiteral("\r\n");

} // namespace

TRecordingExport::TRecordingExport(const QString &input, const QString &output, trace::TraceFormat format)
{
    const std::string in = QFile::encodeName(input).toStdString();
    const std::string out = QFile::encodeName(output).toStdString();
    Worker = std::thread([this, in, out, format] {
        Result = trace::convertTrace(in, out, format, [this](uint64_t read, uint64_t total, uint64_t) {
            Permille.store(total == 0 ? 1000 : int(read * 1000 / total), std::memory_order_relaxed);
            return !Cancelled.load(std::memory_order_relaxed);
        });
        Done.store(true, std::memory_order_release);
    });
}

TRecordingExport::~TRecordingExport()
{
    Cancel();
    Worker.join();
}

std::unique_ptr<QProgressDialog> NewExportProgressDialog(QWidget *parent, const QString &fileName,
                                                         trace::TraceFormat format)
{
    auto progress = std::make_unique<QProgressDialog>(
        QStringLiteral("Exporting %1 as %2...").arg(fileName, QString::fromLatin1(trace::formatTitle(format))),
        QStringLiteral("Cancel"), 0, 1000, parent);
    progress->setWindowTitle(QStringLiteral("Export Recording As"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    return progress;
}

void ExportRecordingAs(QWidget *parent)
{
    const QString folder = RecordingsFolder();
    const QString input = ChooseFile(false, QStringLiteral("Export Recording As"),
                                     QFileInfo::exists(folder) ? folder : QDir::homePath(), RECORDING_READ_FILTER);
    if (input.isEmpty())
        return;
    const QFileInfo from(input);
    QString output = ChooseFile(true, QStringLiteral("Export Recording As"),
                                from.absolutePath() + QLatin1Char('/') + from.completeBaseName()
                                    + QStringLiteral(".asc"),
                                RECORDING_EXPORT_FILTER);
    if (output.isEmpty())
        return;
    // The format is the name's: a name without a known one becomes ASC.
    std::optional<trace::TraceFormat> format = trace::formatOfPath(QFile::encodeName(output).toStdString());
    if (!format) {
        output += QStringLiteral(".asc");
        format = trace::TraceFormat::Asc;
    }
    if (QFileInfo(output).absoluteFilePath() == from.absoluteFilePath()) {
        ShowMessageBox(QStringLiteral("Cannot Export Recording") + DOS_LINE_END + output + DOS_LINE_END
                           + QStringLiteral("A recording cannot be exported onto itself."),
                       QStringLiteral("Error"));
        return;
    }

    const std::unique_ptr<QProgressDialog> dialog = NewExportProgressDialog(parent, from.fileName(), *format);
    QProgressDialog &progress = *dialog;
    TRecordingExport exporting(input, output, *format);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &progress, [&] {
        progress.setValue(exporting.Progress());
        if (exporting.Finished())
            progress.close();
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&] { exporting.Cancel(); });
    poll.start(PROGRESS_REFRESH_MS);
    progress.exec();
    poll.stop();
    exporting.Cancel(); // closed some other way: nothing half done stays
    while (!exporting.Finished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const trace::ConvertOutcome &outcome = exporting.Outcome();
    if (outcome.cancelled)
        return;
    if (!outcome.ok) {
        ShowMessageBox(QStringLiteral("Cannot Export Recording") + DOS_LINE_END + output + DOS_LINE_END
                           + QString::fromStdString(outcome.message),
                       QStringLiteral("Error"));
        return;
    }
    // A recording read only up to damage in it is worth saying so.
    if (outcome.skipped != 0)
        ShowMessageBox(QStringLiteral("Recording Exported") + DOS_LINE_END + output + DOS_LINE_END
                           + QStringLiteral("%1 frames; ").arg(outcome.frames)
                           + QString::fromStdString(outcome.message) + QLatin1Char('.'),
                       QStringLiteral("Information"));
}
