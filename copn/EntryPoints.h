// The library's exports in the binding's slot order. TYPED names carry a
// signature declared in QEL_COPN.h; UNTYPED names are looked up and kept but
// never called by the program, so their slot is a bare function address.
// The documents' 70 come first, in their order; the program's own additions
// follow them, so a library that predates an addition leaves its slot null.
#pragma once

#define QEL_COPN_ENTRY_POINTS(TYPED, UNTYPED) \
    TYPED(UnloadDriver)                       \
    TYPED(LoadDriver)                         \
    UNTYPED(OpenCard)                         \
    TYPED(CloseCard)                          \
    TYPED(CloseInterface)                     \
    UNTYPED(Hardware_Version)                 \
    UNTYPED(Firmware_Version)                 \
    UNTYPED(DLL_Version)                      \
    UNTYPED(DLL_Name)                         \
    UNTYPED(GetErrorString)                   \
    UNTYPED(GetOnline)                        \
    UNTYPED(GetBaud)                          \
    TYPED(SetOnline)                          \
    TYPED(SetBaud)                            \
    UNTYPED(DisplayConfigurationWindow)       \
    UNTYPED(SetRegistryPath)                  \
    TYPED(SetNodeID)                          \
    UNTYPED(GetNodeID)                        \
    UNTYPED(NodeOnline)                       \
    TYPED(SDO_Download_UNSIGNED8)             \
    TYPED(SDO_Download_UNSIGNED16)            \
    TYPED(SDO_Download_UNSIGNED32)            \
    UNTYPED(SDO_Download)                     \
    UNTYPED(SDO_Block_Download)               \
    TYPED(SDO_Upload_UNSIGNED8)               \
    TYPED(SDO_Upload_UNSIGNED16)              \
    TYPED(SDO_Upload_UNSIGNED32)              \
    UNTYPED(SDO_Upload_REAL32)                \
    TYPED(SDO_Upload)                         \
    UNTYPED(SDO_Block_Upload)                 \
    TYPED(NMT_StartRemoteNode)                \
    TYPED(NMT_StopRemoteNode)                 \
    TYPED(NMT_EnterPreOperational)            \
    TYPED(NMT_ResetNode)                      \
    TYPED(NMT_ResetCommunication)             \
    UNTYPED(NMT_NodeGuard)                    \
    TYPED(CheckEmergency)                     \
    UNTYPED(Sync)                             \
    UNTYPED(TimeStamp)                        \
    UNTYPED(PDO_Write)                        \
    UNTYPED(PDO_Read)                         \
    UNTYPED(SDO_Download_INTEGER8)            \
    UNTYPED(SDO_Download_INTEGER16)           \
    UNTYPED(SDO_Download_INTEGER32)           \
    UNTYPED(SDO_Upload_INTEGER8)              \
    UNTYPED(SDO_Upload_INTEGER16)             \
    UNTYPED(SDO_Upload_INTEGER32)             \
    UNTYPED(NMT_StartGuarding)                \
    UNTYPED(NMT_StopGuarding)                 \
    UNTYPED(GetNodeBootUpDetected)            \
    UNTYPED(ClearNodeBootUpDetected)          \
    TYPED(GetNodeState)                       \
    TYPED(GetNodeOnline)                      \
    TYPED(SetSDOTimeout)                      \
    UNTYPED(SetPDOTimeout)                    \
    TYPED(AddNode)                            \
    TYPED(RemoveNode)                         \
    TYPED(AddPDO)                             \
    UNTYPED(COP_PDO_Read_Data)                \
    TYPED(COP_PDO_Read_Data_wTime)            \
    UNTYPED(COP_PDO_Write_Data)               \
    TYPED(OpenInterface)                      \
    UNTYPED(HardwareConfigurationWindow)      \
    TYPED(CANopenConfigurationWindow)         \
    TYPED(SaveConfiguration)                  \
    TYPED(ReadConfiguration)                  \
    TYPED(GetInterfaceName)                   \
    UNTYPED(VersionInformationWindow)         \
    TYPED(PDO_Read_Receive_Count)             \
    TYPED(COP_PDO_Get_Event)                  \
    TYPED(GetBusStatistics)                   \
    TYPED(Trace_Start)                        \
    TYPED(Trace_Stop)                         \
    TYPED(Trace_GetStatus)                    \
    TYPED(Trace_SaveRecent)                   \
    TYPED(Trace_SetBlackBoxMinutes)           \
    TYPED(GetFailureText)                     \
    TYPED(GetNodeTable)                       \
    TYPED(GetEmergencies)
