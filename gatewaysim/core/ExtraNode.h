// Another node on the simulated network beside the gateway: a plain CiA 301
// slave with the mandatory objects and its identity (0x1000, 0x1001,
// 0x1008, 0x1017, 0x1018, and a spare writable 0x2000), the simulator's NMT
// slave and SDO server over them, boot-up and heartbeats (0x1017). Free of
// I/O like the gateway: frames and time in, frames and event lines out.
// Told from outside to send an emergency, to fall silent, or to reboot.
#pragma once

#include "GatewaySink.h"
#include "NmtSlave.h"
#include "NodeObjects.h"
#include "SdoServer.h"

namespace network::eds {
struct ObjectDictionary;
}

#include <array>
#include <cstdint>

namespace gatewaysim {

struct ExtraNodeConfig {
    uint8_t node = 10;
    uint16_t heartbeatMs = 1000;
    // The node's objects and defaults in place of the built-in ones; read
    // while the node is made only.
    const network::eds::ObjectDictionary *dictionary = nullptr;
};

// The identity every extra node shows, its serial number from its node ID.
constexpr uint32_t EXTRA_NODE_DEVICE_TYPE = 0x00030191; // CiA 401 I/O, digital in and out
constexpr uint32_t EXTRA_NODE_VENDOR_ID = 0x141;
constexpr uint32_t EXTRA_NODE_PRODUCT_CODE = 2001;
constexpr uint32_t EXTRA_NODE_REVISION = 0x00010002;
constexpr uint32_t EXTRA_NODE_SERIAL_BASE = 200000;
constexpr char EXTRA_NODE_NAME[] = "Tarnwick I/O Node";

class ExtraNode {
public:
    ExtraNode(const ExtraNodeConfig &config, GatewaySink &sink);

    uint8_t node() const { return config_.node; }
    // Power-on: the boot-up message; the node is pre-operational.
    void powerOn(int64_t nowUs);
    // A frame from the bus; false when it was not for this node.
    bool receive(const qelcopn::CanFrame &frame, int64_t nowUs);
    void poll(int64_t nowUs);
    int64_t nextDueUs() const;

    // An emergency: code, error register (kept in 0x1001) and the five
    // manufacturer bytes. Sent in pre-operational and operational only, as
    // CiA 301 has it.
    void sendEmergency(uint16_t code, uint8_t errorRegister, const std::array<uint8_t, 5> &data);
    // Stops and resumes the heartbeat without touching 0x1017: a node whose
    // application hangs.
    void setSilent(bool silent, int64_t nowUs);
    // A power cycle: every object back to its default, a new boot-up.
    void reboot(int64_t nowUs);

    NmtSlave::State state() const { return nmt_.state(); }
    NodeObjects &objects() { return objects_; }

private:
    void handleNmt(const qelcopn::CanFrame &frame, int64_t nowUs);
    void bootUp(int64_t nowUs);
    void restartHeartbeat(int64_t nowUs);

    const ExtraNodeConfig config_;
    GatewaySink &sink_;
    NodeObjects objects_;
    SdoServer sdo_;
    NmtSlave nmt_;
    bool silent_ = false;
    bool heartbeatWritten_ = false;
    int64_t nextHeartbeatUs_ = 0;
};

} // namespace gatewaysim
