// Calls each of the binding's wrappers once, with harmless arguments, and
// returns each wrapper's result by its export's name.
#pragma once

#include "QEL_COPN_Interface.h"

#include <map>
#include <string>

inline std::map<std::string, int32_t> CallEveryWrapper(TQEL_COPN_Interface &copn)
{
    static char path[] = "\\Software\\Quelbrook\\Tarnwick\\";
    char name[256] = {};
    uint32_t flag = 0, value32 = 0, length = 256, time1 = 0, time2 = 0;
    uint8_t value8 = 0, buffer[256] = {}, node = 0, message[18] = {};
    int32_t event = 0;
    TraceStatus trace{};
    NodeStatus nodes[QELCOPN_NODE_TABLE_SIZE] = {};
    EmergencyRecord emergencies[4] = {};
    uint64_t next = 0;
    return {
        {"LoadDriver", copn.LoadDriver()},
        {"ReadConfiguration", copn.ReadConfiguration(path)},
        {"SaveConfiguration", copn.SaveConfiguration(path)},
        {"CANopenConfigurationWindow", copn.CANopenConfigurationWindow()},
        {"GetInterfaceName", copn.GetInterfaceName(2, name)},
        {"OpenInterface", copn.OpenInterface()},
        {"SetNodeID", copn.SetNodeID()},
        {"SetBaud", copn.SetBaud()},
        {"SetOnline", copn.SetOnline(1)},
        {"AddNode", copn.AddNode(1)},
        {"NMT_ResetCommunication", copn.NMT_ResetCommunication(0)},
        {"NMT_StartRemoteNode", copn.NMT_StartRemoteNode(7)},
        {"NMT_StopRemoteNode", copn.NMT_StopRemoteNode(7)},
        {"NMT_EnterPreOperational", copn.NMT_EnterPreOperational(7)},
        {"NMT_ResetNode", copn.NMT_ResetNode(7)},
        {"SetSDOTimeout", copn.SetSDOTimeout(500)},
        {"GetNodeOnline", copn.GetNodeOnline(7, &flag)},
        {"SDO_Upload_UNSIGNED8", copn.SDO_Upload_UNSIGNED8(7, 0x1001, 0, &value8)},
        {"SDO_Upload_UNSIGNED32", copn.SDO_Upload_UNSIGNED32(7, 0x1000, 0, &value32)},
        {"SDO_Upload", copn.SDO_Upload(7, 0x1008, 0, &length, buffer)},
        {"SDO_Download_UNSIGNED16", copn.SDO_Download_UNSIGNED16(7, 0x1803, 5, 10)},
        {"AddPDO", copn.AddPDO(7, 16, 3, 1000)},
        {"COP_PDO_Get_Event", copn.COP_PDO_Get_Event(7, 18, 3, &event)},
        {"COP_PDO_Read_Data_wTime", copn.COP_PDO_Read_Data_wTime(7, 18, 3, &value8, buffer, &time1, &time2)},
        {"CheckEmergency", copn.CheckEmergency(&node, message)},
        {"Trace_Start", copn.Trace_Start("/tmp/binding-test.log")},
        {"Trace_GetStatus", copn.Trace_GetStatus(&trace)},
        {"Trace_SaveRecent", copn.Trace_SaveRecent("/tmp/binding-test-recent.log", 60)},
        {"Trace_SetBlackBoxMinutes", copn.Trace_SetBlackBoxMinutes()},
        {"GetFailureText", copn.GetFailureText(name)},
        {"GetNodeTable", copn.GetNodeTable(nodes)},
        {"GetEmergencies", copn.GetEmergencies(&next, emergencies, 4, &value32)},
        {"Trace_Stop", copn.Trace_Stop()},
        {"CloseInterface", copn.CloseInterface()},
        {"CloseCard", copn.CloseCard()},
        {"UnloadDriver", copn.UnloadDriver()},
    };
}
