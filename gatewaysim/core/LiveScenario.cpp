// The live engine, and the flap and burst scenarios built on it. Every value
// is a pure function of the time since the start, so a run can be repeated
// and nothing drifts however the gateway is woken.
#include "GatewayMessages.h"
#include "Scenario.h"

#include <algorithm>
#include <cmath>

namespace gatewaysim {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double IDLE_RPM = 600;
constexpr double NOMINAL_RPM = 1800;

// The speed cycle: idle, ramp up, nominal, ramp down (seconds).
constexpr double CYCLE_S = 60;
constexpr double IDLE_UNTIL_S = 10;
constexpr double RAMP_UP_UNTIL_S = 25;
constexpr double NOMINAL_UNTIL_S = 45;

// The fault that comes and goes: active from 30 s to 40 s of every 90 s.
constexpr int LIVE_FAULT = 23;
constexpr int64_t FAULT_CYCLE_US = 90'000'000;
constexpr int64_t FAULT_FROM_US = 30'000'000;
constexpr int64_t FAULT_UNTIL_US = 40'000'000;

// The flapping MTU: online for 3 s, then offline for 3 s.
constexpr int64_t FLAP_HALF_US = 3'000'000;

double smoothstep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

// Approaches `to` from `from` with the time constant tau.
double warmUp(double t, double from, double to, double tau) { return to - (to - from) * std::exp(-t / tau); }

struct Engine {
    double t;     // seconds since start
    double speed; // rpm
    double load;  // 0 at idle .. 1 at nominal
    bool faultActive;

    Engine(int64_t elapsedUs)
        : t(double(elapsedUs) / 1e6)
    {
        const double phase = std::fmod(t, CYCLE_S);
        double rise;
        if (phase < IDLE_UNTIL_S)
            rise = 0;
        else if (phase < RAMP_UP_UNTIL_S)
            rise = smoothstep((phase - IDLE_UNTIL_S) / (RAMP_UP_UNTIL_S - IDLE_UNTIL_S));
        else if (phase < NOMINAL_UNTIL_S)
            rise = 1;
        else
            rise = 1 - smoothstep((phase - NOMINAL_UNTIL_S) / (CYCLE_S - NOMINAL_UNTIL_S));
        speed = IDLE_RPM + (NOMINAL_RPM - IDLE_RPM) * rise + 4 * std::sin(2 * PI * t / 1.7);
        load = rise;
        const int64_t inCycle = elapsedUs % FAULT_CYCLE_US;
        faultActive = inCycle >= FAULT_FROM_US && inCycle < FAULT_UNTIL_US;
    }

