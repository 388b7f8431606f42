// The main window's "Recording" menu: recording every frame the library sees
// while network access is on, the status of a running recording in the
// windows' status bars, and replaying a recording as this session's
// interface without touching the stored adapter configuration.
#pragma once

#include "QEL_COPN.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class TMainForm;

class TRecordingControl : public QObject {
    Q_OBJECT
public:
    // Adds the menu to the form's menu bar (before Help, which is added
    // after it) and the status label to its status line.
    explicit TRecordingControl(TMainForm *form);

    QMenu *Menu = nullptr;
    QAction *StartRecording = nullptr;
    QAction *StopRecording = nullptr;
    QAction *SaveLastMinutes = nullptr;
    QAction *ReplayRecording = nullptr;
    QAction *ExportRecording = nullptr;
    QLabel *StatusLabel = nullptr;

    // The .log being written; empty when not recording.
    const QString &RecordingPath() const { return recordingPath_; }
    // The .log replayed as this session's interface; empty when none.
    const QString &ReplayPath() const { return replayPath_; }

    // Ends a running recording with everything written, then completes its
    // session file. Safe to call when nothing records or the library is gone.
    void EndRecording();
    // Gives the stored adapter configuration back to the window in place of
    // a replay; nothing when no replay is chosen.
    void EndReplaySession();
    // Reads the recording's status and shows it; ends the recording here
    // when the library ended it (a full disk, say).
    void RefreshStatus();
    void UpdateActions();

    // The status label in the monitor window's status bar, made on first use.
    static QLabel *MonitorStatusLabel();

public slots:
    void StartRecordingClick();
    void StopRecordingClick();
    void ReplayRecordingClick();

private:
    // The text in the main window; in the monitor window monitorText when
    // given.
    void ShowStatus(const QString &text, const QString &monitorText = QString());
    bool NetworkAccessOn() const;

    TMainForm *form_;
    QTimer refresh_;
    QString recordingPath_;
    QString replayPath_;
    std::optional<std::pair<HardwareConfiguration, CANopenConfiguration>> storedRecords_;
};
