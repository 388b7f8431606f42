// The PEAK TRC reader on any bytes (see TraceReaderFuzz.h).
#include "TraceReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return FuzzTraceReader(qelcopn::trace::TraceFormat::Trc, data, size);
}
