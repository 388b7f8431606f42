// A plain CiA 301 node's object dictionary as a table: each entry with its
// access and its value, so a node gains an object by one line. Writable
// entries keep what is written until a reset brings back their defaults
// (Reset Communication: the communication area 0x1000 to 0x1FFF; Reset
// Node: everything).
#pragma once

#include "ObjectAccess.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace gatewaysim {

class NodeObjects : public ObjectAccess {
public:
    enum class Access { ReadOnly, ReadWrite, WriteOnly };

    // A numeric entry of `size` bytes, or a text (VISIBLE_STRING) entry.
    void addNumber(uint16_t index, uint8_t sub, Access access, size_t size, uint32_t value);
    void addText(uint16_t index, uint8_t sub, std::string text);
    // Any bytes; a variable-length entry (string, domain) takes a write of
    // any length.
    void addBytes(uint16_t index, uint8_t sub, Access access, std::vector<uint8_t> value, bool variableLength);
    // Called after a write to the entry has been taken.
    void onWritten(std::function<void(uint16_t index, uint8_t sub)> listener) { written_ = std::move(listener); }

    uint32_t number(uint16_t index, uint8_t sub) const;
    void setNumber(uint16_t index, uint8_t sub, uint32_t value);
    void resetCommunication();
    void resetApplication();

    uint32_t read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value) override;
    uint32_t probeWrite(uint16_t index, uint8_t sub) override;
    uint32_t write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated) override;

private:
    struct Entry {
        Access access = Access::ReadOnly;
        bool text = false;
        bool variableLength = false;
        std::vector<uint8_t> value;
        std::vector<uint8_t> initial;
    };
    static uint32_t key(uint16_t index, uint8_t sub) { return uint32_t(index) << 8 | sub; }
    const Entry *find(uint16_t index, uint8_t sub) const;
    uint32_t missing(uint16_t index) const;
    void resetWhere(const std::function<bool(uint16_t index)> &area);

    std::map<uint32_t, Entry> entries_;
    std::function<void(uint16_t, uint8_t)> written_;
};

} // namespace gatewaysim
