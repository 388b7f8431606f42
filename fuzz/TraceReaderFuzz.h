// What every trace reader must hold to, whatever the bytes: no crash, only
// frames of this bus come out, and the frames do not depend on how the
// file's bytes were cut into the chunks a reading hands over.
#pragma once

#include "trace/TraceFormat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

inline std::vector<qelcopn::trace::TraceRecord> DecodeInChunks(qelcopn::trace::TraceFormat format,
                                                               const uint8_t *data, size_t size, size_t chunk)
{
    std::unique_ptr<qelcopn::trace::TraceDecoder> decoder = qelcopn::trace::makeDecoder(format);
    std::vector<qelcopn::trace::TraceRecord> records;
    for (size_t at = 0; at < size; at += chunk)
        decoder->feed(reinterpret_cast<const char *>(data) + at, std::min(chunk, size - at), &records);
    decoder->finish(&records);
    return records;
}

inline int FuzzTraceReader(qelcopn::trace::TraceFormat format, const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks how the rest is cut.
    const size_t chunk = 1 + data[0] % 61;
    qelcopn::trace::detectFormat(std::string_view(reinterpret_cast<const char *>(data + 1), size - 1));
    const auto whole = DecodeInChunks(format, data + 1, size - 1, size);
    const auto cut = DecodeInChunks(format, data + 1, size - 1, chunk);
    if (whole.size() != cut.size())
        std::abort();
    for (size_t i = 0; i < whole.size(); ++i) {
        const qelcopn::CanFrame &a = whole[i].frame, &b = cut[i].frame;
        if (a.length > 8 || (!a.error && a.id > 0x7FF) || a.id > 0x1FFFFFFF || (a.remote && a.error))
            std::abort();
        if (a.id != b.id || a.length != b.length || a.remote != b.remote || a.error != b.error
            || std::memcmp(a.data, b.data, 8) != 0 || whole[i].wallMicros != cut[i].wallMicros
            || whole[i].sent != cut[i].sent)
            std::abort();
    }
    return 0;
}
