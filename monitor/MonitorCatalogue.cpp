#include "MonitorCatalogue.h"

#include <iterator>

// MTU data grid, column 1, rows 1 to 168. Labels only: nothing looks a
// parameter up by name, and some names occur twice.
const char *const MtuParameterNames[] = {
    "Stop Activated", // 1
    "Engine Speed", // 2
    "SS Overspeed", // 3
    "Injection Quality", // 4
    "Idle Speed", // 5
    "Nominal Speed", // 6
    "Power Reserve", // 7
    "Injection Limitation Active", // 8
    "Power Reduction Active", // 9
    "Combined Yellow Alarm", // 10
    "Cylinder Cutout Code", // 11
    "Speed Demand Source", // 12
    "Speed Demand Fail Mode", // 13
    "Combined Alarm Red", // 14
    "Test Overspeed Active", // 15
    "Feedback Speed Demand", // 16
    "Feedback Speed Demand Eff.", // 17
    "Feedback Increase Speed", // 18
    "Feedback Decrease Speed", // 19
    "Status Start Sequence", // 20
    "Maximum Injection", // 21
    "P-Lube Oil", // 22
    "P-Lube Oil Limit Lo", // 23
    "P-Lube Oil Limit LoLo", // 24
    "Lo P-Lube Oil", // 25
    "SS P-Lube Oil", // 26
    "P-Crankcase", // 27
    "P-Crankcase Limit Hi", // 28
    "P-Crankcase Limit HIHI", // 29
    "HI P-Crankcase", // 30
    "SS P-Crankcase", // 31
    "P-Coolant", // 32
    "P-Coolant Limit Lo", // 33
    "P-Coolant Limit LoLo", // 34
    "Lo P-Coolant", // 35
    "SS P-Coolant", // 36
    "P-Coolant Intercooler", // 37
    "P-Coolant Interc. Limit Lo", // 38
    "P-Coolant Interc. Limit LoLo", // 39
    "Lo P-Coolant Intercooler", // 40
    "SS P-Coolant Intercooler", // 41
    "P-Fuel after Filter", // 42
    "Lo P-Fuel after Filter", // 43
    "SS P-Fuel after Filter", // 44
    "P-Charge Air", // 45
    "Lo P-Charge Air", // 46
    "P-Fuel (Common Rail)", // 47
    "Hi P-Lube Oil Filter Diff.", // 48
    "SS Coolant Level", // 49
    "ECU Operating Hours (sec)", // 50
    "Lo P-Fuel (Common Rail)", // 51
    "Hi P-Fuel", // 52
    "Feedback Override", // 53
    "Engine Running", // 54
    "Injection Quality 0-120%", // 55
    "Injection Limitation Limit HI", // 56
    "Cylinder Cutout", // 57
    "Actual Failure Codes", // 58
    "Speed Limit 1", // 59
    "Speed Limit 2", // 60
    "Window Shade 1", // 61
    "Window Shade 2", // 62
    "Ventilator 1, Output Current", // 63
    "Ventilator 1, Period Time", // 64
    "Ventilator 1, Operating Mode", // 65
    "Ventilator 1, Output Current", // 66
    "Ventilator 1, Period Time", // 67
    "Ventilator 1, Operating Mode", // 68
    "Horn", // 69
    "Preat Temperature Low", // 70
    "AL BIN-AUX 1", // 71
    "AL BIN-AUX 2", // 72
    "AL BIN-AUX 3", // 73
    "AL BIN-AUX 4", // 74
    "AL P-AUX 1 Limit 1", // 75
    "AL P-AUX 2 Limit 1", // 76
    "AL T-AUX 1 Limit 1", // 77
    "AL T-AUX 1 Limit 1", // 78
    "AL Power Amplifier 1 Failure", // 79
    "AL Power Amplifier 2 Failure", // 80
    "AL Status Transistor Outputs", // 81
    "ECU Power Supply Voltage", // 82
    "ECU Operating Hours", // 83
    "AL ECU Defect", // 84
    "Engine Speed Camshaft", // 85
    "AL Speed Demand Defect", // 86
    "Actual Fuel Consumption", // 87
    "Daily Fuel Consumption", // 88
    "Total Fuel Consumption", // 89
    "LO ECU Power Supply Voltage", // 90
    "HI ECU Power Supply Voltage", // 91
    "T-Coolant (ECU)", // 92
    "T-Coolant Limit HI", // 93
    "T-Coolant Limit HIHI", // 94
    "HI T-Coolant (ECU)", // 95
    "SS T-Coolant (ECU)", // 96
    "T-Charge Air", // 97
    "T-Charge Air Limit HI", // 98
    "HI T-Charge Air", // 99
    "T-Coolant Intercooler", // 100
    "T-Coolant Intercooler Limit HI", // 101
    "HI T-Coolant Intercooler", // 102
    " T-Lube Oil", // 103 (the leading blank belongs to the name)
    "T-Lube Oil Limit HI", // 104
    "T-Lube Oil Limit HIHI", // 105
    "HI T-Lube Oil", // 106
    "SS T-Lube Oil", // 107
    "T-Ambient Air", // 108
    "T-Fuel", // 109
    "P-Fuel after Filter LO", // 110
    "P-Fuel after Filter LOLO", // 111
    "Engine Speed Limit HI", // 112
    "P-Charge Air Limit LO", // 113
    "T-Charge Air Limit HIHI", // 114
    "SS T-Charge Air", // 115
    "T-ECU", // 116
    "HI T-ECU", // 117
    "Failure Codes", // 118
    "Engine Speed too Low", // 119
    "Alarm (Failurecode)", // 120
    "RAIL Leakage", // 121
    "Engine Speed (Crankshaft)", // 122
    "P-AUX 1", // 123
    "AL P-AUX 1 Limit 2", // 124
    "P-AUX 1", // 125
    "AL P-AUX 2 Limit 2", // 126
    "Actual Droop", // 127
    "AL Automatic Engine Stop", // 128
    "Injection Quality Act. DBR%", // 129
    "Ventilator Speed 0-100%", // 130
    "Water in Fuel Pre-filter Sig.", // 131
    "Water in Fuel Pre-filter", // 132
    "Feedback Alarm Reset", // 133
    "Actual Nodes on CAN-Bus", // 134
    "Lost Nodes on CAN-Bus", // 135
    "BIN AUX 1", // 136
    "BIN AUX 2", // 137
    "BIN AUX 3", // 138
    "BIN AUX 4", // 139
    "Ether Injection Active", // 140
    "T-AUX 1", // 141
    "AL T-AUX 1 Limit 2", // 142
    "T-AUX 2", // 143
    "AL T-AUX 2 Limit 2", // 144
    "Actual Operating Mode", // 145
    "Status Transistor Outputs", // 146
    "24V Operating Voltage Limit LO", // 147
    "24V Operating Volt.Limit LO", // 148
    "24V Operating Voltage Limit HI", // 149
    "24V Operating Volt. Limit HIHI", // 150
    "SS Operating Voltage LO", // 151
    "SS Operating Voltage HI", // 152
    "T-Charge Air Limit LO", // 153
    "LO T-Charge Air", // 154
    "T-AUX 1 Limit 1", // 155
    "T-AUX 1 Limit 2", // 156
    "T-AUX 2 Limit 1", // 157
    "T-AUX 2 Limit 2", // 158
    "P-AUX 1 Limit 1", // 159
    "P-AUX 1 Limit 2", // 160
    "P-AUX 2 Limit 1", // 161
    "P-AUX 2 Limit 2", // 162
    "T-Lube Oil Limit LO", // 163
    "LO T-Lube Oil", // 164
    "SD Coolant Level", // 165
    "T-Fuel Limit HI", // 166
    "HI T-Fuel", // 167
    "T-ECU, Limit HI", // 168
};
static_assert(std::size(MtuParameterNames) == MTU_NAMED_ROWS);

// DinBus grid, column 1, rows 1 to 23.
const char *const DinBusByteNames[] = {
    "Ground Speed", // 1
    "Engine RPM", // 2
    "Engine Temp", // 3
    "Alternator Temp", // 4
    "Motor #1 Temp", // 5
    "Motor #2 Temp", // 6
    "Cruise Control Setpoint", // 7
    "Throttle Pedal", // 8
    "Retard Pedal", // 9
    "Steering Angle Encoder", // 10
    "Left Motor Current", // 11
    "Left Motor Speed", // 12
    "Right Motor Current", // 13
    "Right Motor Speed", // 14
    "Siemens Fault Code", // 15
    "Fuel Level", // 16
    "Battery Volts", // 17
    "Oil Pressure", // 18
    "Air Pressure", // 19
    "Active Speed Limit", // 20
    "Analog Spare", // 21
    "Status Byte 1", // 22
    "Status Byte 2", // 23
};
static_assert(std::size(DinBusByteNames) == DINBUS_NAMED_ROWS);
