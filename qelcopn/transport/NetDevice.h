// What the system knows about a SocketCAN network interface: whether it
// exists, is up, and the bit rate it runs at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qelcopn::netdevice {

enum class State { Missing, Down, Up };

// Missing also for a name that is no CAN interface at all (e.g. "lo").
State state(const std::string &name);
// The interface's nominal bit rate; empty when it has none (vcan) or it
// cannot be read.
std::optional<uint32_t> bitrate(const std::string &name);
// Whether the interface is a CAN controller with a bit timing of its own;
// false for virtual ones (vcan, vxcan), where every rate is the rate.
bool hasBitTiming(const std::string &name);

// Why the interface cannot be used at the wanted rate (current: the rate it
// runs at, empty when unknown), with the commands that set it: they need
// root, so the library cannot run them, a person can.
std::string wrongRateMessage(const std::string &name, std::optional<uint32_t> current, uint32_t wanted);

} // namespace qelcopn::netdevice
