#include "library/Driver.h"

namespace qelcopn {

Driver &Driver::instance()
{
    // Never destroyed: a host may still call in while its statics go.
    static Driver *driver = new Driver;
    return *driver;
}

bool Driver::load()
{
    std::lock_guard lock(mutex_);
    if (io_)
        return true;
    auto io = std::make_shared<IoThread>();
    if (!io->start())
        return false;
    io_ = std::move(io);
    return true;
}

bool Driver::unload()
{
    std::shared_ptr<IoThread> io;
    std::map<uint32_t, std::shared_ptr<Interface>> interfaces;
    {
        std::lock_guard lock(mutex_);
        if (!io_)
            return false;
        io.swap(io_);
        interfaces.swap(interfaces_);
    }
    for (auto &[handle, interface] : interfaces)
        interface->close();
    io->stop();
    return true;
}

std::shared_ptr<IoThread> Driver::io() const
{
    std::lock_guard lock(mutex_);
    return io_;
}

std::shared_ptr<Interface> Driver::find(uint32_t handle) const
{
    std::lock_guard lock(mutex_);
    const auto it = interfaces_.find(handle);
    return it != interfaces_.end() ? it->second : nullptr;
}

uint32_t Driver::findHandle(uint32_t kind, const QString &accessPoint) const
{
    std::lock_guard lock(mutex_);
    for (const auto &[handle, interface] : interfaces_)
        if (interface->kind() == kind && interface->accessPoint() == accessPoint)
            return handle;
    return 0;
}

uint32_t Driver::add(std::shared_ptr<Interface> interface)
{
    std::lock_guard lock(mutex_);
    if (!io_)
        return 0;
    if (++lastHandle_ == 0)
        ++lastHandle_;
    interfaces_[lastHandle_] = std::move(interface);
    return lastHandle_;
}

bool Driver::close(uint32_t handle)
{
    std::shared_ptr<Interface> interface;
    {
        std::lock_guard lock(mutex_);
        const auto it = interfaces_.find(handle);
        if (it == interfaces_.end())
            return false;
        interface = std::move(it->second);
        interfaces_.erase(it);
    }
    interface->close();
    return true;
}

} // namespace qelcopn
