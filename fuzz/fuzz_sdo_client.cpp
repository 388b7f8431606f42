// An SDO upload fed arbitrary server replies: the client must never write
// past the caller's buffer, never claim more bytes than it holds, and every
// frame it sends must be a well-formed 8-byte SDO request to the server.
#include "protocol/Cia301.h"
#include "protocol/SdoClient.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::SdoClient;

namespace {

void CheckSent(const SdoClient::Step &step, uint8_t node)
{
    if (step.send && (step.frame.id != cia301::COB_SDO_RX + node || step.frame.length != 8))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t node = uint8_t(data[0] % 127 + 1);
    // A heap buffer of exactly the stated capacity, so AddressSanitizer
    // sees any byte written past it.
    const size_t capacity = data[1];
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity ? capacity : 1]);
    SdoClient client;
    int64_t now = 0;
    SdoClient::Step step = client.startUpload(node, 0x1008, 0, buffer.get(), capacity, now, 1000);
    CheckSent(step, node);
    for (size_t at = 2; at + 9 <= size && step.status == SdoClient::Status::Running; at += 9) {
        now += 100;
        if (data[at] == 0xFF) {
            step = client.onTime(now + 2000);
        } else {
            CanFrame reply;
            reply.id = cia301::COB_SDO_TX + node;
            reply.length = uint8_t(data[at] % 9);
            for (int i = 0; i < 8; ++i)
                reply.data[i] = data[at + 1 + i];
            step = client.onFrame(reply, now);
        }
        CheckSent(step, node);
    }
    if (step.status == SdoClient::Status::Done && client.length() > capacity)
        std::abort();
    return 0;
}
