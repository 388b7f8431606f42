// Where Tarnwick keeps its things: the folders recordings and black-box
// captures go to, and the dated names proposed for new files, the same from
// the application's menus and from tarnwick-record.
#pragma once

#include "SettingsPath.h"

#include <QDateTime>
#include <QString>

// ~/.local/share/Quelbrook/Tarnwick/recordings, not yet created.
QString RecordingsFolder();
// ~/.local/share/Quelbrook/Tarnwick/blackbox, where black-box captures go.
QString BlackBoxFolder();

// "2026-12-09_15-04-12" for that local time: sorts by date, and has no
// character a file system or a shell would object to.
QString FileNameTime(const QDateTime &when);

// "2026-12-09_15-04-12.log".
QString ProposedRecordingName(const QDateTime &when);
// The same with what it holds: "2026-12-09_15-04-12_mtu-offline.log".
QString ProposedRecordingName(const QDateTime &when, const QString &what);
