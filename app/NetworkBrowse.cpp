// Network Browse: finding the gateway on the bus. (Still to come: the button
// does nothing yet.)
#include "Main.h"

void TMainForm::Button_NetworkBrowseClick()
{
}
