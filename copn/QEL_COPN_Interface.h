// The program's only door to the CANopen network: loads the interface
// library by name, keeps one slot per export, the interface handle, the two
// configuration records and the node table, and wraps every call the
// program makes. A missing library or export makes its wrapper return 0.
#pragma once

#include "EntryPoints.h"
#include "Platform.h"
#include "QEL_COPN.h"

#include <cstdint>

// One node's identity as the last survey read it.
struct NodeIdentity {
    uint32_t Online;
    uint32_t DeviceType;
    uint8_t ErrorRegister;
    char DeviceName[256];
    char HardwareVersion[256];
    char SoftwareVersion[256];
    uint32_t VendorId;
    uint32_t ProductCode;
    uint32_t RevisionNumber;
    uint32_t SerialNumber;
    uint32_t ValidFields;
};

// Validity bits of NodeIdentity::ValidFields.
enum NodeIdentityField : uint32_t {
    VALID_DEVICE_TYPE = 0x001,
    VALID_ERROR_REGISTER = 0x002,
    VALID_DEVICE_NAME = 0x004,
    VALID_HARDWARE_VERSION = 0x008,
    VALID_SOFTWARE_VERSION = 0x010,
    VALID_VENDOR_ID = 0x020,
    VALID_PRODUCT_CODE = 0x040,
    VALID_REVISION_NUMBER = 0x080,
    VALID_SERIAL_NUMBER = 0x100,
};

constexpr int NODE_TABLE_SIZE = 128;
// The library file, by its plain name; the platform layer maps it.
constexpr const char *QEL_COPN_LIBRARY_NAME = "QEL_COPN.dll";

using QelUntypedProc = void (*)(void);

class TQEL_COPN_Interface {
public:
    TQEL_COPN_Interface();
    virtual ~TQEL_COPN_Interface();
    TQEL_COPN_Interface(const TQEL_COPN_Interface &) = delete;
    TQEL_COPN_Interface &operator=(const TQEL_COPN_Interface &) = delete;

    // Entry-point slots, in the library's order; null when missing.
#define QEL_TYPED_SLOT(name) decltype(&::name) pfn##name = nullptr;
#define QEL_UNTYPED_SLOT(name) QelUntypedProc pfn##name = nullptr;
    QEL_COPN_ENTRY_POINTS(QEL_TYPED_SLOT, QEL_UNTYPED_SLOT)
#undef QEL_TYPED_SLOT
#undef QEL_UNTYPED_SLOT

    HMODULE LibraryHandle = nullptr;
    uint32_t InterfaceHandle = 0;
    NodeIdentity NodeTable[NODE_TABLE_SIZE];
    ::HardwareConfiguration HardwareConfiguration;
    ::CANopenConfiguration CANopenConfiguration;

    // Loads the library and looks every export up; 0 when the library
    // could not be loaded, 1 otherwise, however many names were missing.
    int32_t BindLibrary();

    int32_t LoadDriver();
    int32_t UnloadDriver();
    int32_t ReadConfiguration(const char *path);
    int32_t SaveConfiguration(const char *path);
    int32_t CANopenConfigurationWindow();
    int32_t GetInterfaceName(uint32_t interfaceType, char *name);
    int32_t OpenInterface();
    int32_t SetNodeID();
    int32_t SetBaud();
    int32_t SetOnline(uint32_t state);
    int32_t AddNode(uint8_t node);
    int32_t CloseInterface();
    int32_t NMT_ResetCommunication(uint8_t node);
    int32_t NMT_StartRemoteNode(uint8_t node);
    int32_t NMT_StopRemoteNode(uint8_t node);
    int32_t NMT_EnterPreOperational(uint8_t node);
    int32_t NMT_ResetNode(uint8_t node);
    int32_t SetSDOTimeout(uint16_t timeout);
    int32_t GetNodeOnline(uint8_t node, uint32_t *online);
    int32_t SDO_Upload_UNSIGNED8(uint8_t node, uint16_t index, uint8_t sub, uint8_t *value);
    int32_t SDO_Upload_UNSIGNED32(uint8_t node, uint16_t index, uint8_t sub, uint32_t *value);
    int32_t SDO_Upload(uint8_t node, uint16_t index, uint8_t sub, uint32_t *length, uint8_t *buffer);
    int32_t SDO_Download_UNSIGNED16(uint8_t node, uint16_t index, uint8_t sub, uint16_t value);
    int32_t AddPDO(uint8_t node, uint8_t kind, uint16_t number, uint16_t value);
    int32_t COP_PDO_Get_Event(uint8_t node, uint8_t kind, uint16_t number, int32_t *event);
    int32_t COP_PDO_Read_Data_wTime(uint8_t node, uint8_t kind, uint16_t number, uint8_t *length, uint8_t *data,
                                    uint32_t *time1, uint32_t *time2);
    int32_t CheckEmergency(uint8_t *node, uint8_t *message);
    int32_t GetBusStatistics(BusStatistics *statistics);
    // The recording of every frame, kept by the library.
    int32_t Trace_Start(const char *path);
    int32_t Trace_Stop();
    int32_t Trace_GetStatus(TraceStatus *status);
    int32_t Trace_SaveRecent(const char *path, uint32_t seconds);
    // The black box's size from the CANopen configuration record.
    int32_t Trace_SetBlackBoxMinutes();
    // Why this thread's last OpenInterface, SetBaud or SetOnline failed.
    int32_t GetFailureText(char *text);
    // Every node's state and emergencies as the library hears them.
    int32_t GetNodeTable(NodeStatus *table);
    int32_t GetEmergencies(uint64_t *next, EmergencyRecord *records, uint32_t capacity, uint32_t *count);
    // Also marks every node of the table offline, whatever the library did.
    int32_t CloseCard();

    // The node identity survey (NodeSurvey.cpp).
    int32_t SurveyNodes();
    int32_t SurveyNode(uint8_t nodeId);
    // 0 without a call for a node ID past the table.
    int32_t ReadNodeIdentity(uint8_t nodeId);
};

extern TQEL_COPN_Interface *CopnInterface;
