// The labels of the monitor's grids: which row carries which name.
#pragma once

constexpr int MTU_NAMED_ROWS = 168;
constexpr int DINBUS_NAMED_ROWS = 23;

// Entry i labels row i + 1.
extern const char *const MtuParameterNames[MTU_NAMED_ROWS];
extern const char *const DinBusByteNames[DINBUS_NAMED_ROWS];

// The J1939 grid labels its first row only.
constexpr const char *J1939_ROW1_NUMBER = "1";
constexpr const char *J1939_ROW1_NAME = "Engine RPM";
