// The table scenario's values. docs/simulator.md lists them for people and
// tests; change both together.
#include "GatewayMessages.h"
#include "Scenario.h"

namespace gatewaysim {

namespace {

struct MtuEntry {
    int parameter;
    int32_t value;
};

// Every parameter not listed here is 100 times its number.
constexpr MtuEntry MTU_TABLE[] = {
    {2, 1500},              // Engine Speed
    {5, 600},               // Idle Speed
    {6, 1800},              // Nominal Speed
    {22, 4500},             // P-Lube Oil
    {50, 3600000},          // ECU Operating Hours (sec)
    {54, 1},                // Engine Running
    {82, 276},              // ECU Power Supply Voltage
    {89, 1234567},          // Total Fuel Consumption
    {92, 85},               // T-Coolant (ECU)
    {108, -12},             // T-Ambient Air
    {120, GATEWAY_MTU_MISSING_DATA}, // Alarm (Failurecode)
    {121, GATEWAY_MTU_SENSOR_DEFECT}, // RAIL Leakage
    {254, 0x12345678},
};

struct FaultEntry {
    int fault;
    uint16_t state;
};

constexpr FaultEntry FAULT_TABLE[] = {{1, 1}, {2, 1}, {17, 3}, {255, 1}, {400, 1}};

// Slot 0 is the engine controller's EEC1 message with 1500 rpm (0x2EE0 in
// 0.125 rpm steps, bytes 3 and 4); the other slots count up bytewise.
constexpr uint8_t J1939_SLOT0[8] = {0xFF, 0xFF, 0xFF, 0xE0, 0x2E, 0xFF, 0xFF, 0xFF};

class TableScenario : public Scenario {
public:
    explicit TableScenario(uint32_t productCode, bool transmits)
        : productCode_(productCode)
        , transmits_(transmits)
    {
    }
    void update(int64_t, ProcessImage &image) override { fillTable(image, productCode_); }
    bool transmits() const override { return transmits_; }

private:
    uint32_t productCode_;
    bool transmits_;
};

} // namespace

void fillTable(ProcessImage &image, uint32_t productCode)
{
    image = ProcessImage{};
    for (int n = GATEWAY_DINBUS_BYTE_FIRST; n <= GATEWAY_DINBUS_BYTE_LAST; ++n)
        image.dinBus[n] = uint8_t(0xA0 + n);
    image.dinBus[10] = 0x0A;
    image.dinBus[23] = 0x00;
    if (hasMtu(productCode)) {
        image.mtuOnline = true;
        for (int n = GATEWAY_MTU_PARAMETER_FIRST; n <= GATEWAY_MTU_PARAMETER_LAST; ++n)
            image.mtu[n] = 100 * n;
        for (const MtuEntry &entry : MTU_TABLE)
            image.mtu[entry.parameter] = entry.value;
        for (const FaultEntry &entry : FAULT_TABLE)
            image.faultState[entry.fault] = entry.state;
    } else {
        for (int i = 0; i < 8; ++i)
            image.j1939[0][i] = J1939_SLOT0[i];
        for (int slot = 1; slot < GATEWAY_J1939_SLOTS; ++slot)
            for (int i = 0; i < 8; ++i)
                image.j1939[slot][i] = uint8_t(8 * slot + i);
    }
}

std::unique_ptr<Scenario> makeTableScenario(uint32_t productCode, bool transmits)
{
    return std::make_unique<TableScenario>(productCode, transmits);
}

} // namespace gatewaysim
