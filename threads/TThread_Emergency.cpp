#include "TThread_Emergency.h"

#include "ByteOrder.h"
#include "QEL_COPN_Interface.h"
#include "TForm_MTU.h"

using qelcopn::readLe32;

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
        Form_MTU->DecodeEmergency(SenderNodeId, EmcyMessage, readLe32(EmcyMessage + 8));
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
