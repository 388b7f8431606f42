/*
 * QEL_COPN: the CANopen master library's C interface.
 *
 * This header is the one definition of every export's signature. The
 * library implements them; the application never links against it but
 * loads it at run time and takes its pointer types from here.
 *
 * Every export returns a 32-bit value: nonzero on success, 0 on failure.
 * An interface handle is a 32-bit number written by OpenInterface; an event
 * handle is an eventfd descriptor (a 32-bit int).
 */
#ifndef QEL_COPN_H
#define QEL_COPN_H

#include <stddef.h>
#include <stdint.h>

#if defined(QELCOPN_BUILDING)
#define QELCOPN_API __attribute__((visibility("default")))
#else
#define QELCOPN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Interface kinds (HardwareConfiguration.InterfaceType). */
#define QELCOPN_KIND_SOCKETCAN 1u
#define QELCOPN_KIND_VIRTUALCAN 2u
#define QELCOPN_KIND_PEAKCAN 3u
#define QELCOPN_KIND_TINYCAN 4u
/* A recording played back as a bus: AccessPoint is the absolute path of a
 * candump .log file. */
#define QELCOPN_KIND_RECORDING 5u

/* Last-error code left by OpenInterface when the interface exists but is
 * not usable as it stands (down, or already held open by this library). */
#define QELCOPN_ERROR_WRONG_MODE 0x20000000u
/* Last-error code left by OpenInterface for a recording (kind 5) whose file
 * is none of the trace formats (candump log, Vector ASC or BLF, PEAK TRC); a
 * missing or unreadable one leaves ENOENT, EACCES or EISDIR. */
#define QELCOPN_ERROR_NOT_A_RECORDING 0x20000001u

#define QELCOPN_ACCESS_POINT_SIZE 256
#define QELCOPN_TEXT_SIZE 256

/* A recording's replay (kind 5) keeps two little-endian uint32 in
 * HardwareConfiguration.Reserved: [0..3] the speed (0 or 1 the recorded
 * pace, 2, 5, 10 that many times faster, QELCOPN_REPLAY_FASTEST as fast as
 * possible), [4..7] 1 to play it again and again, 0 once. */
#define QELCOPN_REPLAY_FASTEST 0xFFFFFFFFu

/* 300 bytes, little-endian integers. */
typedef struct HardwareConfiguration {
    uint32_t InterfaceType;
    uint32_t Port;
    uint32_t Irq;
    uint32_t ComPort;
    uint32_t ComBaud;
    uint8_t Reserved[24];
    char AccessPoint[QELCOPN_ACCESS_POINT_SIZE];
} HardwareConfiguration;

/* 52 bytes, little-endian integers. */
typedef struct CANopenConfiguration {
    uint32_t InterfaceNodeID;
    uint32_t Baud;
    uint8_t Reserved[44]; /* [0..3]: the black box's minutes, see below */
} CANopenConfiguration;

#ifdef __cplusplus
static_assert(sizeof(HardwareConfiguration) == 300, "HardwareConfiguration is 300 bytes");
static_assert(offsetof(HardwareConfiguration, InterfaceType) == 0, "InterfaceType at 0");
static_assert(offsetof(HardwareConfiguration, Port) == 4, "Port at 4");
static_assert(offsetof(HardwareConfiguration, Irq) == 8, "Irq at 8");
static_assert(offsetof(HardwareConfiguration, ComPort) == 12, "ComPort at 12");
static_assert(offsetof(HardwareConfiguration, ComBaud) == 16, "ComBaud at 16");
static_assert(offsetof(HardwareConfiguration, Reserved) == 20, "Reserved at 20");
static_assert(offsetof(HardwareConfiguration, AccessPoint) == 44, "AccessPoint at 44");
static_assert(sizeof(CANopenConfiguration) == 52, "CANopenConfiguration is 52 bytes");
static_assert(offsetof(CANopenConfiguration, InterfaceNodeID) == 0, "InterfaceNodeID at 0");
static_assert(offsetof(CANopenConfiguration, Baud) == 4, "Baud at 4");
static_assert(offsetof(CANopenConfiguration, Reserved) == 8, "Reserved at 8");
#else
_Static_assert(sizeof(HardwareConfiguration) == 300, "HardwareConfiguration is 300 bytes");
_Static_assert(offsetof(HardwareConfiguration, AccessPoint) == 44, "AccessPoint at 44");
_Static_assert(sizeof(CANopenConfiguration) == 52, "CANopenConfiguration is 52 bytes");
#endif

