// Start and Stop Network Access: opening the adapter and taking it online,
// and the way back. (Still to come: the buttons do nothing yet.)
#include "Main.h"

void TMainForm::Button_NetworkStartAccessClick()
{
}

void TMainForm::Button_NetworkStopAccessClick()
{
}
