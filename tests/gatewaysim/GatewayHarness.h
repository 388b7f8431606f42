// Drives the simulator's core in simulated time: a recording sink, a clock
// that only moves when the test says so, and a small SDO client and PDO
// reader that read the frames the way a master does.
#pragma once

#include "Gateway.h"
#include "protocol/Cia301.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace gatewaysim::testing {

struct RecordingSink : GatewaySink {
    std::vector<qelcopn::CanFrame> frames;
    std::vector<std::string> notes;
    void send(const qelcopn::CanFrame &frame) override { frames.push_back(frame); }
    void note(const std::string &line) override { notes.push_back(line); }
    std::vector<qelcopn::CanFrame> framesWithId(uint32_t id) const;
    bool noted(const std::string &line) const;
};

// What an SDO upload gave: the data, or the server's abort code.
struct Upload {
    std::vector<uint8_t> data;
    uint32_t abortCode = 0;
    uint32_t u32() const;
    std::string text() const { return std::string(data.begin(), data.end()); }
};

// What the monitor keeps of the gateway's PDOs and emergencies, read back
// from the frames by the layouts the gateway documents.
struct DecodedTraffic {
    std::array<int32_t, 256> mtu{};
    std::array<bool, 256> mtuSeen{};
    std::array<uint8_t, 256> dinBus{};
    std::array<bool, 256> dinBusSeen{};
    std::array<std::array<uint8_t, 8>, 256> j1939{};
    std::array<std::array<bool, 8>, 256> j1939Seen{};
    int mtuOnline = -1; // -1: no state report
    std::array<int32_t, 512> faultState{}; // -1: no report
    DecodedTraffic() { faultState.fill(-1); }

    void decodePdo(const qelcopn::CanFrame &frame);
    void decodeEmergency(const qelcopn::CanFrame &frame);
    void decodeAll(const std::vector<qelcopn::CanFrame> &frames, uint8_t node);
};

class Harness {
public:
    explicit Harness(const GatewayConfig &config, int64_t startUs = 1'000'000);

    // Polls the gateway whenever it is due, up to and including untilUs.
    void runUntil(int64_t untilUs);
    void runFor(int64_t us) { runUntil(now + us); }
    void deliver(const qelcopn::CanFrame &frame) { gateway.receive(frame, now); }
    void nmt(uint8_t command, uint8_t target);
    // The reply to one SDO request, or an empty frame (id 0) for none.
    qelcopn::CanFrame sdo(std::initializer_list<uint8_t> bytes);
    Upload upload(uint16_t index, uint8_t sub);
    uint32_t downloadU16(uint16_t index, uint8_t sub, uint16_t value);

    // Frames sent since the last call.
    std::vector<qelcopn::CanFrame> takeFrames();

    GatewayConfig config;
    RecordingSink sink;
    Gateway gateway;
    int64_t now;

private:
    size_t taken_ = 0;
};

GatewayConfig tableConfig(uint32_t product = 1101);
uint32_t abortCodeOf(const qelcopn::CanFrame &frame);

} // namespace gatewaysim::testing
