#include "transport/NetDevice.h"

#include <cstring>
#include <fstream>

// net/if.h first: the linux/ headers then skip their own copies of it.
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/socket.h>
#include <linux/can/netlink.h>
#include <linux/rtnetlink.h>
#include <unistd.h>

namespace qelcopn::netdevice {

namespace {

bool isPlainName(const std::string &name)
{
    return !name.empty() && name.size() < IFNAMSIZ && name != "." && name != ".."
        && name.find('/') == std::string::npos;
}

std::optional<unsigned long> readSysNumber(const std::string &name, const char *attribute, int base)
{
    std::ifstream in("/sys/class/net/" + name + "/" + attribute);
    std::string text;
    if (!(in >> text))
        return std::nullopt;
    try {
        return std::stoul(text, nullptr, base);
    } catch (...) {
        return std::nullopt;
    }
}

// Walks the attributes in [data, data + length) and returns the one of the
// given type, or null.
const rtattr *findAttribute(const void *data, size_t length, unsigned short type)
{
    int remaining = int(length);
    for (auto *a = static_cast<const rtattr *>(data); RTA_OK(a, remaining); a = RTA_NEXT(a, remaining))
        if ((a->rta_type & NLA_TYPE_MASK) == type)
            return a;
    return nullptr;
}

class NetlinkSocket {
public:
    NetlinkSocket() : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~NetlinkSocket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    NetlinkSocket(const NetlinkSocket &) = delete;
    NetlinkSocket &operator=(const NetlinkSocket &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

State state(const std::string &name)
{
    if (!isPlainName(name))
        return State::Missing;
    const std::optional<unsigned long> type = readSysNumber(name, "type", 10);
    if (!type || *type != ARPHRD_CAN)
        return State::Missing;
    const std::optional<unsigned long> flags = readSysNumber(name, "flags", 16);
    return flags && (*flags & IFF_UP) ? State::Up : State::Down;
}

namespace {

// What the kernel tells of a link: its kind ("can", "vcan", ...) and, for a
// CAN controller, the bit rate.
struct LinkInfo {
    std::string kind;
    std::optional<uint32_t> bitrate;
};

std::optional<LinkInfo> linkInfo(const std::string &name)
{
    if (!isPlainName(name))
        return std::nullopt;
    const unsigned index = if_nametoindex(name.c_str());
    if (index == 0)
        return std::nullopt;
    NetlinkSocket sock;
    if (sock.fd() < 0)
        return std::nullopt;

    struct {
        nlmsghdr header;
        ifinfomsg info;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 1;
    request.info.ifi_family = AF_UNSPEC;
    request.info.ifi_index = int(index);
    if (send(sock.fd(), &request, request.header.nlmsg_len, 0) < 0)
        return std::nullopt;

    alignas(nlmsghdr) char reply[16384];
    const ssize_t received = recv(sock.fd(), reply, sizeof reply, 0);
    if (received <= 0)
        return std::nullopt;
    int remaining = int(received);
    for (auto *h = reinterpret_cast<const nlmsghdr *>(reply); NLMSG_OK(h, remaining); h = NLMSG_NEXT(h, remaining)) {
        if (h->nlmsg_type != RTM_NEWLINK)
            continue;
        const auto *info = static_cast<const ifinfomsg *>(NLMSG_DATA(h));
        const rtattr *link = findAttribute(IFLA_RTA(info), IFLA_PAYLOAD(h), IFLA_LINKINFO);
        if (link == nullptr)
            return std::nullopt;
        LinkInfo result;
        if (const rtattr *kind = findAttribute(RTA_DATA(link), RTA_PAYLOAD(link), IFLA_INFO_KIND))
            result.kind.assign(static_cast<const char *>(RTA_DATA(kind)),
                               strnlen(static_cast<const char *>(RTA_DATA(kind)), RTA_PAYLOAD(kind)));
        const rtattr *data = findAttribute(RTA_DATA(link), RTA_PAYLOAD(link), IFLA_INFO_DATA);
        const rtattr *timing = data ? findAttribute(RTA_DATA(data), RTA_PAYLOAD(data), IFLA_CAN_BITTIMING) : nullptr;
        if (timing != nullptr && RTA_PAYLOAD(timing) >= sizeof(can_bittiming)) {
            can_bittiming bt{};
            std::memcpy(&bt, RTA_DATA(timing), sizeof bt);
            if (bt.bitrate != 0)
                result.bitrate = bt.bitrate;
        }
        return result;
    }
    return std::nullopt;
}

} // namespace

std::optional<uint32_t> bitrate(const std::string &name)
{
    const std::optional<LinkInfo> info = linkInfo(name);
    return info ? info->bitrate : std::nullopt;
}

bool hasBitTiming(const std::string &name)
{
    const std::optional<LinkInfo> info = linkInfo(name);
    // What cannot be read is taken as a real controller: its rate must then
    // be known before joining, so nothing joins at a rate nobody checked.
    return !info || (info->kind != "vcan" && info->kind != "vxcan");
}

std::string wrongRateMessage(const std::string &name, std::optional<uint32_t> current, uint32_t wanted)
{
    const std::string rate = std::to_string(wanted);
    const std::string why = current ? "'" + name + "' runs at " + std::to_string(*current) + " bit/s, not " + rate
                                    : "the bit rate of '" + name + "' cannot be read";
    return why + "; set it as root with: ip link set " + name + " down && ip link set " + name
        + " type can bitrate " + rate + " && ip link set " + name + " up";
}

} // namespace qelcopn::netdevice
