#include "GatewayMessages.h"

#include "protocol/Cia301.h"

#include <cassert>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

namespace gatewaysim {

namespace {

void putLe16(uint8_t *at, uint16_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void putLe32(uint8_t *at, uint32_t value)
{
    putLe16(at, uint16_t(value));
    putLe16(at + 2, uint16_t(value >> 16));
}

CanFrame multiplexed(uint8_t node, uint16_t index, uint8_t sub)
{
    CanFrame frame;
    frame.id = cia301::tpdoCobId(3, node);
    frame.length = 8;
    frame.data[0] = node;
    putLe16(frame.data + 1, index);
    frame.data[3] = sub;
    return frame;
}

CanFrame emergency(uint8_t node, uint16_t code, uint8_t errorRegister, uint8_t kind)
{
    CanFrame frame;
    frame.id = cia301::COB_EMCY + node;
    frame.length = 8;
    putLe16(frame.data, code);
    frame.data[2] = errorRegister;
    frame.data[3] = kind;
    return frame;
}

uint8_t j1939IndexHigh(uint8_t width)
{
    switch (width) {
    case 8:
        return GATEWAY_INDEX_HIGH_J1939_8BIT;
    case 16:
        return GATEWAY_INDEX_HIGH_J1939_16BIT;
    default:
        return GATEWAY_INDEX_HIGH_J1939_32BIT;
    }
}

} // namespace

uint8_t j1939ElementWidth(int slot)
{
    static constexpr uint8_t widths[3] = {32, 8, 16};
    return widths[slot % 3];
}

std::vector<PdoItem> publishedItems(uint32_t product)
{
    std::vector<PdoItem> items;
    if (hasMtu(product)) {
        for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n)
            items.push_back({PdoItem::Kind::MtuParameter, uint8_t(n)});
    } else {
        for (int slot = 0; slot < GATEWAY_J1939_SLOTS; ++slot) {
            const uint8_t width = j1939ElementWidth(slot);
            for (int e = 1; e <= 64 / width; ++e)
                items.push_back({PdoItem::Kind::J1939Element, uint8_t(slot), width, uint8_t(e)});
        }
    }
    for (int n = GATEWAY_DINBUS_BYTE_FIRST; n <= GATEWAY_DINBUS_BYTE_LAST; ++n)
        items.push_back({PdoItem::Kind::DinBusByte, uint8_t(n)});
    return items;
}

CanFrame encodePdo(const PdoItem &item, const ProcessImage &image, uint8_t node)
{
    switch (item.kind) {
    case PdoItem::Kind::MtuParameter: {
        CanFrame frame = multiplexed(node, GATEWAY_INDEX_MTU_PARAMETER, item.number);
        putLe32(frame.data + 4, uint32_t(image.mtu[item.number]));
        return frame;
    }
    case PdoItem::Kind::DinBusByte: {
        CanFrame frame = multiplexed(node, GATEWAY_INDEX_DINBUS_BYTE, item.number);
        frame.data[4] = image.dinBus[item.number];
        return frame;
    }
    case PdoItem::Kind::J1939Element:
        break;
    }
    const uint16_t index = uint16_t(j1939IndexHigh(item.width) << 8 | item.number);
    CanFrame frame = multiplexed(node, index, item.element);
    const int bytes = item.width / 8;
    const auto &slot = image.j1939[item.number % GATEWAY_J1939_SLOTS];
    const int first = bytes * (item.element - 1);
    assert(first + bytes <= 8);
    for (int i = 0; i < bytes; ++i)
        frame.data[8 - bytes + i] = slot[first + i];
    return frame;
}

CanFrame mtuStateReport(bool online, uint8_t errorRegister, uint8_t node)
{
    return emergency(node, online ? GATEWAY_EMCY_MTU_ONLINE : GATEWAY_EMCY_MTU_OFFLINE, errorRegister,
                     GATEWAY_EMCY_KIND_STATE);
}

CanFrame faultReport(uint16_t fault, uint16_t state, uint8_t errorRegister, uint8_t node)
{
    CanFrame frame =
        emergency(node, state != 0 ? GATEWAY_EMCY_MTU_OFFLINE : GATEWAY_EMCY_MTU_ONLINE, errorRegister, GATEWAY_EMCY_KIND_FAULT);
    putLe16(frame.data + 4, fault);
    putLe16(frame.data + 6, state);
    return frame;
}

CanFrame makeFrame(uint32_t id, std::initializer_list<uint8_t> bytes)
{
    assert(bytes.size() <= 8);
    CanFrame frame;
    frame.id = id;
    for (uint8_t b : bytes) {
        if (frame.length == 8)
            break;
        frame.data[frame.length++] = b;
    }
    return frame;
}

} // namespace gatewaysim
