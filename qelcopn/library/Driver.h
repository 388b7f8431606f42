// The loaded driver: its I/O thread and the open interfaces by handle.
// Handles are never reused within a process, so a stale one finds nothing.
#pragma once

#include "library/Interface.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace qelcopn {

class Driver {
public:
    static Driver &instance();

    bool load();
    bool unload();
    std::shared_ptr<IoThread> io() const;

    std::shared_ptr<Interface> find(uint32_t handle) const;
    // The interface this driver holds on that kind and access point.
    uint32_t findHandle(uint32_t kind, const QString &accessPoint) const;
    uint32_t add(std::shared_ptr<Interface> interface);
    // Closes and forgets it; false for an unknown handle.
    bool close(uint32_t handle);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<IoThread> io_;
    std::map<uint32_t, std::shared_ptr<Interface>> interfaces_;
    uint32_t lastHandle_ = 0;
};

} // namespace qelcopn
