// "Recording > Export Recording As...": a recording rewritten in a format
// other tools read (Vector ASC, PEAK TRC, Vector BLF, or the candump log),
// in a worker thread behind a progress dialog with Cancel. The file appears
// only once it is complete; a cancelled export leaves none.
#pragma once

#include "trace/TraceConvert.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

#include <memory>

class QProgressDialog;
class QWidget;

// One conversion in a thread of its own. The owner polls Progress and
// Finished from its thread; Cancel may be called from any.
class TRecordingExport {
public:
    TRecordingExport(const QString &input, const QString &output, qelcopn::trace::TraceFormat format);
    ~TRecordingExport(); // cancels and waits
    TRecordingExport(const TRecordingExport &) = delete;
    TRecordingExport &operator=(const TRecordingExport &) = delete;

    // 0..1000: the part of the input read so far.
    int Progress() const { return Permille.load(std::memory_order_relaxed); }
    bool Finished() const { return Done.load(std::memory_order_acquire); }
    void Cancel() { Cancelled.store(true, std::memory_order_relaxed); }
    // Valid once Finished.
    const qelcopn::trace::ConvertOutcome &Outcome() const { return Result; }

private:
    std::atomic<int> Permille{0};
    std::atomic<bool> Cancelled{false};
    std::atomic<bool> Done{false};
    qelcopn::trace::ConvertOutcome Result;
    std::thread Worker;
};

// The menu's handler: asks for the recording and the file to write (its
// format by the extension chosen), converts behind a progress dialog and
// says how it went.
void ExportRecordingAs(QWidget *parent);
// The progress dialog of exporting the recording named fileName.
std::unique_ptr<QProgressDialog> NewExportProgressDialog(QWidget *parent, const QString &fileName,
                                                         qelcopn::trace::TraceFormat format);
// The dialogs' name filters: every format a recording is read from, and
// one entry per format to write.
extern const QString RECORDING_READ_FILTER;
extern const QString RECORDING_EXPORT_FILTER;
