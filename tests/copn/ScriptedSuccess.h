// Scripts the double so that every call CallEveryWrapper makes succeeds.
#pragma once

#include "QelDouble.h"

inline void ScriptEveryWrapperToSucceed(const HardwareConfiguration &hw = {}, const CANopenConfiguration &co = {})
{
    qeldouble::SetStoredConfiguration(hw, co);
    qeldouble::SetInterfaceName(2, "Virtual CAN bus");
    qeldouble::SetObject(7, 0x1001, 0, {0});
    qeldouble::SetObjectU32(7, 0x1000, 0, 0);
    qeldouble::SetObjectText(7, 0x1008, 0, "Gateway");
    qeldouble::QueuePdo({1, 2, 3}, 1, 2);
    qeldouble::QueueEmergency(7, {});
    qeldouble::SetFailureText("no CAN network interface 'can0'");
}