    double coolantC() const { return warmUp(t, 20, 82, 180) + 4 * load; }
    double lubeOilC() const { return warmUp(t, 20, 88, 240) + 5 * load; }
    double fuelC() const { return warmUp(t, 25, 38, 300); }
    double chargeAirC() const { return 35 + 20 * load; }
    double lubeOilMbar() const { return 1500 + 3500 * speed / NOMINAL_RPM; }
    double fuelRateLph() const { return 8 + 52 * load; }
    // Fuel burnt since the start at the cycle's mean rate: counts up steadily.
    double fuelUsedL() const { return t * (8 + 52 * 0.5) / 3600; }
    double batteryV() const { return 27.6 + 0.2 * std::sin(2 * PI * t / 7); }
    double groundKmh() const { return 60 * load; }
};

int32_t round32(double value) { return int32_t(std::lround(value)); }
uint8_t byteOf(double value) { return uint8_t(std::clamp<long>(std::lround(value), 0, 255)); }

void putLe(std::array<uint8_t, 8> &slot, int at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        slot[at + i] = uint8_t(value >> (8 * i));
}

void fillMtu(const Engine &e, ProcessImage &image)
{
    auto &m = image.mtu;
    std::fill(m.begin(), m.end(), 0);
    m[2] = round32(e.speed);          // Engine Speed
    m[4] = round32(20 + 80 * e.load);  // Injection Quality
    m[5] = round32(IDLE_RPM);
    m[6] = round32(NOMINAL_RPM);
    m[7] = round32(100 * (1 - e.load)); // Power Reserve
    m[10] = e.faultActive ? 1 : 0;      // Combined Yellow Alarm
    m[22] = round32(e.lubeOilMbar());   // P-Lube Oil
    m[23] = 1500;                       // its limits
    m[24] = 1000;
    m[32] = round32(1000 + 600 * e.load); // P-Coolant
    m[45] = round32(1000 + 1500 * e.load); // P-Charge Air
    m[47] = round32(600 + 1000 * e.load);  // P-Fuel (Common Rail)
    m[50] = round32(3600000 + e.t);        // ECU Operating Hours (sec)
    m[54] = 1;                             // Engine Running
    m[82] = round32(10 * e.batteryV());    // ECU Power Supply Voltage
    m[83] = round32((3600000 + e.t) / 3600);
    m[85] = round32(e.speed / 2);           // camshaft
    m[87] = round32(10 * e.fuelRateLph());  // Actual Fuel Consumption
    m[88] = round32(10 * e.fuelUsedL());    // Daily Fuel Consumption
    m[89] = round32(1523400 + 10 * e.fuelUsedL()); // Total Fuel Consumption
    m[92] = round32(e.coolantC());          // T-Coolant (ECU)
    m[93] = 95;
    m[94] = 100;
    m[97] = round32(e.chargeAirC());        // T-Charge Air
    m[103] = round32(e.lubeOilC());         // T-Lube Oil
    m[104] = 105;
    m[105] = 110;
    m[108] = 22;                            // T-Ambient Air
    m[109] = round32(e.fuelC());            // T-Fuel
    m[112] = 2100;                          // Engine Speed Limit HI
    m[116] = round32(warmUp(e.t, 30, 48, 300)); // T-ECU
    m[122] = round32(e.speed);              // crankshaft
}

void fillDinBus(const Engine &e, ProcessImage &image)
{
    auto &d = image.dinBus;
    std::fill(d.begin(), d.end(), 0);
    d[1] = byteOf(e.groundKmh());
    d[2] = byteOf(e.speed / 10);
    d[3] = byteOf(e.coolantC());
    d[4] = byteOf(30 + 30 * e.load);
    d[5] = byteOf(35 + 25 * e.load);
    d[6] = byteOf(36 + 24 * e.load);
    d[7] = 40;
    d[8] = byteOf(100 * e.load);
    d[10] = byteOf(128 + 30 * std::sin(2 * PI * e.t / 20));
    d[11] = byteOf(20 + 150 * e.load);
    d[12] = byteOf(e.groundKmh() * 3);
    d[13] = byteOf(21 + 148 * e.load);
    d[14] = byteOf(e.groundKmh() * 3);
    d[15] = e.faultActive ? LIVE_FAULT : 0;
    d[16] = byteOf(200 - std::fmod(e.fuelUsedL(), 150));
    d[17] = byteOf(e.batteryV());
    d[18] = byteOf(e.lubeOilMbar() / 100);
    d[19] = byteOf(85 + 5 * std::sin(2 * PI * e.t / 13));
    d[20] = 60;
    d[22] = uint8_t(0x01 | (e.faultActive ? 0x02 : 0x00));
}

// The J1939 parameter groups a J1939 gateway passes on, each in a slot,
// with their standard scalings; bytes a group does not fill read 0xFF
// (not available), as on J1939 itself.
void fillJ1939(const Engine &e, ProcessImage &image)
{
    for (auto &slot : image.j1939)
        slot.fill(0xFF);
    auto &eec1 = image.j1939[0]; // engine speed 0.125 rpm/bit
    eec1[2] = byteOf(125 + 100 * e.load);
    putLe(eec1, 3, uint32_t(std::lround(e.speed / 0.125)), 2);
    auto &et1 = image.j1939[1]; // temperatures, offset -40 / -273
    et1[0] = byteOf(e.coolantC() + 40);
    et1[1] = byteOf(e.fuelC() + 40);
    putLe(et1, 2, uint32_t(std::lround((e.lubeOilC() + 273) / 0.03125)), 2);
    auto &eflp1 = image.j1939[2]; // oil pressure 4 kPa/bit
    eflp1[3] = byteOf(e.lubeOilMbar() / 40);
    auto &lfe = image.j1939[3]; // fuel rate 0.05 l/h per bit
    putLe(lfe, 0, uint32_t(std::lround(e.fuelRateLph() / 0.05)), 2);
    auto &hours = image.j1939[4]; // engine hours 0.05 h per bit
    putLe(hours, 0, uint32_t(std::lround((1000 + e.t / 3600) / 0.05)), 4);
    auto &vep1 = image.j1939[5]; // battery potential 0.05 V per bit
    putLe(vep1, 4, uint32_t(std::lround(e.batteryV() / 0.05)), 2);
    auto &ccvs = image.j1939[6]; // wheel-based speed 1/256 km/h per bit
    putLe(ccvs, 1, uint32_t(std::lround(e.groundKmh() * 256)), 2);
}

int64_t nextBoundary(int64_t elapsedUs, int64_t cycleUs, std::initializer_list<int64_t> offsets)
{
    const int64_t cycleStart = elapsedUs - elapsedUs % cycleUs;
    int64_t next = cycleStart + cycleUs + *offsets.begin();
    for (int64_t offset : offsets)
        if (cycleStart + offset > elapsedUs)
            next = std::min(next, cycleStart + offset);
    return next;
}

class LiveScenario : public Scenario {
public:
    LiveScenario(uint32_t productCode, bool flap, bool burst)
        : mtu_(hasMtu(productCode))
        , flap_(flap && mtu_)
        , burst_(burst)
    {
    }

    void update(int64_t elapsedUs, ProcessImage &image) override
    {
        const Engine engine(elapsedUs);
        fillDinBus(engine, image);
        if (!mtu_) {
            fillJ1939(engine, image);
            return;
        }
        fillMtu(engine, image);
        image.faultState.fill(0);
        image.faultState[LIVE_FAULT] = engine.faultActive ? 1 : 0;
        image.mtuOnline = !flap_ || (elapsedUs / FLAP_HALF_US) % 2 == 0;
        if (!image.mtuOnline) // the gateway has nothing from the engine
            std::fill(image.mtu.begin(), image.mtu.end(), GATEWAY_MTU_MISSING_DATA);
    }

    int64_t nextEventUs(int64_t elapsedUs) const override
    {
        if (!mtu_)
            return NEVER;
        int64_t next = nextBoundary(elapsedUs, FAULT_CYCLE_US, {FAULT_FROM_US, FAULT_UNTIL_US});
        if (flap_)
            next = std::min(next, nextBoundary(elapsedUs, FLAP_HALF_US, {0}));
        return next;
    }

    bool burst() const override { return burst_; }

private:
    bool mtu_;
    bool flap_;
    bool burst_;
};

} // namespace

std::unique_ptr<Scenario> makeLiveScenario(uint32_t productCode, bool flap, bool burst)
{
    return std::make_unique<LiveScenario>(productCode, flap, burst);
}

} // namespace gatewaysim
