// The library's own modal dialog for the adapter configuration. It runs on
// the calling thread, which must be the thread of the host's QApplication;
// without one it shows nothing and fails.
#pragma once

#include "QEL_COPN.h"

namespace qelcopn {

// True when the user accepted: both records then hold the choice. On
// cancel (or no QApplication) the records are left as they were.
bool showConfigDialog(HardwareConfiguration *hw, CANopenConfiguration *co);

} // namespace qelcopn
