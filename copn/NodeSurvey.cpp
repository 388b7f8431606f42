#include "QEL_COPN_Interface.h"

#include <cstring>

namespace {

constexpr uint16_t SURVEY_SDO_TIMEOUT = 500;
constexpr uint32_t TEXT_BUFFER_SIZE = 256;

struct TextObject {
    uint16_t index;
    char (NodeIdentity::*field)[256];
    uint32_t validBit;
};

struct NumberObject {
    uint8_t sub;
    uint32_t NodeIdentity::*field;
    uint32_t validBit;
};

} // namespace

int32_t TQEL_COPN_Interface::SurveyNodes()
{
    for (int node = 1; node < NODE_TABLE_SIZE; ++node)
        SurveyNode(uint8_t(node));
    return 1;
}

int32_t TQEL_COPN_Interface::SurveyNode(uint8_t nodeId)
{
    if (nodeId == 0 || nodeId >= NODE_TABLE_SIZE)
        return 0;
    uint32_t online = 0;
    const int32_t result = GetNodeOnline(nodeId, &online);
    if (result != 0 && online != 0) {
        NodeTable[nodeId].Online = 1;
        return ReadNodeIdentity(nodeId);
    }
    NodeTable[nodeId].Online = 0;
    return result;
}

int32_t TQEL_COPN_Interface::ReadNodeIdentity(uint8_t nodeId)
{
    // Public, so any byte may come here; past the table lie the stored
    // configuration records.
    if (nodeId >= NODE_TABLE_SIZE)
        return 0;
    NodeIdentity &node = NodeTable[nodeId];
    node.ValidFields = 0;
    SetSDOTimeout(SURVEY_SDO_TIMEOUT);

    uint32_t deviceType = 0;
    // Only the device type is asked twice: it decides whether the node counts.
    if (SDO_Upload_UNSIGNED32(nodeId, 0x1000, 0, &deviceType) == 0 &&
        SDO_Upload_UNSIGNED32(nodeId, 0x1000, 0, &deviceType) == 0) {
        node.Online = 0;
        return 0;
    }
    node.DeviceType = deviceType;
    node.ValidFields |= VALID_DEVICE_TYPE;

    uint8_t errorRegister = 0;
    if (SDO_Upload_UNSIGNED8(nodeId, 0x1001, 0, &errorRegister) != 0) {
        node.ErrorRegister = errorRegister;
        node.ValidFields |= VALID_ERROR_REGISTER;
    }

    static const TextObject texts[] = {
        {0x1008, &NodeIdentity::DeviceName, VALID_DEVICE_NAME},
        {0x1009, &NodeIdentity::HardwareVersion, VALID_HARDWARE_VERSION},
        {0x100A, &NodeIdentity::SoftwareVersion, VALID_SOFTWARE_VERSION},
    };
    for (const TextObject &text : texts) {
        uint8_t buffer[TEXT_BUFFER_SIZE];
        uint32_t length = TEXT_BUFFER_SIZE;
        if (SDO_Upload(nodeId, text.index, 0, &length, buffer) == 0)
            continue;
        const uint32_t n = length > TEXT_BUFFER_SIZE - 1 ? TEXT_BUFFER_SIZE - 1 : length;
        char *field = node.*(text.field);
        std::memcpy(field, buffer, n);
        field[n] = '\0';
        node.ValidFields |= text.validBit;
    }

    static const NumberObject identity[] = {
        {1, &NodeIdentity::VendorId, VALID_VENDOR_ID},
        {2, &NodeIdentity::ProductCode, VALID_PRODUCT_CODE},
        {3, &NodeIdentity::RevisionNumber, VALID_REVISION_NUMBER},
        {4, &NodeIdentity::SerialNumber, VALID_SERIAL_NUMBER},
    };
    for (const NumberObject &number : identity) {
        uint32_t value = 0;
        if (SDO_Upload_UNSIGNED32(nodeId, 0x1018, number.sub, &value) != 0) {
            node.*number.field = value;
            node.ValidFields |= number.validBit;
        }
    }
    return 1;
}
