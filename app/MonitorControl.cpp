// Monitoring: the receive threads, the gateway's transmission setting and
// the monitor window's opening. (Still to come: nothing runs yet, so there
// is nothing to start or stop.)
#include "Main.h"

void TMainForm::Button_OpenMonitorWindowClick()
{
}

void TMainForm::StartMonitor()
{
}

// Ends the receive threads. FormClose relies on it before CopnInterface goes.
void TMainForm::StopMonitor()
{
}
