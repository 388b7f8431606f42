// What the system knows about a SocketCAN network interface: whether it
// exists, is up, and the bit rate it runs at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace netdevice {

enum class State { Missing, Down, Up };

// Missing also for a name that is no CAN interface at all (e.g. "lo").
State state(const std::string &name);
// The interface's nominal bit rate; empty when it has none (vcan) or it
// cannot be read.
std::optional<uint32_t> bitrate(const std::string &name);

} // namespace netdevice
