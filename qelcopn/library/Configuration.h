// The adapter configuration records: defaults, their store, and the names
// of the interface kinds.
#pragma once

#include "QEL_COPN.h"

#include <QString>

namespace qelcopn::configuration {

// The embedded default: the virtual bus "can0" at 250 kbit/s, own node 127.
void setDefaults(HardwareConfiguration *hw, CANopenConfiguration *co);

// "\Software\ORGANISATION\APPLICATION\" -> the two names; false when the
// path is not of that form.
bool parsePath(const char *path, QString *organisation, QString *application);

bool read(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co);
bool save(const char *path, const HardwareConfiguration *hw, const CANopenConfiguration *co);

// The access point as text; false when it has no zero within its bytes.
bool accessPointOf(const HardwareConfiguration *hw, QString *text);
void setAccessPoint(HardwareConfiguration *hw, const QString &text);

// The black box's minutes as the CANopen record holds them, the default
// for 0 or a value out of range; and the way in.
uint32_t blackBoxMinutes(const CANopenConfiguration *co);
void setBlackBoxMinutes(CANopenConfiguration *co, uint32_t minutes);
// A recording's replay settings (HardwareConfiguration.Reserved[0..7]).
// The speed as stored (0 the recorded pace, QELCOPN_REPLAY_FASTEST), and
// whether it loops.
uint32_t replaySpeed(const HardwareConfiguration *hw);
bool replayLoop(const HardwareConfiguration *hw);
void setReplay(HardwareConfiguration *hw, uint32_t speed, bool loop);
// The speeds offered and stored beside the recorded pace (0 or 1) and
// QELCOPN_REPLAY_FASTEST: that many times as fast. Others play at the
// recorded pace.
constexpr uint32_t kReplaySpeedsFaster[] = {2, 5, 10};
bool isReplaySpeed(uint32_t speed);

// The kind's display name, or "Unknown interface (N)"; false for that.
bool interfaceName(uint32_t kind, char name[QELCOPN_TEXT_SIZE]);

} // namespace qelcopn::configuration
