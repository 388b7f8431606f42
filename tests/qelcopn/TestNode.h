// A scripted CANopen node for tests: it answers NMT resets with its
// boot-up, serves SDO uploads (expedited up to 4 bytes, segmented above)
// and expedited downloads from a small object table, and can be told to
// stay silent. Thread-safe: the bus thread drives it, the test inspects it.
#pragma once

#include "protocol/CanFrame.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

class TestNode {
public:
    using Send = std::function<bool(const CanFrame &)>;

    explicit TestNode(uint8_t node) : node_(node) {}

    uint8_t node() const { return node_; }
    void setObject(uint16_t index, uint8_t sub, std::vector<uint8_t> bytes);
    std::vector<uint8_t> object(uint16_t index, uint8_t sub);
    // A silent node hears everything and answers nothing.
    void setSilent(bool silent);
    // Aborts it received from the client, in order.
    std::vector<uint32_t> abortsReceived();

    void handle(const CanFrame &frame, const Send &send);

private:
    void initiateUpload(const CanFrame &frame, const Send &send);
    void uploadSegment(const CanFrame &frame, const Send &send);
    void download(const CanFrame &frame, const Send &send);
    CanFrame reply(std::initializer_list<uint8_t> bytes) const;

    const uint8_t node_;
    std::mutex mutex_;
    bool silent_ = false;
    std::map<uint32_t, std::vector<uint8_t>> objects_;
    std::vector<uint8_t> uploading_;
    size_t offset_ = 0;
    std::vector<uint32_t> aborts_;
};
