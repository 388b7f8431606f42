// The application object of the window tests.
#include "QtTestSupport.h"

namespace {
const bool applicationInstalled = InstallApplication();
} // namespace
