// The scripted peer the library and robustness tests stand on: its table,
// its silence, and each bad answer of a script, frame by frame.
#include "ScriptedPeer.h"

#include "byte_order/ByteOrder.h"
#include "protocol/Cia301.h"
#include "protocol/Nmt.h"

#include <gtest/gtest.h>

namespace cia301 = qelcopn::cia301;
using qelcopn::CanFrame;
using qelcopn::nmtFrame;
using qelcopn::readLe16;
using qelcopn::readLe32;

using namespace cia301;

namespace {

constexpr uint8_t kNode = 7;

CanFrame request(std::initializer_list<uint8_t> bytes) { return sdoFrame(COB_SDO_RX + kNode, bytes); }

CanFrame upload(uint16_t index, uint8_t sub) { return request({0x40, uint8_t(index), uint8_t(index >> 8), sub}); }

struct Peer {
    std::vector<std::string> notes;
    ScriptedPeer peer{kNode, [this](const std::string &line) { notes.push_back(line); }};

    std::vector<CanFrame> answers(const CanFrame &frame)
    {
        std::vector<CanFrame> sent;
        peer.handle(frame, [&sent](const CanFrame &f) {
            sent.push_back(f);
            return true;
        });
        return sent;
    }
};

std::vector<uint8_t> bytesOf(const CanFrame &f) { return {f.data, f.data + f.length}; }

TEST(ScriptedPeerTest, ServesItsTableRecordsWritesAndCanFallSilent)
{
    Peer p;
    p.peer.setObject(0x1000, 0, {0x91, 0x01, 0x0F, 0x00});
    std::vector<CanFrame> out = p.answers(upload(0x1000, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].id, COB_SDO_TX + kNode);
    EXPECT_EQ(bytesOf(out[0]), (std::vector<uint8_t>{0x43, 0x00, 0x10, 0x00, 0x91, 0x01, 0x0F, 0x00}));

    out = p.answers(upload(0x2000, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[0], 0x80);
    EXPECT_EQ(readLe32(out[0].data + 4), sdo::ABORT_NO_OBJECT);

    // Expedited write of two bytes to an entry the table did not have.
    out = p.answers(request({0x2B, 0x03, 0x18, 0x05, 0x0A, 0x00, 0x00, 0x00}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[0], 0x60);
    EXPECT_EQ(p.peer.object(0x1803, 5), (std::vector<uint8_t>{0x0A, 0x00}));
    ASSERT_EQ(p.peer.writes().size(), 1u);
    EXPECT_EQ(p.peer.writes()[0].index, 0x1803);

    out = p.answers(nmtFrame(NMT_RESET_COMMUNICATION, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].id, COB_HEARTBEAT + kNode);
    EXPECT_EQ(bytesOf(out[0]), std::vector<uint8_t>{NMT_STATE_BOOTUP});

    // Silent, it hears the client's aborts but answers neither an upload nor a reset.
    p.peer.setSilent(true);
    EXPECT_TRUE(p.answers(upload(0x1000, 0)).empty());
    EXPECT_TRUE(p.answers(nmtFrame(NMT_RESET_NODE, kNode)).empty());
    p.answers(request({0x80, 0x00, 0x10, 0x00, 0x00, 0x00, 0x04, 0x05}));
    EXPECT_EQ(p.peer.abortsReceived(), std::vector<uint32_t>{sdo::ABORT_TIMEOUT});
}

TEST(ScriptedPeerTest, ScriptedObjectsTakeTheirBadAnswersInTurn)
{
    Peer p;
    p.peer.setObject(0x1000, 0, {1, 2, 3, 4});
    p.peer.setObject(0x4210, 0, {1});
    p.peer.script(0x4210, 0, badAnswersFrom("abort,wrong-index,short,garbage,endless,silent"));

    std::vector<CanFrame> out = p.answers(upload(0x4210, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(bytesOf(out[0]), (std::vector<uint8_t>{0x80, 0x10, 0x42, 0x00, 0x00, 0x00, 0x00, 0x08}));
    out = p.answers(upload(0x4210, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(readLe16(out[0].data + 1), 0x4211) << "a reply for the next object";
    out = p.answers(upload(0x4210, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].length, 3);
    out = p.answers(upload(0x4210, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[0], 0xFF);

    // Endless: a segmented upload without a size whose segments never end,
    // until the client aborts it.
    out = p.answers(upload(0x4210, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[0], 0x40);
    for (uint8_t toggle : {0x00, 0x10, 0x00}) {
        out = p.answers(request({uint8_t(0x60 | toggle), 0, 0, 0, 0, 0, 0, 0}));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].data[0], toggle) << "seven bytes, not the last";
    }
    EXPECT_TRUE(p.answers(request({0x80, 0x10, 0x42, 0x00, 0x00, 0x00, 0x04, 0x05})).empty());
    EXPECT_TRUE(p.answers(upload(0x4210, 0)).empty()) << "silent";

    // The script starts over; objects without one are served well.
    EXPECT_EQ(p.answers(upload(0x4210, 0))[0].data[0], 0x80);
    EXPECT_EQ(p.answers(upload(0x1000, 0))[0].data[0], 0x43);
    EXPECT_EQ(p.notes, (std::vector<std::string>{
                           "answered 0x4210:0 abort", "answered 0x4210:0 wrong-index", "answered 0x4210:0 short",
                           "answered 0x4210:0 garbage", "answered 0x4210:0 endless", "client aborted 0x05040000",
                           "answered 0x4210:0 silent", "answered 0x4210:0 abort"}));

    // A script for all: each object counts its own requests, writes too.
    p.peer.scriptAll({BadAnswer::Abort, BadAnswer::Short});
    EXPECT_EQ(p.answers(upload(0x1000, 0))[0].length, 8);
    EXPECT_EQ(p.answers(request({0x2F, 0x00, 0x20, 0x00, 1, 0, 0, 0}))[0].data[0], 0x80);
    EXPECT_EQ(p.answers(upload(0x1000, 0))[0].length, 3);
    EXPECT_TRUE(p.peer.writes().empty());
}

TEST(ScriptedPeerTest, UploadsCanGoSegmentedWithoutTheirSize)
{
    Peer p;
    p.peer.setObject(0x1001, 0, {0x2A});
    p.peer.setUploadStyle({.expediteSmall = false, .announceSize = false});
    std::vector<CanFrame> out = p.answers(upload(0x1001, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(bytesOf(out[0]), (std::vector<uint8_t>{0x40, 0x01, 0x10, 0x00, 0, 0, 0, 0}));
    out = p.answers(request({0x60, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[0], 0x0D) << "one byte, the last";
    EXPECT_EQ(out[0].data[1], 0x2A);
}

} // namespace
