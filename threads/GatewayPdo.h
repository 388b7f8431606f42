// How the gateway's multiplexed PDO is named to the library: its fourth
// transmit PDO (number 3), registered with selector 16 and read with 18.
#pragma once

#include <cstdint>

constexpr uint8_t GATEWAY_PDO_REGISTER_KIND = 16;
constexpr uint8_t GATEWAY_PDO_READ_KIND = 18;
constexpr uint16_t GATEWAY_PDO_NUMBER = 3;
constexpr uint16_t GATEWAY_PDO_RECEIVE_TIMEOUT_MS = 1000;