/* Driver and configuration. `path` names the settings store, e.g.
 * "\\Software\\Quelbrook\\Tarnwick\\". */
QELCOPN_API int32_t LoadDriver(void);
QELCOPN_API int32_t UnloadDriver(void);
QELCOPN_API int32_t ReadConfiguration(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co);
QELCOPN_API int32_t SaveConfiguration(const char *path, HardwareConfiguration *hw, CANopenConfiguration *co);
QELCOPN_API int32_t CANopenConfigurationWindow(HardwareConfiguration *hw, CANopenConfiguration *co);
QELCOPN_API int32_t GetInterfaceName(uint32_t interfaceType, char name[QELCOPN_TEXT_SIZE]);

/* The interface. */
QELCOPN_API int32_t OpenInterface(uint32_t *h, HardwareConfiguration *hw);
QELCOPN_API int32_t SetNodeID(uint32_t h, uint8_t nodeId);
QELCOPN_API int32_t SetBaud(uint32_t h, uint32_t bitsPerSecond);
QELCOPN_API int32_t SetOnline(uint32_t h, uint32_t online);
QELCOPN_API int32_t AddNode(uint32_t h, uint8_t node);
QELCOPN_API int32_t RemoveNode(uint32_t h, uint8_t node);
QELCOPN_API int32_t CloseInterface(uint32_t h);
/* Why this thread's last OpenInterface, SetBaud or SetOnline failed, in
 * words (e.g. the command that sets a SocketCAN interface's rate); 0 when
 * that call gave no reason or succeeded. */
QELCOPN_API int32_t GetFailureText(char text[QELCOPN_TEXT_SIZE]);
QELCOPN_API int32_t CloseCard(uint32_t h);

/* A node's own ID; 0 addresses every node in an NMT command. */
#define QELCOPN_NODE_ID_MIN 1u
#define QELCOPN_NODE_ID_MAX 127u
static inline int QELCOPN_IsNodeId(uint32_t node)
{
    return node >= QELCOPN_NODE_ID_MIN && node <= QELCOPN_NODE_ID_MAX;
}

/* NMT (node 0 = all nodes). */
QELCOPN_API int32_t NMT_StartRemoteNode(uint32_t h, uint8_t node);
QELCOPN_API int32_t NMT_StopRemoteNode(uint32_t h, uint8_t node);
QELCOPN_API int32_t NMT_EnterPreOperational(uint32_t h, uint8_t node);
QELCOPN_API int32_t NMT_ResetNode(uint32_t h, uint8_t node);
QELCOPN_API int32_t NMT_ResetCommunication(uint32_t h, uint8_t node);
QELCOPN_API int32_t GetNodeOnline(uint32_t h, uint8_t node, uint32_t *online);
/* state: the last NMT state the node reported (0 boot-up, 4 stopped,
 * 5 operational, 127 pre-operational), 0xFF when never heard. */
QELCOPN_API int32_t GetNodeState(uint32_t h, uint8_t node, uint8_t *state);

/* The whole network as the library hears it, passively and in every mode:
 * one entry per node ID (entry 0 stays zero), 32 bytes each, little-endian.
 * A node's state comes from its boot-up, heartbeat or guarding answer; any
 * frame it sends (transmit PDO, SDO reply, EMCY, heartbeat) counts as heard. */
