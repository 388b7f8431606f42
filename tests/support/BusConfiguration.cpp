#include "BusConfiguration.h"

#include "Main.h"
#include "QEL_COPN_Interface.h"

#include <cstring>

namespace {

constexpr uint32_t OWN_NODE_ID = 127;
constexpr uint32_t BUS_BITRATE = 250000;

} // namespace

std::string StoreBusConfiguration(const std::string &url)
{
    // The binding the main window will take over.
    if (CopnInterface == nullptr)
        CopnInterface = new TQEL_COPN_Interface;
    HardwareConfiguration &hw = CopnInterface->HardwareConfiguration;
    hw = {};
    hw.InterfaceType = QELCOPN_KIND_VIRTUALCAN;
    std::strncpy(hw.AccessPoint, url.c_str(), sizeof hw.AccessPoint - 1);
    CANopenConfiguration &co = CopnInterface->CANopenConfiguration;
    co = {};
    co.InterfaceNodeID = OWN_NODE_ID;
    co.Baud = BUS_BITRATE;
    const bool saved = CopnInterface->SaveConfiguration(REGISTRY_PATH) != 0;
    hw = {};
    co = {};
    return saved ? std::string() : "the library did not store the configuration";
}
