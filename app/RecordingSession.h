// The files around a recording (where they go and their proposed names are
// in Places.h): the gateway's identity in the session file beside NAME.log.
#pragma once

#include "Places.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// The session file beside a recording, by the library's one rule: NAME.json
// beside NAME.log, NAME.asc or NAME.
QString SessionFilePath(const QString &logPath);

// The name users know a recording by: the file name without ".log".
QString RecordingDisplayName(const QString &logPath);

// "Recording: NAME (N frames)"; once frames were lost or a write failed
// "Recording: NAME, N frames, M lost: No space left on device", so that a
// failing recording never looks like a good one. Not named, the failing
// text leaves the name out ("Recording: N frames, M lost: ..."), for the
// monitor's narrow status bar.
QString RecordingStatusText(const QString &logPath, uint64_t framesWritten, uint64_t framesLost = 0,
                            uint32_t lastError = 0, bool named = true);

struct GatewayIdentity {
    std::optional<int> nodeId;      // 1 to 127
    std::optional<int> productCode; // as the gateway's identity object gave it
};

// What the session file says of the gateway; nothing of a missing, broken or
// foreign file, nor of a value of the wrong type or range.
GatewayIdentity ReadGatewayIdentity(const QString &sessionPath);

// Adds the gateway's identity to a session file the library wrote, keeping
// its other keys; written to a temporary file and renamed over, so a crash
// leaves the old file or the new one. False when there was no readable
// session file or it could not be written.
bool WriteGatewayIdentity(const QString &sessionPath, const GatewayIdentity &identity);
