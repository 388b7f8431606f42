// What an emergency message says, in words: CiA 301's error-code classes
// and its well-known codes, the error register's bits, the manufacturer's
// bytes in hex. Text only, no window: the list, the export and the tests
// share it.
#pragma once

#include <cstdint>
#include <string>

namespace network {

// "Monitoring: communication: CAN overrun (objects lost)"; the most
// specific of CiA 301's texts the code has, led by its class.
std::string emergencyMeaning(uint16_t code);
// "0x11 Generic, Communication"; "0x00" alone when no bit is set.
std::string errorRegisterText(uint8_t errorRegister);
// The bytes as upper-case hex pairs, one space between ("00 00 2A").
std::string hexBytes(const uint8_t *bytes, size_t count);
// "0x8130"
std::string emergencyCodeText(uint16_t code);

} // namespace network
