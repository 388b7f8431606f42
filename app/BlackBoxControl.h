// The black box from the application's side: "Save Last Minutes..." and
// "Automatic Black Box" in the Recording menu. An automatic capture starts
// when the monitor's history sees a fault become active or the MTU go
// offline, takes the span before the event and the minute after it (later
// events inside that minute join the same capture; one after it starts the
// next, with its own span before), and goes into the
// black-box folder, which is kept under a cap by removing the oldest
// captures. Saves run in threads of their own: the library writes them
// from memory while the windows carry on.
#pragma once

#include "HistoryLog.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <list>
#include <optional>
#include <thread>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class TForm_MTU;
class TMainForm;

class TBlackBoxControl : public QObject {
    Q_OBJECT
public:
    static constexpr int CAPTURE_BEFORE_SECONDS = 120;
    static constexpr int CAPTURE_AFTER_MS = 60000;
    // About a dozen captures of a full 1 Mbit/s bus (73 MB each).
    static constexpr qint64 FOLDER_CAP_BYTES = qint64(1) << 30;
    static constexpr int STATUS_SHOWN_MS = 5000;

    // Adds "Automatic Black Box" to the menu and takes over the menu's
    // "Save Last Minutes..." item.
    TBlackBoxControl(TMainForm *form, QMenu *menu, QAction *saveLastMinutes);
    ~TBlackBoxControl() override;

    QAction *AutomaticBlackBox = nullptr;
    QAction *SaveLastMinutes = nullptr;

    // Follows the events the monitor's history takes.
    void WatchMonitor(TForm_MTU *monitor);

    // Shorter spans and a smaller cap, for tests.
    void SetCaptureSpans(int beforeSeconds, int afterMs);
    void SetFolderCap(qint64 bytes) { folderCap_ = bytes; }

    bool CapturePending() const { return pending_.has_value(); }
    // The capture or save written last; empty before the first.
    const QString &LastSaved() const { return lastSaved_; }
    // Saves running now.
    int SavesRunning() const { return int(saves_.size()); }

    // A fault that became active or the MTU going offline, as the history
    // told it: starts or extends a capture.
    void NoteEvents(const std::vector<THistoryEntry> &events);
    void NoteEvent(const QString &what);

    // Network access ends: a capture under way is saved now with what there
    // is, and every save has finished and been reported when this returns.
    void Finish();

    void SaveLastMinutesClick();
    void AutomaticBlackBoxClick();
    void UpdateActions(bool networkAccessOn);

signals:
    // A save ended; path empty when it failed.
    void SaveEnded(const QString &path);

private:
    struct Capture {
        QString path;
        qint64 startMs = 0; // of the monotonic clock, before the first event
    };
    void SaveCapture();
    // Runs the library's save in a thread; Saved follows in this thread.
    void SaveInBackground(const QString &path, uint32_t seconds, bool automatic);
    void Saved(const QString &path, uint32_t error, bool automatic);
    void ReportFailure(const QString &text, const QString &subject, uint32_t code);
    void ShowSaved(const QString &path);
    void PruneFolder(const QString &keep) const;
    Q_INVOKABLE void TakeFinishedSaves();

    TMainForm *form_;
    int beforeSeconds_ = CAPTURE_BEFORE_SECONDS;
    int afterMs_ = CAPTURE_AFTER_MS;
    qint64 folderCap_ = FOLDER_CAP_BYTES;
    QTimer captureEnd_;
    std::optional<Capture> pending_;
    QString lastSaved_;
    bool failureReported_ = false;
    QTimer statusHide_;
    QLabel *mainStatus_ = nullptr;
    // The worker writes error, then done; the rest is set before it starts.
    struct Save {
        QString path;
        bool automatic = false;
        uint32_t error = 0;
        std::atomic<bool> done{false};
        std::thread thread;
    };
    std::list<Save> saves_;
    QString UnusedCapturePath(const QString &folder, const QString &what) const;
    // Joins a save's thread, forgets it and tells its outcome.
    void EndSave(std::list<Save>::iterator save);
};
