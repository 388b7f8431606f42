#include "Scenario.h"

namespace gatewaysim {

const char *scenarioName(ScenarioKind kind)
{
    switch (kind) {
    case ScenarioKind::Live:
        return "live";
    case ScenarioKind::Table:
        return "table";
    case ScenarioKind::Flap:
        return "flap";
    case ScenarioKind::Burst:
        return "burst";
    case ScenarioKind::Silent:
        return "silent";
    }
    return "?";
}

std::optional<ScenarioKind> scenarioByName(const std::string &name)
{
    for (ScenarioKind kind :
         {ScenarioKind::Live, ScenarioKind::Table, ScenarioKind::Flap, ScenarioKind::Burst, ScenarioKind::Silent})
        if (name == scenarioName(kind))
            return kind;
    return std::nullopt;
}

std::unique_ptr<Scenario> makeScenario(ScenarioKind kind, uint32_t productCode)
{
    switch (kind) {
    case ScenarioKind::Table:
        return makeTableScenario(productCode, true);
    case ScenarioKind::Silent:
        return makeTableScenario(productCode, false);
    case ScenarioKind::Flap:
        return makeLiveScenario(productCode, true, false);
    case ScenarioKind::Burst:
        return makeLiveScenario(productCode, false, true);
    case ScenarioKind::Live:
        break;
    }
    return makeLiveScenario(productCode, false, false);
}

} // namespace gatewaysim