#define QELCOPN_NODE_TABLE_SIZE 128
#define QELCOPN_NODE_STATE_UNKNOWN 0xFFu
typedef struct NodeStatus {
    uint8_t Heard;              /* 1 once any frame of the node was heard */
    uint8_t State;              /* as GetNodeState gives it */
    uint8_t Lost;               /* 1 while no heartbeat came for twice its period */
    uint8_t Reserved;
    uint32_t HeartbeatPeriodMs; /* measured between its heartbeats; 0 before two */
    uint32_t SilentMs;          /* since the last frame, QELCOPN_NEVER_HEARD when never */
    uint32_t Emergencies;       /* EMCY frames since OpenInterface */
    uint32_t LastEmergencyAgeMs; /* since the last EMCY, QELCOPN_NEVER_HEARD when none */
    uint32_t Reserved2;
    uint8_t LastEmergency[8];   /* its data bytes: code, error register, 5 more */
} NodeStatus;
/* Every EMCY frame heard, from any node (CheckEmergency's queue is not
 * touched), numbered from 1 since OpenInterface. 32 bytes. */
#define QELCOPN_EMERGENCY_LOG_SIZE 4096
typedef struct EmergencyRecord {
    uint64_t Sequence;
    uint64_t RxTime;            /* the monotonic microsecond counter at reception */
    uint8_t Node;
    uint8_t Length;             /* data bytes the frame carried (EMCY has 8) */
    uint8_t Data[8];
    uint8_t Reserved[6];
} EmergencyRecord;
#ifdef __cplusplus
static_assert(sizeof(NodeStatus) == 32, "NodeStatus is 32 bytes");
static_assert(offsetof(NodeStatus, LastEmergency) == 24, "LastEmergency at 24");
static_assert(sizeof(EmergencyRecord) == 32, "EmergencyRecord is 32 bytes");
#else
_Static_assert(sizeof(NodeStatus) == 32, "NodeStatus is 32 bytes");
_Static_assert(sizeof(EmergencyRecord) == 32, "EmergencyRecord is 32 bytes");
#endif
QELCOPN_API int32_t GetNodeTable(uint32_t h, NodeStatus table[QELCOPN_NODE_TABLE_SIZE]);
/* In: *next = the first sequence number wanted (0 or 1: the oldest kept).
 * Out: up to `capacity` records from there, *count of them, and *next = the
 * number to ask for next time. The library keeps the last
 * QELCOPN_EMERGENCY_LOG_SIZE; a first record whose Sequence is past the one
 * asked for tells how many went before they were read. */
QELCOPN_API int32_t GetEmergencies(uint32_t h, uint64_t *next, EmergencyRecord *records, uint32_t capacity,
                                   uint32_t *count);

/* SDO client. Time-out in ms; 1000 until set. */
QELCOPN_API int32_t SetSDOTimeout(uint32_t h, uint16_t ms);
QELCOPN_API int32_t SDO_Upload_UNSIGNED8(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint8_t *value);
QELCOPN_API int32_t SDO_Upload_UNSIGNED16(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint16_t *value);
QELCOPN_API int32_t SDO_Upload_UNSIGNED32(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t *value);
/* In: *length = the buffer's size. Out: *length = bytes read. More data than
 * the buffer holds aborts the transfer and fails; nothing is written past
 * the buffer. */
QELCOPN_API int32_t SDO_Upload(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t *length, uint8_t *buffer);
/* The abort code that ended the calling thread's last SDO transfer: the
 * server's, or the library's own (0x05040000 when no answer came in time);
 * 0 after a success, and when the transfer could not start (offline). */
QELCOPN_API int32_t SDO_GetAbortCode(uint32_t *code);
QELCOPN_API int32_t SDO_Download_UNSIGNED8(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint8_t value);
QELCOPN_API int32_t SDO_Download_UNSIGNED16(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint16_t value);
QELCOPN_API int32_t SDO_Download_UNSIGNED32(uint32_t h, uint8_t node, uint16_t index, uint8_t sub, uint32_t value);

