#include "trace/BlfFormat.h"

#include "trace/LocalTime.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace qelcopn::trace {

namespace {

constexpr uint32_t kFileHeaderSize = 144;
constexpr uint32_t kFileHeaderFields = 72; // what a reader needs of it
constexpr uint32_t kBaseHeader = 16;
constexpr uint32_t kHeaderV1 = 32; // base header and version 1's fields
constexpr uint32_t kContainerHeader = 32;
constexpr size_t kContainerBytes = 128 * 1024;

constexpr uint32_t kCanMessage = 1, kCanError = 2, kLogContainer = 10, kCanErrorExt = 73, kCanMessage2 = 86,
                   kCanFdMessage = 100, kCanFdMessage64 = 101;
constexpr uint16_t kNoCompression = 0, kZlibDeflate = 2;
constexpr uint32_t kTenMicros = 1, kNanoseconds = 2;
constexpr uint8_t kDirectionTx = 0x01, kRemote = 0x80;
constexpr uint32_t kExtendedId = 0x80000000u;
constexpr uint32_t kBusError = 0x80; // CAN_ERR_BUSERROR: CAN_ERROR tells no more
constexpr uint64_t kMaxOffsetMicros = 1000ULL * 366 * 86400 * 1000000;

void put16(std::string *out, uint16_t v)
{
    out->push_back(char(v));
    out->push_back(char(v >> 8));
}

void put32(std::string *out, uint32_t v)
{
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

void put64(std::string *out, uint64_t v)
{
    put32(out, uint32_t(v));
    put32(out, uint32_t(v >> 32));
}

uint16_t get16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t get32(const unsigned char *p)
{
    return uint32_t(get16(p)) | uint32_t(get16(p + 2)) << 16;
}

uint64_t get64(const unsigned char *p)
{
    return uint64_t(get32(p)) | uint64_t(get32(p + 4)) << 32;
}

void putObjectHeader(std::string *out, uint32_t size, uint32_t type, uint64_t nanos)
{
    out->append("LOBJ", 4);
    put16(out, kHeaderV1);
    put16(out, 1);
    put32(out, size);
    put32(out, type);
    put32(out, kNanoseconds);
    put16(out, 0); // client index
    put16(out, 0); // object version
    put64(out, nanos);
}

void putSystemTime(std::string *out, int64_t micros)
{
    if (micros <= 0) {
        out->append(16, '\0');
        return;
    }
    const LocalTime t = localTimeOf(micros);
    for (int v : {t.year, t.month, t.weekday, t.day, t.hour, t.minute, t.second, t.micros / 1000})
        put16(out, uint16_t(v));
}

int64_t systemTime(const unsigned char *p)
{
    LocalTime t;
    t.year = get16(p);
    t.month = get16(p + 2);
    t.day = get16(p + 6);
    t.hour = get16(p + 8);
    t.minute = get16(p + 10);
    t.second = get16(p + 12);
    t.micros = get16(p + 14) * 1000;
    // A writer that knew no start leaves zeros: times then count from 0.
    return wallMicrosOf(t).value_or(0);
}

} // namespace

void BlfEncoder::add(const TraceRecord &record, std::string *out)
{
    if (!started_) {
        started_ = true;
        startMicros_ = record.wallMicros - (record.wallMicros % 1000 + 1000) % 1000;
        out->append(kFileHeaderSize, '\0'); // finalHead replaces it
        fileBytes_ = uncompressedBytes_ = kFileHeaderSize;
    }
    stopMicros_ = record.wallMicros;
    const CanFrame &f = record.frame;
    const uint32_t size = f.error ? kHeaderV1 + 32 : kHeaderV1 + 16;
    if (objects_.size() + size > kContainerBytes)
        writeContainer(out);
    const uint64_t nanos = uint64_t(std::max<int64_t>(record.wallMicros - startMicros_, 0)) * 1000;
    const uint8_t length = std::min<uint8_t>(f.length, 8);
    char data[8];
    std::memcpy(data, f.data, 8);
    if (f.error) {
        putObjectHeader(&objects_, size, kCanErrorExt, nanos);
        put16(&objects_, 1); // channel
        put16(&objects_, 0); // length of the frame in bits
        put32(&objects_, 0); // flags
        objects_.push_back(0); // error code capture
        objects_.push_back(0); // position
        objects_.push_back(char(length));
        objects_.push_back(0);
        put32(&objects_, 0); // frame length in ns
        put32(&objects_, f.id & 0x1FFFFFFFu);
        put32(&objects_, 0); // extended flags, reserved
    } else {
        putObjectHeader(&objects_, size, kCanMessage, nanos);
        put16(&objects_, 1);
        objects_.push_back(char((record.sent ? kDirectionTx : 0) | (f.remote ? kRemote : 0)));
        objects_.push_back(char(length));
        put32(&objects_, f.id & 0x7FF);
        if (f.remote)
            std::memset(data, 0, 8);
    }
    objects_.append(data, 8);
    ++objectCount_;
}

void BlfEncoder::writeContainer(std::string *out)
{
    if (objects_.empty())
        return;
    uLongf length = compressBound(uLong(objects_.size()));
    compressed_.resize(length);
    if (compress2(reinterpret_cast<Bytef *>(compressed_.data()), &length,
                  reinterpret_cast<const Bytef *>(objects_.data()), uLong(objects_.size()), level_)
        != Z_OK)
        length = 0; // cannot happen with compressBound's room; stored as empty
    const uint32_t size = kContainerHeader + uint32_t(length);
    const size_t before = out->size();
    out->append("LOBJ", 4);
    put16(out, kBaseHeader);
    put16(out, 1);
    put32(out, size);
    put32(out, kLogContainer);
    put16(out, kZlibDeflate);
    out->append(6, '\0');
    put32(out, uint32_t(objects_.size()));
    out->append(4, '\0');
    out->append(compressed_.data(), length);
    out->append(size % 4, '\0');
    fileBytes_ += out->size() - before;
    uncompressedBytes_ += kContainerHeader + objects_.size();
    objects_.clear();
}

void BlfEncoder::finish(std::string *out)
{
    if (!started_) {
        started_ = true;
        out->append(kFileHeaderSize, '\0');
        fileBytes_ = uncompressedBytes_ = kFileHeaderSize;
    }
    writeContainer(out);
}

std::string BlfEncoder::finalHead() const
{
    std::string head = "LOGG";
    put32(&head, kFileHeaderSize);
    // Application (0: unknown) and its version, then the BLF version.
    for (uint8_t v : {0, 0, 0, 0, 2, 6, 8, 1})
        head.push_back(char(v));
    put64(&head, fileBytes_);
    put64(&head, uncompressedBytes_);
    put32(&head, objectCount_);
    put32(&head, 0);
    putSystemTime(&head, startMicros_);
    putSystemTime(&head, stopMicros_);
    head.resize(kFileHeaderSize, '\0');
    return head;
}

void BlfDecoder::Stream::compact()
{
    if (pos > 0 && (pos >= buf.size() || pos > (1u << 20))) {
        buf.erase(0, pos);
        pos = 0;
    }
}

template <typename Take>
void BlfDecoder::walk(Stream *s, bool atEnd, Take take)
{
    for (;;) {
        const size_t avail = s->buf.size() - s->pos;
        const auto *p = reinterpret_cast<const unsigned char *>(s->buf.data()) + s->pos;
        if (avail >= 4 && std::memcmp(p, "LOBJ", 4) != 0) {
            const size_t found = s->buf.find("LOBJ", s->pos + 1);
            // Up to three bytes before an object are padding.
            const size_t keep = found != std::string::npos ? found : std::max(s->buf.size() - 3, s->pos);
            if (keep - s->pos > 3 || (found == std::string::npos && atEnd && avail > 3)) {
                if (!s->damaged)
                    ++skipped_;
                s->damaged = true;
            }
            s->pos = found != std::string::npos ? found : (atEnd ? s->buf.size() : keep);
            if (found == std::string::npos)
                break;
            continue;
        }
        if (avail < kBaseHeader)
            break;
        const uint32_t size = get32(p + 8);
        if (size < kBaseHeader || size > kMaxObject) {
            if (!s->damaged)
                ++skipped_;
            s->damaged = true;
            s->pos += 4;
            continue;
        }
        if (avail < size && !atEnd)
            break;
        if (avail < size) {
            // At the end of the file: cut short, or a size that is wrong.
            // What follows may still be objects.
            if (!s->damaged)
                ++skipped_;
            s->damaged = true;
            s->pos += 4;
            continue;
        }
        s->damaged = false;
        take(p, size);
        s->pos += size;
    }
    s->compact();
}

void BlfDecoder::feed(const char *data, size_t size, std::vector<TraceRecord> *out)
{
    file_.buf.append(data, size);
    if (!headerRead_) {
        if (file_.buf.size() < 8)
            return;
        const auto *p = reinterpret_cast<const unsigned char *>(file_.buf.data());
        const uint32_t headerSize = get32(p + 4);
        if (std::memcmp(p, "LOGG", 4) != 0 || headerSize < kFileHeaderFields || headerSize > kMaxObject) {
            // Not a BLF header: look for objects all the same.
            ++skipped_;
            headerRead_ = true;
        } else {
            if (file_.buf.size() < headerSize)
                return;
            objectCount_ = get32(p + 32);
            startMicros_ = systemTime(p + 40);
            file_.pos = headerSize;
            headerRead_ = true;
        }
    }
    walk(&file_, false, [&](const unsigned char *object, uint32_t objectSize) {
        takeTopLevel(object, objectSize, out);
    });
}

void BlfDecoder::takeTopLevel(const unsigned char *object, uint32_t size, std::vector<TraceRecord> *out)
{
    if (get32(object + 12) != kLogContainer) {
        takeObject(object, size, out);
        return;
    }
    const uint16_t method = size >= kContainerHeader ? get16(object + 16) : 0xFFFF;
    const uint32_t expected = size >= kContainerHeader ? get32(object + 24) : 0;
    bool ok = method == kNoCompression || method == kZlibDeflate;
    if (ok && method == kNoCompression) {
        inner_.buf.append(reinterpret_cast<const char *>(object) + kContainerHeader, size - kContainerHeader);
    } else if (ok && expected <= kMaxObject) {
        uLongf length = expected;
        inflated_.resize(expected);
        ok = uncompress(reinterpret_cast<Bytef *>(inflated_.data()), &length, object + kContainerHeader,
                          size - kContainerHeader)
                == Z_OK;
        if (ok)
            inner_.buf.append(inflated_.data(), length);
    } else {
        ok = false;
    }
    if (!ok) {
        // An object begun in the lost container cannot be finished.
        ++skipped_;
        inner_.buf.clear();
        inner_.pos = 0;
        inner_.damaged = true;
        return;
    }
    walk(&inner_, false, [&](const unsigned char *inner, uint32_t innerSize) { takeObject(inner, innerSize, out); });
}

void BlfDecoder::takeObject(const unsigned char *object, uint32_t size, std::vector<TraceRecord> *out)
{
    const uint16_t headerSize = get16(object + 4);
    const uint16_t version = get16(object + 6);
    const uint32_t type = get32(object + 12);
    if (version != 1 && version != 2)
        return; // an object header this reader does not know: passed over
    if (size < kHeaderV1 || headerSize < kHeaderV1 || headerSize > size) {
        ++skipped_;
        return;
    }
    const uint32_t flags = get32(object + 16);
    const uint64_t stamp = get64(object + 24);
    TraceRecord r;
    // Past a thousand years an object's time is damage; kept in range.
    const uint64_t offset = flags == kTenMicros ? std::min<uint64_t>(stamp, kMaxOffsetMicros / 10) * 10 : stamp / 1000;
    r.wallMicros = startMicros_ + int64_t(std::min<uint64_t>(offset, kMaxOffsetMicros));
    const unsigned char *payload = object + headerSize;
    const uint32_t payloadSize = size - headerSize;
    switch (type) {
    case kCanMessage:
    case kCanMessage2: {
        if (payloadSize < 16) {
            ++skipped_;
            return;
        }
        const uint8_t frameFlags = payload[2];
        const uint8_t dlc = payload[3];
        const uint32_t id = get32(payload + 4);
        // 29-bit frames are not frames of this bus.
        if ((id & kExtendedId) || id > 0x7FF || ((frameFlags & kRemote) && dlc > 8)) {
            ++skipped_;
            return;
        }
        r.frame.id = id;
        r.frame.remote = (frameFlags & kRemote) != 0;
        r.frame.length = std::min<uint8_t>(dlc, 8);
        if (!r.frame.remote)
            std::memcpy(r.frame.data, payload + 8, r.frame.length);
        r.sent = (frameFlags & kDirectionTx) != 0;
        break;
    }
    case kCanErrorExt:
        if (payloadSize < 32) {
            ++skipped_;
            return;
        }
        r.frame.error = true;
        r.frame.id = get32(payload + 16) & 0x1FFFFFFFu;
        r.frame.length = std::min<uint8_t>(payload[10], 8);
        std::memcpy(r.frame.data, payload + 24, r.frame.length);
        break;
    case kCanError:
        r.frame.error = true;
        r.frame.id = kBusError;
        r.frame.length = 8;
        break;
    case kCanFdMessage:
    case kCanFdMessage64: ++skipped_; return; // CAN FD: not a frame of this bus
    default: return; // markers, statistics, other buses
    }
    out->push_back(r);
}

void BlfDecoder::finish(std::vector<TraceRecord> *out)
{
    walk(&file_, true, [&](const unsigned char *object, uint32_t size) { takeTopLevel(object, size, out); });
    // A file cut short in its header, or in an object's first bytes.
    const std::string_view rest = std::string_view(file_.buf).substr(file_.pos);
    if (!headerRead_ || rest.find_first_not_of('\0') != std::string_view::npos)
        ++skipped_;
    if (inner_.buf.size() - inner_.pos >= kBaseHeader)
        ++skipped_;
    file_ = Stream();
    inner_ = Stream();
}

} // namespace qelcopn::trace
