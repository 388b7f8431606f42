// The application object of the monitor and trend tests.
#include "QtTestSupport.h"

namespace {
const bool applicationInstalled = InstallApplicationInScratchDirectory();
} // namespace
