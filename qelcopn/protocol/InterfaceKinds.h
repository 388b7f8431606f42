// The interface kinds the library and the simulator support, without Qt:
// the simulator's I/O-free command line checks its --kind against them too.
#pragma once

#include "QEL_COPN.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qelcopn {

struct InterfaceKind {
    uint32_t code;           // HardwareConfiguration::InterfaceType
    const char *plugin;      // QtSerialBus plugin name; nullptr for a recording
    const char *displayName; // what GetInterfaceName gives
    // The plugin takes the bit rate only before it connects (BitRateKey):
    // such an adapter is connected only once the rate is known.
    bool rateAtConnect = false;
    // The plugin stamps each frame on reception (QCanBusFrame::timeStamp).
    bool stampsFrames = false;
};

inline constexpr std::array<InterfaceKind, 5> INTERFACE_KINDS{{
    {QELCOPN_KIND_SOCKETCAN, "socketcan", "SocketCAN", false, true},
    {QELCOPN_KIND_VIRTUALCAN, "virtualcan", "Virtual CAN bus", false, false},
    {QELCOPN_KIND_PEAKCAN, "peakcan", "PEAK PCAN", true, true},
    {QELCOPN_KIND_TINYCAN, "tinycan", "Tiny-CAN", true, true},
    // Played by ReplayPlayer, not by a QtSerialBus plugin.
    {QELCOPN_KIND_RECORDING, nullptr, "Recording file", false, false},
}};

constexpr const InterfaceKind *interfaceKindByCode(uint32_t code)
{
    for (const InterfaceKind &kind : INTERFACE_KINDS)
        if (kind.code == code)
            return &kind;
    return nullptr;
}

// The plugin names in the table's order, as the command lines name them to
// a user.
inline std::vector<std::string> pluginNames()
{
    std::vector<std::string> names;
    for (const InterfaceKind &kind : INTERFACE_KINDS)
        if (kind.plugin != nullptr)
            names.emplace_back(kind.plugin);
    return names;
}

// By plugin name ("socketcan", "virtualcan", "peakcan", "tinycan").
constexpr const InterfaceKind *interfaceKindByPlugin(std::string_view plugin)
{
    for (const InterfaceKind &kind : INTERFACE_KINDS)
        if (kind.plugin != nullptr && plugin == kind.plugin)
            return &kind;
    return nullptr;
}

} // namespace qelcopn
