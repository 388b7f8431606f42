#include "NodeObjects.h"

#include "protocol/Cia301.h"

namespace gatewaysim {

using namespace qelcopn::cia301::sdo;

namespace {

std::vector<uint8_t> littleEndian(uint32_t value, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t k = 0; k < size; ++k)
        bytes[k] = uint8_t(value >> (8 * k));
    return bytes;
}

} // namespace

void NodeObjects::addNumber(uint16_t index, uint8_t sub, Access access, size_t size, uint32_t value)
{
    Entry entry;
    entry.access = access;
    entry.value = entry.initial = littleEndian(value, size);
    entries_[key(index, sub)] = entry;
}

void NodeObjects::addText(uint16_t index, uint8_t sub, std::string text)
{
    Entry entry;
    entry.text = true;
    entry.value.assign(text.begin(), text.end());
    entry.initial = entry.value;
    entries_[key(index, sub)] = entry;
}

void NodeObjects::addBytes(uint16_t index, uint8_t sub, Access access, std::vector<uint8_t> value, bool variableLength)
{
    Entry entry;
    entry.access = access;
    entry.variableLength = variableLength;
    entry.value = entry.initial = std::move(value);
    entries_[key(index, sub)] = entry;
}

const NodeObjects::Entry *NodeObjects::find(uint16_t index, uint8_t sub) const
{
    const auto it = entries_.find(key(index, sub));
    return it != entries_.end() ? &it->second : nullptr;
}

uint32_t NodeObjects::missing(uint16_t index) const
{
    const auto it = entries_.lower_bound(key(index, 0));
    return it != entries_.end() && it->first >> 8 == index ? ABORT_NO_SUBINDEX : ABORT_NO_OBJECT;
}

uint32_t NodeObjects::number(uint16_t index, uint8_t sub) const
{
    const Entry *entry = find(index, sub);
    uint32_t value = 0;
    if (entry != nullptr && !entry->text)
        for (size_t k = entry->value.size(); k-- > 0;)
            value = value << 8 | entry->value[k];
    return value;
}

void NodeObjects::setNumber(uint16_t index, uint8_t sub, uint32_t value)
{
    const auto it = entries_.find(key(index, sub));
    if (it != entries_.end() && !it->second.text)
        it->second.value = littleEndian(value, it->second.value.size());
}

void NodeObjects::resetWhere(const std::function<bool(uint16_t)> &area)
{
    for (auto &[k, entry] : entries_)
        if (area(uint16_t(k >> 8)))
            entry.value = entry.initial;
}

void NodeObjects::resetCommunication()
{
    resetWhere([](uint16_t index) { return index >= 0x1000 && index <= 0x1FFF; });
}

void NodeObjects::resetApplication()
{
    resetWhere([](uint16_t) { return true; });
}

uint32_t NodeObjects::read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value)
{
    const Entry *entry = find(index, sub);
    if (entry == nullptr)
        return missing(index);
    if (entry->access == Access::WriteOnly)
        return ABORT_WRITE_ONLY;
    value = entry->value;
    return 0;
}

uint32_t NodeObjects::probeWrite(uint16_t index, uint8_t sub)
{
    const Entry *entry = find(index, sub);
    if (entry == nullptr)
        return missing(index);
    return entry->access != Access::ReadOnly ? 0u : uint32_t(ABORT_READ_ONLY);
}

uint32_t NodeObjects::write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated)
{
    if (const uint32_t code = probeWrite(index, sub))
        return code;
    Entry &entry = entries_[key(index, sub)];
    const size_t entrySize = entry.variableLength ? size : entry.value.size();
    if (size > entrySize && sizeIndicated)
        return ABORT_TOO_LONG;
    if (size < entrySize)
        return ABORT_TOO_SHORT;
    size = entrySize;
    entry.value.assign(data, data + entrySize);
    if (written_)
        written_(index, sub);
    return 0;
}

} // namespace gatewaysim
