// The library's stored configuration, hand-edited or corrupted into any
// bytes: reading it must succeed with every field in range (each bad value
// reads as its default) and the access point zero-terminated in its buffer.
#include "QEL_COPN.h"
#include "SettingsPath.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {


const std::string &SettingsFile()
{
    static const std::string file = [] {
        char folder[] = "/tmp/tarnwick-fuzz-settings-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            std::abort();
        setenv("XDG_CONFIG_HOME", folder, 1);
        const std::string organisation = std::string(folder) + "/Quelbrook";
        mkdir(organisation.c_str(), 0700);
        return organisation + "/Tarnwick.conf";
    }();
    return file;
}

bool KnownBitRate(uint32_t rate)
{
    for (uint32_t known : {10000u, 20000u, 50000u, 125000u, 250000u, 500000u, 800000u, 1000000u})
        if (rate == known)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string &file = SettingsFile();
    FILE *out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        std::abort();
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    HardwareConfiguration hw;
    CANopenConfiguration co;
    std::memset(&hw, 0xA5, sizeof hw);
    std::memset(&co, 0xA5, sizeof co);
    if (ReadConfiguration(REGISTRY_PATH, &hw, &co) == 0)
        std::abort();
    if (std::memchr(hw.AccessPoint, 0, sizeof hw.AccessPoint) == nullptr)
        std::abort();
    if (hw.InterfaceType < QELCOPN_KIND_SOCKETCAN || hw.InterfaceType > QELCOPN_KIND_TINYCAN)
        std::abort();
    if (co.InterfaceNodeID < 1 || co.InterfaceNodeID > 127 || !KnownBitRate(co.Baud))
        std::abort();
    return 0;
}
