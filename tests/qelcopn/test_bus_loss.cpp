// Loss of the bus: the process hosting the virtual bus server goes away
// under the library. Pending and later calls fail, going online again
// reconnects. This host has no Qt application: the library makes its own.
#include "LibraryFixture.h"
#include "PeerProcess.h"

#include <future>

TEST(BusLossTest, PendingAndLaterCallsFailThenGoingOnlineReconnects)
{
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    auto peer = std::make_unique<PeerProcess>(url, kPeerNode);
    ASSERT_TRUE(peer->ready());

    ASSERT_NE(LoadDriver(), 0);
    HardwareConfiguration hw = hardwareFor(QString::fromStdString(url));
    uint32_t h = 0;
    ASSERT_NE(OpenInterface(&h, &hw), 0);
    ASSERT_NE(SetOnline(h, 1), 0);
    uint32_t deviceType = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED32(h, kPeerNode, 0x1000, 0, &deviceType), 0);
    EXPECT_EQ(deviceType, 0x191u);

    // A transfer to a node nobody plays, with a long time-out, is pending
    // when the bus goes.
    ASSERT_NE(SetSDOTimeout(h, 60000), 0);
    auto pending = std::async(std::launch::async, [h] {
        uint32_t value = 0;
        return SDO_Upload_UNSIGNED32(h, kPeerNode + 1, 0x1000, 0, &value);
    });
    peer.reset();
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(50)), std::future_status::ready)
        << "the pending transfer waited for its time-out instead of failing with the bus";
    EXPECT_EQ(pending.get(), 0);
    ASSERT_TRUE(eventually([&] { return NMT_StartRemoteNode(h, kPeerNode) == 0; }));
    EXPECT_EQ(SDO_Upload_UNSIGNED32(h, kPeerNode, 0x1000, 0, &deviceType), 0);

    // The next start goes online again: the library now hosts the bus, and
    // a new node joins it.
    ASSERT_NE(SetOnline(h, 1), 0);
    PeerProcess second(url, kPeerNode);
    ASSERT_TRUE(second.ready());
    uint8_t state = 0xFF;
    ASSERT_TRUE(eventually([&] { return GetNodeState(h, kPeerNode, &state) && state == 0; }));
    ASSERT_NE(SetSDOTimeout(h, 1000), 0);
    deviceType = 0;
    ASSERT_NE(SDO_Upload_UNSIGNED32(h, kPeerNode, 0x1000, 0, &deviceType), 0);
    EXPECT_EQ(deviceType, 0x191u);
    EXPECT_NE(NMT_StartRemoteNode(h, kPeerNode), 0);
    EXPECT_EQ(second.waitLine("rx 000"), "rx 000 01 07");

    EXPECT_NE(CloseInterface(h), 0);
    EXPECT_NE(UnloadDriver(), 0);
}
