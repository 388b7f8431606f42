// What the gateway has to tell: scenarios fill the process image as a
// function of the time since the gateway's application started.
//   live    a plausible engine: speed ramping between idle and nominal,
//           temperatures, pressures, fuel counting up, a fault now and then
//   table   fixed values, written down in docs/simulator.md
//   flap    the live engine whose MTU goes offline and online every few
//           seconds
//   burst   the live engine, its PDOs as fast as the bus takes
//   silent  the table's values, served by SDO only: no PDO, no emergency
#pragma once

#include "ProcessImage.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace gatewaysim {

enum class ScenarioKind { Live, Table, Flap, Burst, Silent };

const char *scenarioName(ScenarioKind kind);
std::optional<ScenarioKind> scenarioByName(const std::string &name);

class Scenario {
public:
    static constexpr int64_t NEVER = std::numeric_limits<int64_t>::max();

    virtual ~Scenario() = default;
    // Sets every value the product publishes to what it is elapsedUs after
    // the start.
    virtual void update(int64_t elapsedUs, ProcessImage &image) = 0;
    // When the MTU state or a fault changes by itself next, after elapsedUs
    // (so that its emergency goes out on time even while no PDO is due).
    virtual int64_t nextEventUs(int64_t elapsedUs) const
    {
        (void)elapsedUs;
        return NEVER;
    }
    // Silent sends neither PDOs nor emergencies.
    virtual bool transmits() const { return true; }
    virtual bool burst() const { return false; }
};

std::unique_ptr<Scenario> makeScenario(ScenarioKind kind, uint32_t productCode);

// The building blocks of makeScenario.
std::unique_ptr<Scenario> makeTableScenario(uint32_t productCode, bool transmits);
std::unique_ptr<Scenario> makeLiveScenario(uint32_t productCode, bool flap, bool burst);

// The fixed values of the table scenario (the silent one serves them too).
void fillTable(ProcessImage &image, uint32_t productCode);

} // namespace gatewaysim
