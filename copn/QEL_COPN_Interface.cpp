#include "QEL_COPN_Interface.h"

#include <cstring>

TQEL_COPN_Interface *CopnInterface = nullptr;

TQEL_COPN_Interface::TQEL_COPN_Interface()
{
    std::memset(&HardwareConfiguration, 0, sizeof HardwareConfiguration);
    std::memset(&CANopenConfiguration, 0, sizeof CANopenConfiguration);
    // Identity values of a node never read start at zero.
    std::memset(NodeTable, 0, sizeof NodeTable);
    BindLibrary();
}

TQEL_COPN_Interface::~TQEL_COPN_Interface()
{
    SetOnline(0);
    CloseCard();
    UnloadDriver();
    if (LibraryHandle != nullptr) {
        FreeLibrary(LibraryHandle);
        LibraryHandle = nullptr;
    }
}

int32_t TQEL_COPN_Interface::BindLibrary()
{
    LibraryHandle = LoadLibraryA(QEL_COPN_LIBRARY_NAME);
    if (LibraryHandle == nullptr)
        return 0;
#define QEL_BIND_TYPED(name) pfn##name = reinterpret_cast<decltype(pfn##name)>(GetProcAddress(LibraryHandle, #name));
#define QEL_BIND_UNTYPED(name) pfn##name = reinterpret_cast<QelUntypedProc>(GetProcAddress(LibraryHandle, #name));
    QEL_COPN_ENTRY_POINTS(QEL_BIND_TYPED, QEL_BIND_UNTYPED)
#undef QEL_BIND_TYPED
#undef QEL_BIND_UNTYPED
    return 1;
}

// Each wrapper: a null slot calls nothing and fails.
#define QEL_CALL(name, ...) (pfn##name != nullptr ? pfn##name(__VA_ARGS__) : 0)

int32_t TQEL_COPN_Interface::LoadDriver() { return QEL_CALL(LoadDriver); }
int32_t TQEL_COPN_Interface::UnloadDriver() { return QEL_CALL(UnloadDriver); }

int32_t TQEL_COPN_Interface::ReadConfiguration(const char *path)
{
    return QEL_CALL(ReadConfiguration, path, &HardwareConfiguration, &CANopenConfiguration);
}

int32_t TQEL_COPN_Interface::SaveConfiguration(const char *path)
{
    return QEL_CALL(SaveConfiguration, path, &HardwareConfiguration, &CANopenConfiguration);
}

int32_t TQEL_COPN_Interface::CANopenConfigurationWindow()
{
    return QEL_CALL(CANopenConfigurationWindow, &HardwareConfiguration, &CANopenConfiguration);
}

int32_t TQEL_COPN_Interface::GetInterfaceName(uint32_t interfaceType, char *name)
{
    return QEL_CALL(GetInterfaceName, interfaceType, name);
}

int32_t TQEL_COPN_Interface::OpenInterface() { return QEL_CALL(OpenInterface, &InterfaceHandle, &HardwareConfiguration); }
int32_t TQEL_COPN_Interface::SetNodeID() { return QEL_CALL(SetNodeID, InterfaceHandle, uint8_t(CANopenConfiguration.InterfaceNodeID)); }
int32_t TQEL_COPN_Interface::SetBaud() { return QEL_CALL(SetBaud, InterfaceHandle, CANopenConfiguration.Baud); }
int32_t TQEL_COPN_Interface::SetOnline(uint32_t state) { return QEL_CALL(SetOnline, InterfaceHandle, state); }
int32_t TQEL_COPN_Interface::AddNode(uint8_t node) { return QEL_CALL(AddNode, InterfaceHandle, node); }
int32_t TQEL_COPN_Interface::CloseInterface() { return QEL_CALL(CloseInterface, InterfaceHandle); }
int32_t TQEL_COPN_Interface::NMT_ResetCommunication(uint8_t node) { return QEL_CALL(NMT_ResetCommunication, InterfaceHandle, node); }
int32_t TQEL_COPN_Interface::NMT_StartRemoteNode(uint8_t node) { return QEL_CALL(NMT_StartRemoteNode, InterfaceHandle, node); }
int32_t TQEL_COPN_Interface::NMT_StopRemoteNode(uint8_t node) { return QEL_CALL(NMT_StopRemoteNode, InterfaceHandle, node); }
int32_t TQEL_COPN_Interface::NMT_EnterPreOperational(uint8_t node)
{
    return QEL_CALL(NMT_EnterPreOperational, InterfaceHandle, node);
}
int32_t TQEL_COPN_Interface::NMT_ResetNode(uint8_t node) { return QEL_CALL(NMT_ResetNode, InterfaceHandle, node); }
int32_t TQEL_COPN_Interface::SetSDOTimeout(uint16_t timeout) { return QEL_CALL(SetSDOTimeout, InterfaceHandle, timeout); }

