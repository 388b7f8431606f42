#include "NetDevice.h"

#include <cstring>
#include <fstream>

// net/if.h first: the linux/ headers then skip their own copies of it.
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/socket.h>
#include <linux/can/netlink.h>
#include <linux/rtnetlink.h>
#include <unistd.h>

namespace netdevice {

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

std::optional<uint32_t> bitrate(const std::string &name)
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
        const rtattr *linkInfo = findAttribute(IFLA_RTA(info), IFLA_PAYLOAD(h), IFLA_LINKINFO);
        if (linkInfo == nullptr)
            return std::nullopt;
        const rtattr *infoData = findAttribute(RTA_DATA(linkInfo), RTA_PAYLOAD(linkInfo), IFLA_INFO_DATA);
        if (infoData == nullptr)
            return std::nullopt;
        const rtattr *timing = findAttribute(RTA_DATA(infoData), RTA_PAYLOAD(infoData), IFLA_CAN_BITTIMING);
        if (timing == nullptr || RTA_PAYLOAD(timing) < sizeof(can_bittiming))
            return std::nullopt;
        can_bittiming bt{};
        std::memcpy(&bt, RTA_DATA(timing), sizeof bt);
        return bt.bitrate != 0 ? std::optional<uint32_t>(bt.bitrate) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace netdevice
