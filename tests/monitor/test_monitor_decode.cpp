// The decoders against the gateway's message layouts: what each message
// stores, which flag it raises, and what is left alone.
#include "MonitorModel.h"
#include "MonitorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace monitor_test;

namespace {

struct Flags {
    int32_t mtu, dinBus, j1939, faults, status;
    bool operator==(const Flags &) const = default;
};

Flags TakeFlags(TMonitorModel &model)
{
    return {model.MtuDataChanged.exchange(0), model.DinBusChanged.exchange(0), model.J1939Changed.exchange(0),
            model.FaultsChanged.exchange(0), model.StatusChanged.exchange(0)};
}

std::array<uint8_t, 8> SlotData(const TMonitorModel &model, int slot)
{
    std::array<uint8_t, 8> bytes{};
    for (int b = 0; b < 8; ++b)
        bytes[b] = model.J1939Params[slot].Data[b].load();
    return bytes;
}

class Decoding : public ::testing::Test {
protected:
    void SetUp() override { model->NodeId = GATEWAY_NODE; }
    std::unique_ptr<TMonitorModel> model = std::make_unique<TMonitorModel>();
};

TEST_F(Decoding, PdoOfAnyLengthButEightOrWithoutDataChangesNothing)
{
    const Message pdo = Pdo(0x4200, 2, 10000u);
    for (uint8_t length : {0, 7, 9, 255})
        model->DecodePdoData(GATEWAY_NODE, length, pdo.data(), 5, 6);
    model->DecodePdoData(GATEWAY_NODE, 8, nullptr, 5, 6);
    EXPECT_EQ(model->MtuValue[2].load(), 0x7FFFFFFF);
    EXPECT_EQ(model->MtuRxTime1[2].load(), 0u);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 0, 0}));
}

TEST_F(Decoding, MtuParameterIsLittleEndianWithItsTimeWordsForEverySubIndex)
{
    Decode(*model, Pdo(0x4200, 2, 0x10, 0x27, 0x00, 0x00), 41, 0xDEADBEEF);
    EXPECT_EQ(model->MtuValue[2].load(), 10000);
    EXPECT_EQ(model->MtuRxTime1[2].load(), 41u);
    EXPECT_EQ(model->MtuRxTime2[2].load(), 0xDEADBEEFu);
    EXPECT_EQ(TakeFlags(*model), (Flags{1, 0, 0, 0, 0}));

    Decode(*model, Pdo(0x4200, 3, 0xFE, 0xFF, 0xFF, 0xFF));
    EXPECT_EQ(model->MtuValue[3].load(), -2);

    // Rows 0 and 255 are never shown, but the receipt is stored and flagged.
    Decode(*model, Pdo(0x4200, 0, 123u), 7, 8);
    Decode(*model, Pdo(0x4200, 255, 456u), 9, 10);
    EXPECT_EQ(model->MtuValue[0].load(), 123);
    EXPECT_EQ(model->MtuValue[255].load(), 456);
    EXPECT_EQ(model->MtuRxTime2[255].load(), 10u);
    EXPECT_EQ(TakeFlags(*model), (Flags{1, 0, 0, 0, 0}));
    EXPECT_EQ(model->MtuValue[1].load(), 0x7FFFFFFF);
}

TEST_F(Decoding, J1939ElementsComeFromTheEndOfTheFieldBytesAsTheyStand)
{
    // 8-bit element 8 of slot 0: byte 7 only.
    Decode(*model, Pdo(0x3200, 8, 0xA4, 0xA5, 0xA6, 0xA7));
    EXPECT_EQ(SlotData(*model, 0), (std::array<uint8_t, 8>{0, 0, 0, 0, 0, 0, 0, 0xA7}));
    // 16-bit element 2 of slot 1: bytes 6 and 7 into Data[2] and Data[3].
    Decode(*model, Pdo(0x3301, 2, 0xB4, 0xB5, 0xB6, 0xB7));
    EXPECT_EQ(SlotData(*model, 1), (std::array<uint8_t, 8>{0, 0, 0xB6, 0xB7, 0, 0, 0, 0}));
    // 32-bit element 2 of slot 2: bytes 4 to 7 into Data[4] to Data[7].
    Decode(*model, Pdo(0x3402, 2, 0xC4, 0xC5, 0xC6, 0xC7));
    EXPECT_EQ(SlotData(*model, 2), (std::array<uint8_t, 8>{0, 0, 0, 0, 0xC4, 0xC5, 0xC6, 0xC7}));
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 1, 0, 0}));

    // Widths mixed in one slot, and the last slot of the range.
    Decode(*model, Pdo(0x3403, 1, 1, 2, 3, 4));
    Decode(*model, Pdo(0x3303, 3, 0, 0, 5, 6));
    Decode(*model, Pdo(0x3203, 8, 0, 0, 0, 8));
    Decode(*model, Pdo(0x3203, 7, 0, 0, 0, 7));
    EXPECT_EQ(SlotData(*model, 3), (std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    Decode(*model, Pdo(0x34FF, 1, 9, 9, 9, 9));
    EXPECT_EQ(SlotData(*model, 255)[3], 9);
}

TEST_F(Decoding, J1939SubIndexOutsideItsWidthStoresNothingButStillFlags)
{
    const struct {
        uint16_t index;
        uint8_t sub;
    } outside[] = {{0x3300, 0}, {0x3300, 5}, {0x3200, 0}, {0x3200, 9}, {0x3400, 0}, {0x3400, 3}};
    for (const auto &message : outside) {
        Decode(*model, Pdo(message.index, message.sub, 0x11, 0x22, 0x33, 0x44));
        EXPECT_EQ(SlotData(*model, 0), (std::array<uint8_t, 8>{})) << std::hex << message.index << " " << int(message.sub);
        EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 1, 0, 0})) << std::hex << message.index;
    }
}

