#include "GatewayHarness.h"

#include "GatewayMessages.h"

#include <algorithm>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

namespace gatewaysim::testing {

std::vector<CanFrame> RecordingSink::framesWithId(uint32_t id) const
{
    std::vector<CanFrame> out;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(out), [id](const CanFrame &f) { return f.id == id; });
    return out;
}

bool RecordingSink::noted(const std::string &line) const
{
    return std::find(notes.begin(), notes.end(), line) != notes.end();
}

uint32_t Upload::u32() const
{
    uint32_t value = 0;
    for (size_t i = 0; i < data.size() && i < 4; ++i)
        value |= uint32_t(data[i]) << (8 * i);
    return value;
}

void DecodedTraffic::decodePdo(const CanFrame &f)
{
    ASSERT_EQ(f.length, 8);
    const int index = f.data[1] | f.data[2] << 8;
    const int sub = f.data[3];
    if (index == 0x4200) {
        mtu[sub] = int32_t(uint32_t(f.data[4]) | uint32_t(f.data[5]) << 8 | uint32_t(f.data[6]) << 16 |
                           uint32_t(f.data[7]) << 24);
        mtuSeen[sub] = true;
    } else if (index == 0x3501) {
        dinBus[sub] = f.data[4];
        dinBusSeen[sub] = true;
    } else if (index >= 0x3200 && index <= 0x34FF) {
        const int slot = index & 0xFF;
        const int bytes = index >> 8 == 0x32 ? 1 : index >> 8 == 0x33 ? 2 : 4;
        ASSERT_GE(sub, 1);
        ASSERT_LE(sub, 8 / bytes);
        for (int i = 0; i < bytes; ++i) {
            j1939[slot][bytes * (sub - 1) + i] = f.data[8 - bytes + i];
            j1939Seen[slot][bytes * (sub - 1) + i] = true;
        }
    } else {
        ADD_FAILURE() << "PDO with unknown index " << std::hex << index;
    }
}

void DecodedTraffic::decodeEmergency(const CanFrame &f)
{
    ASSERT_EQ(f.length, 8);
    const int code = f.data[0] | f.data[1] << 8;
    ASSERT_TRUE(code == 0x0000 || code == 0xFF00) << code;
    if (f.data[3] == 0) {
        mtuOnline = code == 0x0000 ? 1 : 0;
    } else {
        ASSERT_EQ(f.data[3], 1);
        const int fault = f.data[4] | f.data[5] << 8;
        ASSERT_LE(fault, 400);
        faultState[fault] = f.data[6] | f.data[7] << 8;
        EXPECT_EQ(code, faultState[fault] ? 0xFF00 : 0x0000);
    }
}

void DecodedTraffic::decodeAll(const std::vector<CanFrame> &frames, uint8_t node)
{
    for (const CanFrame &f : frames) {
        if (f.id == cia301::tpdoCobId(3, node))
            decodePdo(f);
        else if (f.id == cia301::COB_EMCY + node)
            decodeEmergency(f);
    }
}

Harness::Harness(const GatewayConfig &config, int64_t startUs)
    : config(config)
    , gateway(config, sink)
    , now(startUs)
{
    gateway.powerOn(now);
}

void Harness::runUntil(int64_t untilUs)
{
    for (int guard = 0; guard < 10'000'000; ++guard) {
        const int64_t due = gateway.nextDueUs();
        if (due > untilUs) {
            now = std::max(now, untilUs);
            return;
        }
        now = std::max(now, due);
        gateway.poll(now);
    }
    FAIL() << "the gateway is due again and again without time passing";
}

void Harness::nmt(uint8_t command, uint8_t target)
{
    deliver(makeFrame(cia301::COB_NMT, {command, target}));
}

CanFrame Harness::sdo(std::initializer_list<uint8_t> bytes)
{
    const size_t before = sink.frames.size();
    CanFrame request = makeFrame(cia301::COB_SDO_RX + config.node, bytes);
    deliver(request);
    for (size_t i = before; i < sink.frames.size(); ++i)
        if (sink.frames[i].id == cia301::COB_SDO_TX + config.node)
            return sink.frames[i];
    return CanFrame{};
}

Upload Harness::upload(uint16_t index, uint8_t sub)
{
    Upload result;
    const auto lo = uint8_t(index), hi = uint8_t(index >> 8);
    CanFrame reply = sdo({0x40, lo, hi, sub, 0, 0, 0, 0});
    if (reply.data[0] == 0x80) {
        result.abortCode = abortCodeOf(reply);
        return result;
    }
    EXPECT_EQ(reply.data[0] & 0xE0, 0x40);
    EXPECT_EQ(reply.data[1], lo);
    EXPECT_EQ(reply.data[2], hi);
    EXPECT_EQ(reply.data[3], sub);
    if (reply.data[0] & 0x02) { // expedited, size indicated
        EXPECT_TRUE(reply.data[0] & 0x01);
        const int n = 4 - ((reply.data[0] >> 2) & 3);
        result.data.assign(reply.data + 4, reply.data + 4 + n);
        return result;
    }
    const uint32_t size = abortCodeOf(reply);
    for (uint8_t toggle = 0; result.data.size() <= size; toggle ^= 0x10) {
        const CanFrame segment = sdo({uint8_t(0x60 | toggle), 0, 0, 0, 0, 0, 0, 0});
        if (segment.data[0] == 0x80) {
            result.abortCode = abortCodeOf(segment);
            return result;
        }
        EXPECT_EQ(segment.data[0] & 0xE0, 0x00);
        EXPECT_EQ(segment.data[0] & 0x10, toggle);
        const int count = 7 - ((segment.data[0] >> 1) & 7);
        result.data.insert(result.data.end(), segment.data + 1, segment.data + 1 + count);
        if (segment.data[0] & 0x01)
            break;
    }
    EXPECT_EQ(result.data.size(), size);
    return result;
}

uint32_t Harness::downloadU16(uint16_t index, uint8_t sub, uint16_t value)
{
    const CanFrame reply =
        sdo({0x2B, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(value), uint8_t(value >> 8), 0, 0});
    if (reply.data[0] == 0x80)
        return abortCodeOf(reply);
    EXPECT_EQ(reply.data[0], 0x60);
    return 0;
}

std::vector<CanFrame> Harness::takeFrames()
{
    std::vector<CanFrame> out(sink.frames.begin() + long(taken_), sink.frames.end());
    taken_ = sink.frames.size();
    return out;
}

GatewayConfig tableConfig(uint32_t product)
{
    GatewayConfig config;
    config.productCode = product;
    config.scenario = ScenarioKind::Table;
    return config;
}

uint32_t abortCodeOf(const CanFrame &frame)
{
    return uint32_t(frame.data[4]) | uint32_t(frame.data[5]) << 8 | uint32_t(frame.data[6]) << 16 |
           uint32_t(frame.data[7]) << 24;
}

} // namespace gatewaysim::testing
