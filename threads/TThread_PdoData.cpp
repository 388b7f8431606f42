#include "TThread_PdoData.h"

#include "GatewayObjects.h"
#include "QEL_COPN_Interface.h"
#include "TForm_MTU.h"

TThread_PdoData *PdoDataThread = nullptr;

TThread_PdoData::TThread_PdoData(bool createSuspended) : TThread(createSuspended)
{
    AfterConstruction();
}

TThread_PdoData::~TThread_PdoData()
{
    BeforeDestruction();
}

bool TThread_PdoData::ReadOne()
{
    const uint8_t node = PdoNodeId.load(std::memory_order_relaxed);
    if (CopnInterface == nullptr ||
        CopnInterface->COP_PDO_Read_Data_wTime(node, QELCOPN_PDO_TRANSMIT_READ, GATEWAY_PDO_NUMBER, &PdoLength, PdoBytes,
                                               &RxTime1, &RxTime2) == 0)
        return false;
    if (Form_MTU != nullptr)
        Form_MTU->DecodePdoData(node, PdoLength, PdoBytes, RxTime1, RxTime2);
    return true;
}

void TThread_PdoData::Execute()
{
    while (!Terminated()) {
        // Everything queued is taken before the thread waits or yields: on a
        // busy machine a yield gives the core away for a whole time slice, and
        // one PDO per slice lets the library's FIFO overflow at a full bus.
        // Terminated is checked per PDO so that a stop at a full bus stays prompt.
        bool gotAny = false;
        while (!Terminated() && ReadOne())
            gotAny = true;
        const uint32_t waited = WaitForSingleObject(PdoEvent.load(std::memory_order_relaxed), EVENT_WAIT_MS);
        if (waited == WAIT_FAILED && !gotAny)
            Sleep(FAILED_WAIT_PAUSE_MS);
        Sleep(0);
    }
}
