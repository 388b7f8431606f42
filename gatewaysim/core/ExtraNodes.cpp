#include "ExtraNodes.h"

#include "CommandLine.h"
#include "Scenario.h"
#include "Text.h"

#include <algorithm>
#include <sstream>

namespace gatewaysim {

namespace {

// One step of the eventful scenario: when in its 30 s cycle, and what.
struct Step {
    int64_t atUs;
    bool lastNode; // else the first extra node
    const char *command; // the node ID goes after its first word
};

constexpr int64_t CYCLE_US = 30'000'000;
constexpr Step EVENTFUL[] = {
    {5'000'000, false, "emergency %u 0x8110 0x11 0x00 0x00 0x00 0x00 0x2A"},
    {12'000'000, false, "emergency %u 0x0000 0x00"},
    {15'000'000, true, "heartbeat %u stop"},
    {21'000'000, true, "heartbeat %u resume"},
    {25'000'000, true, "reboot %u"},
};

std::optional<uint64_t> numberOf(const std::string &word, uint64_t max) { return cmdline::number(word, 0, max); }

} // namespace

std::optional<NetworkScenario> networkScenarioByName(const std::string &name)
{
    if (name == "steady")
        return NetworkScenario::Steady;
    if (name == "eventful")
        return NetworkScenario::Eventful;
    return std::nullopt;
}

const char *networkScenarioName(NetworkScenario scenario)
{
    return scenario == NetworkScenario::Eventful ? "eventful" : "steady";
}

ExtraNodes::ExtraNodes(const std::vector<uint8_t> &nodes, uint16_t heartbeatMs, NetworkScenario scenario,
                       GatewaySink &sink, const std::map<uint8_t, network::eds::ObjectDictionary> &dictionaries)
    : scenario_(scenario)
{
    for (uint8_t node : nodes) {
        const auto eds = dictionaries.find(node);
        const auto *dictionary = eds != dictionaries.end() ? &eds->second : nullptr;
        nodes_.push_back(std::make_unique<ExtraNode>(ExtraNodeConfig{node, heartbeatMs, dictionary}, sink));
    }
}

ExtraNode *ExtraNodes::find(uint8_t node)
{
    for (auto &n : nodes_)
        if (n->node() == node)
            return n.get();
    return nullptr;
}

void ExtraNodes::powerOn(int64_t nowUs)
{
    cycleStartUs_ = nowUs;
    nextStep_ = 0;
    for (auto &n : nodes_)
        n->powerOn(nowUs);
}

bool ExtraNodes::receive(const qelcopn::CanFrame &frame, int64_t nowUs)
{
    bool taken = false;
    for (auto &n : nodes_)
        taken = n->receive(frame, nowUs) || taken;
    return taken;
}

void ExtraNodes::poll(int64_t nowUs)
{
    runScenario(nowUs);
    for (auto &n : nodes_)
        n->poll(nowUs);
}

void ExtraNodes::runScenario(int64_t nowUs)
{
    if (scenario_ != NetworkScenario::Eventful || nodes_.empty())
        return;
    constexpr size_t steps = std::size(EVENTFUL);
    while (nowUs >= cycleStartUs_ + EVENTFUL[nextStep_].atUs) {
        const Step &step = EVENTFUL[nextStep_];
        const uint8_t node = (step.lastNode ? nodes_.back() : nodes_.front())->node();
        command(format(step.command, unsigned(node)), nowUs);
        if (++nextStep_ == steps) {
            nextStep_ = 0;
            cycleStartUs_ += CYCLE_US;
        }
    }
}

int64_t ExtraNodes::nextDueUs() const
{
    int64_t due = Scenario::NEVER;
    for (const auto &n : nodes_)
        due = std::min(due, n->nextDueUs());
    if (scenario_ == NetworkScenario::Eventful && !nodes_.empty())
        due = std::min(due, cycleStartUs_ + EVENTFUL[nextStep_].atUs);
    return due;
}

std::string ExtraNodes::command(const std::string &line, int64_t nowUs)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    if (words.empty())
        return {};
    const std::string &verb = words[0];
    if (verb != "emergency" && verb != "heartbeat" && verb != "reboot")
        return "unknown command '" + verb + "': expected emergency, heartbeat or reboot";
    const auto id = words.size() > 1 ? numberOf(words[1], 127) : std::nullopt;
    ExtraNode *node = id ? find(uint8_t(*id)) : nullptr;
    if (node == nullptr)
        return verb + ": expected the node ID of an extra node";
    if (verb == "reboot") {
        if (words.size() != 2)
            return "reboot: expected reboot NODE";
        node->reboot(nowUs);
        return {};
    }
    if (verb == "heartbeat") {
        if (words.size() != 3 || (words[2] != "stop" && words[2] != "resume"))
            return "heartbeat: expected heartbeat NODE stop|resume";
        node->setSilent(words[2] == "stop", nowUs);
        return {};
    }
    // emergency NODE CODE [REGISTER [B0..B4]]
    if (words.size() != 3 && words.size() != 4 && words.size() != 9)
        return "emergency: expected emergency NODE CODE [REGISTER [B0 B1 B2 B3 B4]]";
    const auto code = numberOf(words[2], 0xFFFF);
    const auto reg = words.size() > 3 ? numberOf(words[3], 0xFF) : std::optional<uint64_t>(0);
    std::array<uint8_t, 5> data{};
    bool bytesGood = true;
    for (size_t k = 0; k < 5 && words.size() == 9; ++k) {
        const auto byte = numberOf(words[4 + k], 0xFF);
        bytesGood = bytesGood && byte.has_value();
        data[k] = uint8_t(byte.value_or(0));
    }
    if (!code || !reg || !bytesGood)
        return "emergency: a code up to 0xFFFF, a register and bytes up to 0xFF";
    node->sendEmergency(uint16_t(*code), uint8_t(*reg), data);
    return {};
}

} // namespace gatewaysim
