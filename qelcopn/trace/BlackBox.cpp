#include "trace/BlackBox.h"

#include "Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace qelcopn::trace {

namespace {

// The meta word: identifier, flags and length low, the stamp above them.
constexpr uint64_t kIdMask = 0x7FF;
constexpr uint64_t kRemoteBit = 1u << 11;
constexpr uint64_t kErrorBit = 1u << 12;
constexpr uint64_t kSentBit = 1u << 13;
constexpr int kLengthShift = 14;
constexpr int kStampShift = 18;
// 46 bits of microseconds: over two years, so a stamp is told from the
// save's clock without doubt for anything the ring can hold.
constexpr int kStampBits = 64 - kStampShift;
constexpr uint64_t kStampMask = (uint64_t(1) << kStampBits) - 1;

constexpr size_t kFramesPerChunk = 4096;

int64_t stampOf(uint64_t meta, int64_t referenceMicros)
{
    const uint64_t low = meta >> kStampShift;
    int64_t delta = int64_t((low - uint64_t(referenceMicros)) & kStampMask);
    if (delta >= int64_t(1) << (kStampBits - 1))
        delta -= int64_t(1) << kStampBits;
    return referenceMicros + delta;
}

CanFrame frameOf(uint64_t data, uint64_t meta)
{
    CanFrame frame;
    frame.id = uint32_t(meta & kIdMask);
    frame.remote = (meta & kRemoteBit) != 0;
    frame.error = (meta & kErrorBit) != 0;
    frame.length = uint8_t((meta >> kLengthShift) & 0xF);
    std::memcpy(frame.data, &data, sizeof frame.data);
    return frame;
}

} // namespace

uint32_t BlackBox::minutesOrDefault(uint32_t minutes)
{
    return QELCOPN_BlackBoxMinutesOrDefault(minutes);
}

BlackBox::BlackBox(uint32_t minutes)
    : minutes_(minutesOrDefault(minutes))
    , capacity_(capacityFor(minutes))
    , createdMicros_(MonotonicMicros())
{
    // Anonymous pages cost nothing until written: a quiet bus keeps the
    // memory it needs, a busy one grows to the cap and no further.
    void *memory = ::mmap(nullptr, capacity_ * sizeof(Slot), PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    slots_ = static_cast<Slot *>(memory);
}

BlackBox::~BlackBox()
{
    ::munmap(slots_, capacity_ * sizeof(Slot));
}

uint64_t BlackBox::packData(const CanFrame &frame)
{
    uint64_t data = 0;
    std::memcpy(&data, frame.data, sizeof data);
    return data;
}

uint64_t BlackBox::packMeta(const CanFrame &frame, int64_t micros, bool sent)
{
    return (uint64_t(micros) & kStampMask) << kStampShift | uint64_t(std::min<uint8_t>(frame.length, 8)) << kLengthShift
        | (sent ? kSentBit : 0) | (frame.error ? kErrorBit : 0) | (frame.remote ? kRemoteBit : 0)
        | (frame.id & kIdMask);
}

uint64_t BlackBox::oldestKept() const
{
    const uint64_t claimed = claimed_.load(std::memory_order_acquire);
    return claimed > capacity_ ? claimed - capacity_ : 0;
}

uint64_t BlackBox::copy(uint64_t first, uint64_t last, Slot *out) const
{
    for (uint64_t i = first; i < last; ++i) {
        Slot &slot = slots_[i % capacity_];
        out[i - first] = {std::atomic_ref<uint64_t>(slot.data).load(std::memory_order_relaxed),
                          std::atomic_ref<uint64_t>(slot.meta).load(std::memory_order_relaxed)};
    }
    // Pairs with the producer's fence: a slot read here that it had begun
    // to overwrite shows in the claim read after this.
    std::atomic_thread_fence(std::memory_order_acquire);
    const uint64_t claimed = claimed_.load(std::memory_order_relaxed);
    return claimed > capacity_ ? std::max(first, claimed - capacity_) : first;
}

uint64_t BlackBox::firstSince(int64_t sinceMicros, int64_t nowMicros, uint64_t low, uint64_t high) const
{
    while (low < high) {
        const uint64_t middle = low + (high - low) / 2;
        const uint64_t meta = std::atomic_ref<uint64_t>(slots_[middle % capacity_].meta).load(std::memory_order_relaxed);
        if (stampOf(meta, nowMicros) < sinceMicros)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

bool BlackBox::save(const std::string &path, uint32_t seconds, const SessionInfo &info, int64_t nowMicros) const
{
    if (path.empty() || seconds == 0) {
        errno = EINVAL;
        return false;
    }
    const int64_t sinceMicros = nowMicros - int64_t(seconds) * 1000000;
    const int64_t wallOffset = wallMicros() - MonotonicMicros();
    const uint64_t end = published_.load(std::memory_order_acquire);
    const uint64_t oldest = oldestKept();
    uint64_t next = firstSince(sinceMicros, nowMicros, oldest, end);
    // Frames that were kept when the save began but overwritten before
    // the search could look at them.
    const uint64_t keptAtStart = end > capacity_ ? end - capacity_ : 0;
    const uint64_t lostBeforeSearch = next == oldest && oldest > keptAtStart ? oldest - keptAtStart : 0;
    // The span begins where asked, or where what is kept begins.
    int64_t keptSince = createdMicros_;
    if (oldest > 0) {
        Slot first{};
        copy(oldest, oldest + 1, &first);
        keptSince = stampOf(first.meta, nowMicros);
    }

    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const auto writer = std::make_unique<LogWriter>(fd, info.accessPoint, wallOffset);
    writer->countLost(lostBeforeSearch);
    std::vector<Slot> chunk(kFramesPerChunk);
    while (next < end && writer->lastError() == 0) {
        const uint64_t last = std::min<uint64_t>(next + kFramesPerChunk, end);
        // Frames overwritten while this save ran are gone; the rest is whole.
        const uint64_t whole = std::min(copy(next, last, chunk.data()), last);
        writer->countLost(whole - next);
        for (uint64_t i = whole; i < last; ++i) {
            const Slot &slot = chunk[i - next];
            writer->add(frameOf(slot.data, slot.meta), stampOf(slot.meta, nowMicros), (slot.meta & kSentBit) != 0);
        }
        next = last;
    }
    bool ok = writer->flush() && writer->lastError() == 0 && ::fsync(fd) == 0;
    int error = ok ? 0 : (writer->lastError() != 0 ? writer->lastError() : errno);
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    const SessionSpan span{std::max(sinceMicros, keptSince) + wallOffset, nowMicros + wallOffset,
                           writer->framesWritten(), writer->framesLost()};
    if (!writeSessionFile(path, info, span)) {
        error = errno;
        ::unlink(path.c_str());
        errno = error;
        return false;
    }
    return true;
}

} // namespace qelcopn::trace
