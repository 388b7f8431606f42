// The library's stored configuration pointed at a private virtual bus, as a
// technician would set it in the configuration window: for tests that put
// the application on a bus of their own making.
#pragma once

#include <string>

// Stores the configuration for the virtual bus at url (own node ID 127,
// 250 kbit/s) through the library, in the process's configuration folder.
// Call it before the application starts, which reads it back as at any
// start; empty on success, else what went wrong.
std::string StoreBusConfiguration(const std::string &url);
