#include "ObjectDictionary.h"

#include "GatewayMessages.h"
#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::readLe16;

namespace gatewaysim {

using namespace cia301::sdo;

namespace {

void put(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    out.clear();
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void putText(std::vector<uint8_t> &out, const std::string &text) { out.assign(text.begin(), text.end()); }

// The indexes the dictionary knows, for telling a missing object from a
// missing sub-index.
bool isObject(uint16_t index)
{
    switch (index) {
    case 0x1000:
    case 0x1001:
    case 0x1008:
    case 0x1009:
    case 0x100A:
    case 0x1017:
    case 0x1018:
    case GATEWAY_INDEX_TPDO4_COMMUNICATION:
    case GATEWAY_INDEX_FAULT_BITMAP:
    case GATEWAY_INDEX_MTU_ONLINE:
        return true;
    default:
        return false;
    }
}

} // namespace

Identity identityFor(uint32_t productCode, uint32_t vendorId, uint8_t node)
{
    Identity identity;
    identity.node = node;
    identity.deviceType = 0; // no standard device profile
    identity.vendorId = vendorId;
    identity.productCode = productCode;
    identity.revisionNumber = 0x00010006;
    identity.serialNumber = 100000 + node;
    identity.deviceName = hasMtu(productCode) ? "MTU Engine Gateway 1101" : "J1939 Gateway 1104";
    identity.hardwareVersion = "HW 2.1";
    identity.softwareVersion = "Tarnwick gateway simulator 1.06";
    return identity;
}

ObjectDictionary::ObjectDictionary(const Identity &identity, const CommParameters &defaults,
                                   const ProcessImage &image, Listener &listener)
    : identity_(identity)
    , defaults_(defaults)
    , comm_(defaults)
    , image_(image)
    , listener_(listener)
{
}

uint8_t ObjectDictionary::errorRegister() const
{
    const bool mtuDown = hasMtu(identity_.productCode) && !image_.mtuOnline;
    return image_.anyFaultActive() || mtuDown ? 0x01 : 0x00;
}

uint32_t ObjectDictionary::read(uint16_t index, uint8_t sub, std::vector<uint8_t> &value)
{
    if (!isObject(index))
        return ABORT_NO_OBJECT;
    switch (index << 8 | sub) {
    case 0x100000:
        put(value, identity_.deviceType, 4);
        return 0;
    case 0x100100:
        put(value, errorRegister(), 1);
        return 0;
    case 0x100800:
        putText(value, identity_.deviceName);
        return 0;
    case 0x100900:
        putText(value, identity_.hardwareVersion);
        return 0;
    case 0x100A00:
        putText(value, identity_.softwareVersion);
        return 0;
    case 0x101700:
        put(value, comm_.heartbeatMs, 2);
        return 0;
    case 0x101800:
        put(value, 4, 1);
        return 0;
    case 0x101801:
        put(value, identity_.vendorId, 4);
        return 0;
    case 0x101802:
        put(value, identity_.productCode, 4);
        return 0;
    case 0x101803:
        put(value, identity_.revisionNumber, 4);
        return 0;
    case 0x101804:
        put(value, identity_.serialNumber, 4);
        return 0;
    case 0x180300:
        put(value, GATEWAY_SUB_EVENT_TIMER, 1);
        return 0;
    case 0x180301:
        // Bit 30: the PDO is not sent on a remote request, as the gateway does.
        put(value, cia301::tpdoCobId(3, identity_.node) | cia301::COB_ID_NO_RTR, 4);
        return 0;
    case 0x180302:
        put(value, 0xFE, 1); // event-driven, manufacturer-specific
        return 0;
    case 0x180303:
        put(value, 0, 2); // no inhibit time
        return 0;
    case 0x180305:
        put(value, comm_.eventTimerMs, 2);
        return 0;
    case GATEWAY_INDEX_FAULT_BITMAP << 8: {
        const auto bitmap = image_.faultBitmap();
        value.assign(bitmap.begin(), bitmap.end());
        return 0;
    }
    case GATEWAY_INDEX_MTU_ONLINE << 8:
        put(value, image_.mtuOnline ? 1 : 0, 1);
        return 0;
    default:
        return ABORT_NO_SUBINDEX;
    }
}

uint16_t *ObjectDictionary::writable(uint16_t index, uint8_t sub)
{
    if (index == 0x1017 && sub == 0)
        return &comm_.heartbeatMs;
    if (index == GATEWAY_INDEX_TPDO4_COMMUNICATION && sub == GATEWAY_SUB_EVENT_TIMER)
        return &comm_.eventTimerMs;
    return nullptr;
}

uint32_t ObjectDictionary::probeWrite(uint16_t index, uint8_t sub)
{
    if (writable(index, sub))
        return 0;
    std::vector<uint8_t> ignored;
    const uint32_t readable = read(index, sub, ignored);
    return readable ? readable : ABORT_READ_ONLY;
}

uint32_t ObjectDictionary::write(uint16_t index, uint8_t sub, const uint8_t *data, size_t &size, bool sizeIndicated)
{
    if (const uint32_t code = probeWrite(index, sub))
        return code;
    // Both writable entries are UNSIGNED16.
    constexpr size_t entrySize = 2;
    if (size > entrySize && sizeIndicated)
        return ABORT_TOO_LONG;
    if (size < entrySize)
        return ABORT_TOO_SHORT;
    size = entrySize;
    const uint16_t value = readLe16(data);
    *writable(index, sub) = value;
    if (index == GATEWAY_INDEX_TPDO4_COMMUNICATION)
        listener_.eventTimerWritten(value);
    else
        listener_.heartbeatWritten(value);
    return 0;
}

} // namespace gatewaysim
