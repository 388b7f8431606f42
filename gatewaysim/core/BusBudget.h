// How many frames a CAN bus carries at a bit rate, and how much of that the
// gateway's periodic traffic may take. A data frame with an 11-bit
// identifier and 8 data bytes is 111 bits on the wire without stuff bits
// (frame, end of frame and intermission) and up to about 135 bits with the
// worst case of stuffing.
#pragma once

#include <cstdint>

namespace gatewaysim {

constexpr double BITS_PER_FRAME_BEST = 111.0;
constexpr double BITS_PER_FRAME_WORST = 135.0;
// Share of the worst-case capacity the process data may take, so that SDO,
// NMT, heartbeats and emergencies of every node still find room.
constexpr double PDO_SHARE_OF_BUS = 0.5;

// The most 8-byte frames per second the bus can ever carry (a full bus).
constexpr double fullBusFramesPerSecond(uint32_t bitrate) { return bitrate / BITS_PER_FRAME_BEST; }
// What it carries for certain, whatever the data's stuff bits.
constexpr double worstCaseFramesPerSecond(uint32_t bitrate) { return bitrate / BITS_PER_FRAME_WORST; }
// The default process-data rate of the normal scenarios: well under the bus.
constexpr double defaultPdoRate(uint32_t bitrate) { return worstCaseFramesPerSecond(bitrate) * PDO_SHARE_OF_BUS; }
// The default rate of the burst scenario: as fast as the bus takes.
constexpr double defaultBurstRate(uint32_t bitrate) { return fullBusFramesPerSecond(bitrate); }

} // namespace gatewaysim