/* PDO reception. kind QELCOPN_PDO_TRANSMIT_ADD with AddPDO and
 * QELCOPN_PDO_TRANSMIT_READ with the reads select a transmit PDO of the
 * node; number counts from 0 (3 = the fourth, COB-ID 0x480 + node).
 * timeoutMs is the receive time-out. */
#define QELCOPN_PDO_TRANSMIT_ADD 16u
#define QELCOPN_PDO_TRANSMIT_READ 18u
QELCOPN_API int32_t AddPDO(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, uint16_t timeoutMs);
QELCOPN_API int32_t COP_PDO_Get_Event(uint32_t h, uint8_t node, uint8_t kind, uint16_t number, int32_t *event);
/* One PDO from the FIFO: time1 = its receipt sequence number, time2 = the
 * low 32 bits of the monotonic microsecond counter at reception. */
QELCOPN_API int32_t COP_PDO_Read_Data_wTime(uint32_t h, uint8_t node, uint8_t kind, uint16_t number,
                                            uint8_t *length, uint8_t data[256], uint32_t *time1, uint32_t *time2);
/* Frames received for the PDO since AddPDO, and those dropped because its
 * FIFO was full. */
QELCOPN_API int32_t PDO_Read_Receive_Count(uint32_t h, uint8_t node, uint8_t kind, uint16_t number,
                                           uint32_t *received, uint32_t *dropped);

/* Emergency: one EMCY frame from the FIFO; message[0..7] = its data bytes,
 * message[8..11] = the receive time (as time2 above, little-endian). */
QELCOPN_API int32_t CheckEmergency(uint32_t h, uint8_t *node, uint8_t message[18]);

/* Recording: every frame received and sent, as a candump log (NAME.log)
 * with the session beside it (NAME.json). Files are written by a thread of
 * their own; a full queue or a failing disk loses frames, counted here. */
#define QELCOPN_PATH_SIZE 4096
typedef struct TraceStatus {
    uint32_t Recording;     /* 1 while a recording runs */
    uint32_t LastError;     /* errno of the last failed write, 0 when none */
    uint64_t FramesWritten;
    uint64_t FramesLost;
    uint64_t BytesWritten;  /* of the .log */
    char Path[QELCOPN_PATH_SIZE]; /* the .log being written, or last written */
} TraceStatus;
/* The session file beside a recording, one rule for every host: the
 * recording's path with the extension of its file name, whatever it is,
 * replaced by ".json" (added where the name has none). Writes it
 * zero-terminated into out; 0 when it does not fit in size bytes. */
static inline int32_t QELCOPN_SessionPath(const char *recordingPath, char *out, size_t size)
{
    size_t length = 0, dot = 0;
    int hasExtension = 0;
    for (; recordingPath[length] != '\0'; ++length) {
        if (recordingPath[length] == '/')
            hasExtension = 0;
        else if (recordingPath[length] == '.') {
            dot = length;
            hasExtension = 1;
        }
    }
    const size_t stem = hasExtension ? dot : length;
    if (stem + sizeof ".json" > size)
        return 0;
    for (size_t k = 0; k < stem; ++k)
        out[k] = recordingPath[k];
    for (size_t k = 0; k < sizeof ".json"; ++k)
        out[stem + k] = ".json"[k];
    return 1;
}
QELCOPN_API int32_t Trace_Start(uint32_t h, const char *path);
QELCOPN_API int32_t Trace_Stop(uint32_t h);
QELCOPN_API int32_t Trace_GetStatus(uint32_t h, TraceStatus *status);
/* The black box: writes the last `seconds` of frames the library kept in
 * memory as a recording (.log and .json), each file through a temporary
 * name. Fails with errno set (EINVAL for 0 seconds or no path). */
QELCOPN_API int32_t Trace_SaveRecent(uint32_t h, const char *path, uint32_t seconds);
/* How many minutes the black box keeps at the busiest (9,000 frames/s):
 * 1 to 30, 0 = the default 10. A change drops what it kept. */
