// The gateway's SDO server as a master sees it: identity and gateway
// objects, segmented transfers with their toggles, and the abort codes.
#include "GatewayHarness.h"

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;

using namespace gatewaysim;
using namespace gatewaysim::testing;
using namespace cia301::sdo;

namespace {

class SdoServerTest : public ::testing::Test {
protected:
    Harness h{tableConfig()};
};

TEST_F(SdoServerTest, ServesTheIdentityObjects)
{
    EXPECT_EQ(h.upload(0x1000, 0).data.size(), 4u);
    EXPECT_EQ(h.upload(0x1001, 0).data, std::vector<uint8_t>{0x01}); // table faults are active
    EXPECT_EQ(h.upload(0x1008, 0).text(), "MTU Engine Gateway 1101");
    EXPECT_EQ(h.upload(0x1009, 0).text(), "HW 2.1");
    EXPECT_EQ(h.upload(0x100A, 0).text(), "Tarnwick gateway simulator 1.06");
    EXPECT_EQ(h.upload(0x1018, 0).data, std::vector<uint8_t>{4});
    EXPECT_EQ(h.upload(0x1018, 1).u32(), 0x141u);
    EXPECT_EQ(h.upload(0x1018, 2).u32(), 1101u);
    EXPECT_EQ(h.upload(0x1018, 3).u32(), 0x00010006u);
    EXPECT_EQ(h.upload(0x1018, 4).u32(), 100007u);
    EXPECT_EQ(h.upload(0x1803, 1).u32(), 0x40000487u); // no RTR
    EXPECT_EQ(h.upload(0x1803, 5).u32(), 10u);
}

TEST_F(SdoServerTest, ExpeditedRepliesCarryTheirSize)
{
    // u8: 3 unused bytes; u32: none; both expedited with the size flag.
    EXPECT_EQ(h.sdo({0x40, 0x10, 0x42, 0, 0, 0, 0, 0}).data[0], 0x4F);
    EXPECT_EQ(h.sdo({0x40, 0x18, 0x10, 2, 0, 0, 0, 0}).data[0], 0x43);
    EXPECT_EQ(h.sdo({0x40, 0x03, 0x18, 5, 0, 0, 0, 0}).data[0], 0x4B);
}

TEST_F(SdoServerTest, SegmentedDeviceNameTogglesAndEndsOnTheLastSegment)
{
    const CanFrame initiate = h.sdo({0x40, 0x08, 0x10, 0, 0, 0, 0, 0});
    EXPECT_EQ(initiate.data[0], 0x41); // segmented, size indicated
    EXPECT_EQ(abortCodeOf(initiate), 23u);
    std::string name;
    // Three full segments toggling 0, 1, 0; the last (toggle 1) holds 2
    // bytes, so 5 are unused, and says it is the last.
    const uint8_t expected[] = {0x00, 0x10, 0x00, 0x10 | 5 << 1 | 1};
    for (int i = 0; i < 4; ++i) {
        const CanFrame seg = h.sdo({uint8_t(0x60 | (i % 2 ? 0x10 : 0)), 0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(seg.id, 0x587u);
        EXPECT_EQ(seg.length, 8);
        EXPECT_EQ(seg.data[0], expected[i]);
        name.append(reinterpret_cast<const char *>(seg.data + 1), 7 - ((seg.data[0] >> 1) & 7));
    }
    EXPECT_EQ(name, "MTU Engine Gateway 1101");
    // The transfer is over: another segment request is out of place.
    EXPECT_EQ(abortCodeOf(h.sdo({0x60, 0, 0, 0, 0, 0, 0, 0})), ABORT_BAD_COMMAND);
}

TEST_F(SdoServerTest, ToggleErrorAbortsTheUpload)
{
    h.sdo({0x40, 0x0A, 0x10, 0, 0, 0, 0, 0});
    h.sdo({0x60, 0, 0, 0, 0, 0, 0, 0});
    const CanFrame repeat = h.sdo({0x60, 0, 0, 0, 0, 0, 0, 0}); // toggle should be 1
    EXPECT_EQ(repeat.data[0], 0x80);
    EXPECT_EQ(repeat.data[1], 0x0A);
    EXPECT_EQ(repeat.data[2], 0x10);
    EXPECT_EQ(abortCodeOf(repeat), ABORT_TOGGLE);
    EXPECT_EQ(abortCodeOf(h.sdo({0x70, 0, 0, 0, 0, 0, 0, 0})), ABORT_BAD_COMMAND);
}

TEST_F(SdoServerTest, NewInitiateOrClientAbortEndsAnUnfinishedTransfer)
{
    h.sdo({0x40, 0x08, 0x10, 0, 0, 0, 0, 0});
    h.sdo({0x60, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(h.upload(0x1009, 0).text(), "HW 2.1");

    h.sdo({0x40, 0x08, 0x10, 0, 0, 0, 0, 0});
    const size_t before = h.sink.frames.size();
    h.sdo({0x80, 0x08, 0x10, 0, 0, 0, 0x04, 0x05});
    EXPECT_EQ(h.sink.frames.size(), before); // an abort is never answered
    EXPECT_EQ(abortCodeOf(h.sdo({0x60, 0, 0, 0, 0, 0, 0, 0})), ABORT_BAD_COMMAND);
}

TEST_F(SdoServerTest, FaultBitmapAndMtuStateFollowTheImage)
{
    const Upload bitmap = h.upload(0x4203, 0);
    ASSERT_EQ(bitmap.data.size(), 51u);
    EXPECT_EQ(bitmap.data[0], 0x06); // faults 1 and 2
    EXPECT_EQ(bitmap.data[2], 0x02); // fault 17
    EXPECT_EQ(bitmap.data[31], 0x80); // fault 255
    EXPECT_EQ(bitmap.data[50], 0x01); // fault 400
    EXPECT_EQ(h.upload(0x4210, 0).data, std::vector<uint8_t>{1});
}

TEST_F(SdoServerTest, AbortsWithTheCodeForEachMistake)
{
    EXPECT_EQ(h.upload(0x2000, 0).abortCode, ABORT_NO_OBJECT);
    EXPECT_EQ(h.upload(0x1018, 5).abortCode, ABORT_NO_SUBINDEX);
    EXPECT_EQ(h.upload(0x1803, 4).abortCode, ABORT_NO_SUBINDEX);
    EXPECT_EQ(h.upload(0x4210, 1).abortCode, ABORT_NO_SUBINDEX);
    EXPECT_EQ(h.downloadU16(0x1000, 0, 1), ABORT_READ_ONLY);
    EXPECT_EQ(h.downloadU16(0x4210, 0, 1), ABORT_READ_ONLY);
    EXPECT_EQ(h.downloadU16(0x2000, 0, 1), ABORT_NO_OBJECT);
    EXPECT_EQ(h.downloadU16(0x1803, 9, 1), ABORT_NO_SUBINDEX);
    // 0x1803:5 is UNSIGNED16: four bytes are too long, one too short.
    EXPECT_EQ(abortCodeOf(h.sdo({0x23, 0x03, 0x18, 5, 10, 0, 0, 0})), ABORT_TOO_LONG);
    EXPECT_EQ(abortCodeOf(h.sdo({0x2F, 0x03, 0x18, 5, 10, 0, 0, 0})), ABORT_TOO_SHORT);
    for (uint8_t command : {0xA0, 0xC0, 0xE0}) // block transfers and the unassigned one
        EXPECT_EQ(abortCodeOf(h.sdo({command, 0x00, 0x10, 0, 0, 0, 0, 0})), ABORT_BAD_COMMAND);
    EXPECT_EQ(abortCodeOf(h.sdo({0x00, 0, 0, 0, 0, 0, 0, 0})), ABORT_BAD_COMMAND); // segment, no transfer
    EXPECT_EQ(h.upload(0x1803, 5).u32(), 10u); // nothing was written
}

TEST_F(SdoServerTest, ShortFramesAndOtherNodesGetNoAnswer)
{
    const size_t before = h.sink.frames.size();
    CanFrame shortRequest = makeFrame(0x607, {0x40, 0x00, 0x10, 0});
    h.deliver(shortRequest);
    h.deliver(makeFrame(0x608, {0x40, 0x00, 0x10, 0, 0, 0, 0, 0}));
    EXPECT_EQ(h.sink.frames.size(), before);
}

TEST_F(SdoServerTest, EventTimerWritesSwitchTheMode)
{
    EXPECT_EQ(h.downloadU16(0x1803, 5, 0), 0u);
    EXPECT_TRUE(h.sink.noted("sdo write 0x1803:5 = 0"));
    EXPECT_EQ(h.sink.notes.back(), "mode change-of-state");
    EXPECT_TRUE(h.gateway.scheduler().changeOfState());
    // Size not indicated: the entry takes its two bytes.
    EXPECT_EQ(h.sdo({0x22, 0x03, 0x18, 5, 10, 0, 0xEE, 0xEE}).data[0], 0x60);
    EXPECT_TRUE(h.sink.noted("sdo write 0x1803:5 = 10"));
    EXPECT_EQ(h.sink.notes.back(), "mode cyclic 10 ms");
    EXPECT_EQ(h.upload(0x1803, 5).u32(), 10u);
}

TEST_F(SdoServerTest, SegmentedDownloadIsCheckedLikeAnExpeditedOne)
{
    EXPECT_EQ(h.sdo({0x21, 0x17, 0x10, 0, 2, 0, 0, 0}).data[0], 0x60);
    EXPECT_EQ(h.sdo({0x0B, 0xF4, 0x01, 0, 0, 0, 0, 0}).data[0], 0x20); // last, 2 bytes
    EXPECT_EQ(h.sink.notes.back(), "heartbeat 500 ms");
    EXPECT_EQ(h.upload(0x1017, 0).u32(), 500u);

    EXPECT_EQ(abortCodeOf(h.sdo({0x21, 0x17, 0x10, 0, 0x00, 0x10, 0, 0})), ABORT_OUT_OF_MEMORY);
    EXPECT_EQ(abortCodeOf(h.sdo({0x21, 0x00, 0x10, 0, 2, 0, 0, 0})), ABORT_READ_ONLY);
    h.sdo({0x21, 0x17, 0x10, 0, 3, 0, 0, 0});
    EXPECT_EQ(abortCodeOf(h.sdo({0x0B, 0xF4, 0x01, 0, 0, 0, 0, 0})), ABORT_TYPE_MISMATCH);
    h.sdo({0x20, 0x17, 0x10, 0, 0, 0, 0, 0});
    EXPECT_EQ(abortCodeOf(h.sdo({0x1B, 1, 2, 0, 0, 0, 0, 0})), ABORT_TOGGLE);
    EXPECT_EQ(h.upload(0x1017, 0).u32(), 500u);
}

} // namespace