TEST_F(Decoding, DinBusByteIsByteFourAndOtherIndexesAreIgnored)
{
    Decode(*model, Pdo(0x3501, 17, 0x5A, 0x01, 0x02, 0x03));
    EXPECT_EQ(model->DinBusByte[17].load(), 0x5A);
    Decode(*model, Pdo(0x3501, 0, 0x10, 0, 0, 0));
    Decode(*model, Pdo(0x3501, 255, 0x20, 0, 0, 0));
    EXPECT_EQ(model->DinBusByte[0].load(), 0x10);
    EXPECT_EQ(model->DinBusByte[255].load(), 0x20);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 1, 0, 0, 0}));

    for (uint16_t index : {0x31FF, 0x3500, 0x3502, 0x4201, 0x41FF, 0x0000, 0xFFFF})
        Decode(*model, Pdo(index, 1, 0x77777777u));
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 0, 0}));
    EXPECT_EQ(model->DinBusByte[1].load(), 0);
    EXPECT_EQ(model->MtuValue[1].load(), 0x7FFFFFFF);
}

TEST_F(Decoding, EmergencyStateReportsTurnTheMtuOnlineAndOffline)
{
    model->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 0).data(), StampMsAgo(0));
    EXPECT_EQ(model->MtuOnline.load(), 1);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 0, 1}));
    model->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 0).data(), StampMsAgo(0));
    EXPECT_EQ(model->MtuOnline.load(), 0);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 0, 1}));
}

TEST_F(Decoding, EmergencyFaultReportsUpToIndex400AreStored)
{
    model->DecodeEmergency(GATEWAY_NODE, Emergency(0xFF00, 1, 400, 0x0102).data(), StampMsAgo(0));
    EXPECT_EQ(model->FaultState[400].load(), 0x0102);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 1, 0}));
    model->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, 0, 1).data(), StampMsAgo(0));
    EXPECT_EQ(model->FaultState[0].load(), 1);
    model->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, 400, 0).data(), StampMsAgo(0));
    EXPECT_EQ(model->FaultState[400].load(), 0);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 1, 0}));

    for (uint16_t index : {401, 511, 0xFFFF})
        model->DecodeEmergency(GATEWAY_NODE, Emergency(0x0000, 1, index, 1).data(), StampMsAgo(0));
    EXPECT_EQ(model->FaultState[401].load(), 0);
    EXPECT_EQ(model->FaultState[511].load(), 0);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 0, 0}));
}

TEST_F(Decoding, EmergencyOutsideTheTableChangesNothing)
{
    model->MtuOnline = 1;
    const Message ignored[] = {Emergency(0x1000, 0), Emergency(0x1000, 1, 5, 1), Emergency(0xFF01, 0),
                               Emergency(0x00FF, 0), Emergency(0xFF00, 2, 5, 1), Emergency(0x0000, 0xFF, 5, 1)};
    for (const Message &message : ignored)
        model->DecodeEmergency(GATEWAY_NODE, message.data(), StampMsAgo(0));
    // Another node's messages, whatever they hold: the node of the current
    // showing is the one that counts.
    model->DecodeEmergency(GATEWAY_NODE + 1, Emergency(0xFF00, 0).data(), StampMsAgo(0));
    model->DecodeEmergency(0, Emergency(0x0000, 1, 5, 1).data(), StampMsAgo(0));
    model->DecodeEmergency(GATEWAY_NODE, nullptr, StampMsAgo(0));
    EXPECT_EQ(model->MtuOnline.load(), 1);
    EXPECT_EQ(model->FaultState[5].load(), 0);
    EXPECT_EQ(TakeFlags(*model), (Flags{0, 0, 0, 0, 0}));
}

} // namespace
