// The gateway's object dictionary: the CiA 301 identity and communication
// entries, and the gateway's own 0x4210 (MTU online) and 0x4203 (fault
// bitmap), read live from the process image.
#pragma once

#include "GatewayObjects.h"
#include "ObjectAccess.h"
#include "ProcessImage.h"

#include <cstdint>
#include <string>

namespace gatewaysim {

// Filled in by identityFor: no defaults of its own, so that the gateway's
// are written once (GatewayConfig).
struct Identity {
    uint8_t node{};
    uint32_t deviceType{};
    uint32_t vendorId{};
    uint32_t productCode{};
    uint32_t revisionNumber{};
    uint32_t serialNumber{};
    std::string deviceName;      // 0x1008
    std::string hardwareVersion; // 0x1009
    std::string softwareVersion; // 0x100A
};

// The identity a product presents on a node.
Identity identityFor(uint32_t productCode, uint32_t vendorId, uint8_t node);

// Communication parameters a client may write; Reset Communication brings
// back the values the gateway was started with.
struct CommParameters {
    uint16_t heartbeatMs = 1000; // 0x1017:0
    uint16_t eventTimerMs = 10;  // 0x1803:5, 0 = send on change
};

class ObjectDictionary : public ObjectAccess {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void heartbeatWritten(uint16_t ms) = 0;
        virtual void eventTimerWritten(uint16_t ms) = 0;
    };


    ObjectDictionary(const Identity &identity, const CommParameters &defaults, const ProcessImage &image,
                     Listener &listener);

    uint32_t read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value) override;
    uint32_t probeWrite(uint16_t index, uint8_t sub) override;
    uint32_t write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated) override;

    const Identity &identity() const { return identity_; }
    const CommParameters &comm() const { return comm_; }
    void resetCommunication() { comm_ = defaults_; }
    // 0x1001: bit 0 (generic error) while a fault is active or the MTU
    // engine of an MTU gateway is offline.
    uint8_t errorRegister() const;

private:
    // Where a writable entry keeps its value, or nullptr.
    uint16_t *writable(uint16_t index, uint8_t sub);

    const Identity identity_;
    const CommParameters defaults_;
    CommParameters comm_;
    const ProcessImage &image_;
    Listener &listener_;
};

} // namespace gatewaysim