#define QELCOPN_BLACK_BOX_MINUTES_DEFAULT 10u
#define QELCOPN_BLACK_BOX_MINUTES_MAX 30u
/* What the black box makes of a stored or asked number of minutes. */
static inline uint32_t QELCOPN_BlackBoxMinutesOrDefault(uint32_t minutes)
{
    return minutes == 0 || minutes > QELCOPN_BLACK_BOX_MINUTES_MAX ? QELCOPN_BLACK_BOX_MINUTES_DEFAULT : minutes;
}
QELCOPN_API int32_t Trace_SetBlackBoxMinutes(uint32_t h, uint32_t minutes);
/* The minutes as the configuration records keep them: a little-endian
 * uint32 in CANopenConfiguration.Reserved[0..3], 0 for the default. */
static inline uint32_t QELCOPN_GetBlackBoxMinutes(const CANopenConfiguration *co)
{
    return (uint32_t)co->Reserved[0] | (uint32_t)co->Reserved[1] << 8 | (uint32_t)co->Reserved[2] << 16
        | (uint32_t)co->Reserved[3] << 24;
}
static inline void QELCOPN_SetBlackBoxMinutes(CANopenConfiguration *co, uint32_t minutes)
{
    for (int k = 0; k < 4; ++k)
        co->Reserved[k] = (uint8_t)(minutes >> (8 * k));
}

/* Bus health, over the last second where a rate: 88 bytes, little-endian. */
#define QELCOPN_BUS_ERROR_ACTIVE 0u
#define QELCOPN_BUS_WARNING 1u
#define QELCOPN_BUS_ERROR_PASSIVE 2u
#define QELCOPN_BUS_OFF 3u
/* Not online: before SetOnline(1), after SetOnline(0), or once the adapter
 * was lost (a lost virtual bus, an unplugged adapter). */
#define QELCOPN_BUS_OFFLINE 4u
#define QELCOPN_NEVER_HEARD 0xFFFFFFFFu
typedef struct BusStatistics {
    uint32_t State;                   /* QELCOPN_BUS_* */
    uint32_t FramesPerSecondReceived;
    uint32_t FramesPerSecondSent;
    uint32_t LoadPermille;            /* a frame of n data bytes as 47 + 8n bits; 0 without SetBaud */
    uint32_t BitRate;                 /* as set with SetBaud, 0 when not */
    uint32_t LastErrorClass;          /* CAN_ERR_* class bits of the last error frame */
    uint32_t SilentMs;                /* since the last frame received, or QELCOPN_NEVER_HEARD */
    uint32_t LinesSkipped;            /* of a replayed recording (kind 5): lines that were not frames (of a BLF: damaged parts) */
    uint64_t FramesReceived;          /* since OpenInterface; error frames not included */
    uint64_t FramesSent;
    uint64_t ErrorFrames;
    uint64_t FramesLost;              /* the three below together */
    uint64_t PdoFramesLost;           /* full PDO FIFOs */
    uint64_t EmcyFramesLost;          /* full EMCY FIFO */
    uint64_t RecordingFramesLost;
} BusStatistics;
#ifdef __cplusplus
static_assert(sizeof(BusStatistics) == 88, "BusStatistics is 88 bytes");
static_assert(offsetof(BusStatistics, SilentMs) == 24, "SilentMs at 24");
static_assert(offsetof(BusStatistics, FramesReceived) == 32, "FramesReceived at 32");
static_assert(offsetof(BusStatistics, FramesLost) == 56, "FramesLost at 56");
static_assert(offsetof(BusStatistics, RecordingFramesLost) == 80, "RecordingFramesLost at 80");
#else
_Static_assert(sizeof(BusStatistics) == 88, "BusStatistics is 88 bytes");
#endif
QELCOPN_API int32_t GetBusStatistics(uint32_t h, BusStatistics *statistics);

#ifdef __cplusplus
}
#endif

#endif
