// The simulated gateway node, free of I/O: frames and the time come in,
// frames and event lines go out through the sink. The runner feeds it what
// the bus delivers, and wakes it by nextDueUs() for what is due by itself
// (heartbeats, PDOs, the scenario's emergencies).
#pragma once

#include "GatewaySink.h"
#include "NmtSlave.h"
#include "ObjectDictionary.h"
#include "PdoScheduler.h"
#include "ProcessImage.h"
#include "Scenario.h"
#include "SdoServer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace gatewaysim {

struct GatewayConfig {
    uint8_t node = 7;
    uint32_t productCode = PRODUCT_CODE_MTU_GATEWAY;
    uint32_t vendorId = GATEWAY_VENDOR_ID;
    uint16_t heartbeatMs = 1000;
    uint16_t eventTimerMs = 10;
    ScenarioKind scenario = ScenarioKind::Live;
    double pdoRate = 925; // frames per second
    bool selfStart = false; // operational after each boot-up by itself
};

class Gateway : private ObjectDictionary::Listener {
public:
    Gateway(const GatewayConfig &config, GatewaySink &sink);

    // Power-on: the boot-up message; the node is pre-operational.
    void powerOn(int64_t nowUs);
    // A frame from the bus; false when it was not for this node.
    bool receive(const qelcopn::CanFrame &frame, int64_t nowUs);
    // Sends what is due at nowUs.
    void poll(int64_t nowUs);
    // When poll() has something to do next (Scenario::NEVER: nothing).
    int64_t nextDueUs() const;

    NmtSlave::State state() const { return nmt_.state(); }
    const ProcessImage &image() const { return image_; }
    const ObjectDictionary &objects() const { return objects_; }
    const PdoScheduler &scheduler() const { return scheduler_; }

private:
    void heartbeatWritten(uint16_t ms) override;
    void eventTimerWritten(uint16_t ms) override;

    void handleNmt(const qelcopn::CanFrame &frame, int64_t nowUs);
    void bootUp(int64_t nowUs);
    void restartApplication(int64_t nowUs);
    void startItself(int64_t nowUs);
    void applyWrittenParameters(int64_t nowUs);
    void setHeartbeat(uint16_t ms, int64_t nowUs);
    void setEventTimer(uint16_t ms, int64_t nowUs);
    // Brings the image up to the scenario's values at nowUs and reports
    // what changed in the MTU state and the faults.
    void updateScenario(int64_t nowUs);
    // Everything a listener needs to know of the MTU on entering
    // operational: its state and every active fault.
    void announceMtu();
    void sendEmergency(const qelcopn::CanFrame &frame);

    const GatewayConfig config_;
    GatewaySink &sink_;
    std::unique_ptr<Scenario> scenario_;
    ProcessImage image_;
    ObjectDictionary objects_;
    SdoServer sdo_;
    NmtSlave nmt_;
    PdoScheduler scheduler_;

    int64_t applicationStartUs_ = 0;
    int64_t lastElapsedUs_ = 0;
    bool reportedOnline_ = false;
    std::array<uint16_t, FAULT_COUNT> reportedFaults_{};
    uint16_t heartbeatMs_ = 0;
    int64_t nextHeartbeatUs_ = 0;
    std::optional<uint16_t> writtenHeartbeat_;
    std::optional<uint16_t> writtenEventTimer_;
};

} // namespace gatewaysim
