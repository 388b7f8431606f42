// Monitoring: registering the gateway's PDO, the receive threads, the
// gateway's transmission setting, and the monitor window's opening.
#include "GatewayObjects.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "TForm_MTU.h"
#include "TThread_Emergency.h"
#include "TThread_PdoData.h"

#include <QRadioButton>

void TMainForm::Button_OpenMonitorWindowClick()
{
    const bool listenOnly = RadioButton_ListenOnly->isChecked();
    if (listenOnly)
        StartMonitor();
    if (Form_MTU == nullptr)
        return;
    Form_MTU->ListenOnly = listenOnly ? 1 : 0;
    Form_MTU->NodeId = GatewayNodeId;
    Form_MTU->ProductCode = GatewayProductCode;
    Form_MTU->ShowModal();
}

void TMainForm::StartMonitor()
{
    if (CopnInterface == nullptr)
        return;
    CopnInterface->AddPDO(GatewayNodeId, QELCOPN_PDO_TRANSMIT_ADD, GATEWAY_PDO_NUMBER, GATEWAY_PDO_RECEIVE_TIMEOUT_MS);
    // Left as "no event" when the library gives none: the PDO thread's waits
    // then fail at once and it paces itself.
    EVENT_HANDLE event = NO_EVENT;
    CopnInterface->COP_PDO_Get_Event(GatewayNodeId, QELCOPN_PDO_TRANSMIT_READ, GATEWAY_PDO_NUMBER, &event);

    if (EmergencyThread == nullptr)
        EmergencyThread = new TThread_Emergency(false);
    if (PdoDataThread == nullptr)
        PdoDataThread = new TThread_PdoData(true);
    PdoDataThread->PdoNodeId = GatewayNodeId;
    PdoDataThread->PdoEvent = event;
    PdoDataThread->Resume();

    if (RadioButton_Cyclic->isChecked())
        CopnInterface->SDO_Download_UNSIGNED16(GatewayNodeId, GATEWAY_INDEX_TPDO4_COMMUNICATION, GATEWAY_SUB_EVENT_TIMER,
                                               GATEWAY_EVENT_TIMER_CYCLIC_MS);
    else if (RadioButton_COS->isChecked())
        CopnInterface->SDO_Download_UNSIGNED16(GatewayNodeId, GATEWAY_INDEX_TPDO4_COMMUNICATION, GATEWAY_SUB_EVENT_TIMER,
                                               GATEWAY_EVENT_TIMER_CHANGE_OF_STATE);
}

// Ends the receive threads, the PDO thread first. FormClose relies on it
// before CopnInterface goes.
void TMainForm::StopMonitor()
{
    if (PdoDataThread != nullptr) {
        PdoDataThread->Terminate();
        SetEvent(PdoDataThread->PdoEvent);
        if (!PdoDataThread->Suspended())
            PdoDataThread->WaitFor();
        delete PdoDataThread;
        PdoDataThread = nullptr;
    }
    if (EmergencyThread != nullptr) {
        EmergencyThread->Terminate();
        if (!EmergencyThread->Suspended())
            EmergencyThread->WaitFor();
        delete EmergencyThread;
        EmergencyThread = nullptr;
    }
}
