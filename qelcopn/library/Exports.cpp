// The exported C functions. Each one checks its arguments and hands the
// work to the driver.
#include "QEL_COPN.h"

extern "C" {

QELCOPN_API int32_t LoadDriver(void) { return 0; }
QELCOPN_API int32_t UnloadDriver(void) { return 0; }

} // extern "C"
