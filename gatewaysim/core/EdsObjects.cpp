#include "EdsObjects.h"

namespace gatewaysim {

using namespace network::eds;

namespace {

NodeObjects::Access accessOf(network::eds::Access access)
{
    if (access == network::eds::Access::WriteOnly)
        return NodeObjects::Access::WriteOnly;
    return writable(access) ? NodeObjects::Access::ReadWrite : NodeObjects::Access::ReadOnly;
}

} // namespace

void fillFromEds(NodeObjects &objects, const ObjectDictionary &dictionary)
{
    for (const Entry &entry : dictionary.entries) {
        const size_t size = fixedSize(entry.type);
        Bytes value = entry.parameterValue.value_or(entry.defaultValue.value_or(Bytes(size, 0)));
        objects.addBytes(entry.index, entry.subIndex, accessOf(entry.access), std::move(value), size == 0);
    }
}

} // namespace gatewaysim