int32_t TQEL_COPN_Interface::GetNodeOnline(uint8_t node, uint32_t *online)
{
    return QEL_CALL(GetNodeOnline, InterfaceHandle, node, online);
}

int32_t TQEL_COPN_Interface::SDO_Upload_UNSIGNED8(uint8_t node, uint16_t index, uint8_t sub, uint8_t *value)
{
    return QEL_CALL(SDO_Upload_UNSIGNED8, InterfaceHandle, node, index, sub, value);
}

int32_t TQEL_COPN_Interface::SDO_Upload_UNSIGNED32(uint8_t node, uint16_t index, uint8_t sub, uint32_t *value)
{
    return QEL_CALL(SDO_Upload_UNSIGNED32, InterfaceHandle, node, index, sub, value);
}

int32_t TQEL_COPN_Interface::SDO_Upload(uint8_t node, uint16_t index, uint8_t sub, uint32_t *length, uint8_t *buffer)
{
    return QEL_CALL(SDO_Upload, InterfaceHandle, node, index, sub, length, buffer);
}

int32_t TQEL_COPN_Interface::SDO_Download_UNSIGNED16(uint8_t node, uint16_t index, uint8_t sub, uint16_t value)
{
    return QEL_CALL(SDO_Download_UNSIGNED16, InterfaceHandle, node, index, sub, value);
}

int32_t TQEL_COPN_Interface::AddPDO(uint8_t node, uint8_t kind, uint16_t number, uint16_t value)
{
    return QEL_CALL(AddPDO, InterfaceHandle, node, kind, number, value);
}

int32_t TQEL_COPN_Interface::COP_PDO_Get_Event(uint8_t node, uint8_t kind, uint16_t number, int32_t *event)
{
    return QEL_CALL(COP_PDO_Get_Event, InterfaceHandle, node, kind, number, event);
}

int32_t TQEL_COPN_Interface::COP_PDO_Read_Data_wTime(uint8_t node, uint8_t kind, uint16_t number, uint8_t *length,
                                                     uint8_t *data, uint32_t *time1, uint32_t *time2)
{
    return QEL_CALL(COP_PDO_Read_Data_wTime, InterfaceHandle, node, kind, number, length, data, time1, time2);
}

int32_t TQEL_COPN_Interface::CheckEmergency(uint8_t *node, uint8_t *message)
{
    return QEL_CALL(CheckEmergency, InterfaceHandle, node, message);
}

int32_t TQEL_COPN_Interface::GetBusStatistics(BusStatistics *statistics)
{
    return QEL_CALL(GetBusStatistics, InterfaceHandle, statistics);
}

int32_t TQEL_COPN_Interface::GetFailureText(char *text) { return QEL_CALL(GetFailureText, text); }

int32_t TQEL_COPN_Interface::GetNodeTable(NodeStatus *table) { return QEL_CALL(GetNodeTable, InterfaceHandle, table); }

int32_t TQEL_COPN_Interface::GetEmergencies(uint64_t *next, EmergencyRecord *records, uint32_t capacity,
                                            uint32_t *count)
{
    return QEL_CALL(GetEmergencies, InterfaceHandle, next, records, capacity, count);
}

int32_t TQEL_COPN_Interface::Trace_Start(const char *path) { return QEL_CALL(Trace_Start, InterfaceHandle, path); }
int32_t TQEL_COPN_Interface::Trace_Stop() { return QEL_CALL(Trace_Stop, InterfaceHandle); }
int32_t TQEL_COPN_Interface::Trace_GetStatus(TraceStatus *status) { return QEL_CALL(Trace_GetStatus, InterfaceHandle, status); }

int32_t TQEL_COPN_Interface::Trace_SaveRecent(const char *path, uint32_t seconds)
{
    return QEL_CALL(Trace_SaveRecent, InterfaceHandle, path, seconds);
}

int32_t TQEL_COPN_Interface::Trace_SetBlackBoxMinutes()
{
    return QEL_CALL(Trace_SetBlackBoxMinutes, InterfaceHandle, QELCOPN_GetBlackBoxMinutes(&CANopenConfiguration));
}

int32_t TQEL_COPN_Interface::CloseCard()
{
    const int32_t result = QEL_CALL(CloseCard, InterfaceHandle);
    for (NodeIdentity &node : NodeTable)
        node.Online = 0;
    return result;
}
