#include "TThread_Emergency.h"

#include "QEL_COPN_Interface.h"
#include "TForm_MTU.h"

TThread_Emergency *EmergencyThread = nullptr;

TThread_Emergency::TThread_Emergency(bool createSuspended) : TThread(createSuspended)
{
    AfterConstruction();
}

TThread_Emergency::~TThread_Emergency()
{
    BeforeDestruction();
}

bool TThread_Emergency::ReadOne()
{
    SenderNodeId = 0;
    if (CopnInterface == nullptr || CopnInterface->CheckEmergency(&SenderNodeId, EmcyMessage) == 0)
        return false;
    if (Form_MTU != nullptr) {
        // The library puts the receive stamp after the eight data bytes.
        const uint32_t rxTime = uint32_t(EmcyMessage[8]) | uint32_t(EmcyMessage[9]) << 8 |
                                uint32_t(EmcyMessage[10]) << 16 | uint32_t(EmcyMessage[11]) << 24;
        Form_MTU->DecodeEmergency(SenderNodeId, EmcyMessage, rxTime);
    }
    return true;
}

void TThread_Emergency::Execute()
{
    while (!Terminated()) {
        // Pending messages are drained without looking at Terminated.
        while (ReadOne()) {
        }
        Sleep(IDLE_POLL_MS);
    }
}
