// Real adapter kinds (PEAK, Tiny-CAN) through the library's exports, on a
// fake QtSerialBus plugin: the rate an adapter joins the bus at, its loss,
// its error frames and its own receive stamps.
#include "FakeCan.h"
#include "LibraryFixture.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

const QString kAdapter = QStringLiteral("usb0");

QCanBusFrame frameAt(uint32_t id, int64_t stampMicros, const QByteArray &data = QByteArray(8, '\x11'))
{
    QCanBusFrame frame(id, data);
    frame.setTimeStamp(QCanBusFrame::TimeStamp::fromMicroSeconds(stampMicros));
    return frame;
}

std::string failureText()
{
    char text[QELCOPN_TEXT_SIZE] = {};
    return GetFailureText(text) ? text : "";
}

class AdapterTest : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        fakecan::reset();
        fakecan::attach(kAdapter);
        ASSERT_NE(LoadDriver(), 0);
        hw = hardwareFor(kAdapter, GetParam());
    }
    void TearDown() override
    {
        CloseInterface(h);
        UnloadDriver();
    }
    // Open, rate and online, as the application starts network access.
    void goOnline(uint32_t bitrate = 250000)
    {
        ASSERT_NE(OpenInterface(&h, &hw), 0);
        ASSERT_NE(SetBaud(h, bitrate), 0);
        ASSERT_NE(SetOnline(h, 1), 0) << failureText();
    }

    HardwareConfiguration hw{};
    uint32_t h = 0;
};

} // namespace

TEST_P(AdapterTest, JoinsTheBusOnlyAtTheConfiguredRate)
{
    ASSERT_NE(OpenInterface(&h, &hw), 0);
    EXPECT_TRUE(fakecan::connectRates(kAdapter).empty()) << "connected before its rate was known";
    EXPECT_EQ(SetOnline(h, 1), 0) << "online without a rate";
    EXPECT_NE(failureText().find("bit rate"), std::string::npos) << failureText();
    EXPECT_TRUE(fakecan::connectRates(kAdapter).empty());

    ASSERT_NE(SetBaud(h, 250000), 0);
    ASSERT_NE(SetOnline(h, 1), 0) << failureText();
    EXPECT_EQ(fakecan::connectRates(kAdapter), std::vector<uint32_t>{250000});
    // A new rate while online reconnects with it.
    ASSERT_NE(SetBaud(h, 500000), 0);
    EXPECT_EQ(fakecan::connectRates(kAdapter), (std::vector<uint32_t>{250000, 500000}));
    EXPECT_NE(NMT_StartRemoteNode(h, 7), 0);
    ASSERT_EQ(fakecan::written(kAdapter).size(), 1u);
    EXPECT_EQ(fakecan::written(kAdapter)[0].frameId(), 0u);
}

TEST_P(AdapterTest, AnAbsentAdapterOrARefusedRateFailsWithItsReason)
{
    HardwareConfiguration other = hardwareFor(QStringLiteral("usb1"), GetParam());
    EXPECT_EQ(OpenInterface(&h, &other), 0);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_NE(failureText().find("no adapter 'usb1'"), std::string::npos) << failureText();

    // A plugin that keeps only the rates it supports: nothing connects.
    fakecan::attach(kAdapter, false);
    ASSERT_NE(OpenInterface(&h, &hw), 0);
    ASSERT_NE(SetBaud(h, 250000), 0);
    EXPECT_EQ(SetOnline(h, 1), 0);
    EXPECT_NE(failureText().find("cannot be set to 250000"), std::string::npos) << failureText();
    EXPECT_TRUE(fakecan::connectRates(kAdapter).empty());
}

TEST_P(AdapterTest, TheLossOfTheAdapterIsNoticedAndGoingOnlineReconnects)
{
    for (const fakecan::Loss how : {fakecan::Loss::ErrorSignal, fakecan::Loss::Unconnected}) {
        fakecan::reset();
        fakecan::attach(kAdapter);
        goOnline();
        ASSERT_NE(NMT_StartRemoteNode(h, 7), 0);
        ASSERT_TRUE(fakecan::unplug(kAdapter, how));
        ASSERT_TRUE(eventually([&] { return NMT_StartRemoteNode(h, 7) == 0; })) << "loss not noticed";
        uint32_t online = 0;
        EXPECT_EQ(GetNodeOnline(h, 7, &online), 0);
        EXPECT_EQ(SetOnline(h, 1), 0) << "still unplugged";

        fakecan::attach(kAdapter);
        ASSERT_NE(SetOnline(h, 1), 0) << failureText();
        EXPECT_NE(NMT_StartRemoteNode(h, 7), 0);
        EXPECT_EQ(fakecan::connectRates(kAdapter).back(), 250000u);
        ASSERT_NE(CloseInterface(h), 0);
    }
}

TEST_P(AdapterTest, ErrorFramesAreCountedAndTellTheBusState)
{
    goOnline();
    QCanBusFrame busOff(QCanBusFrame::ErrorFrame);
    busOff.setError(QCanBusFrame::BusOffError);
    QCanBusFrame controller(QCanBusFrame::ErrorFrame);
    controller.setError(QCanBusFrame::ControllerError);
    ASSERT_TRUE(fakecan::deliver(kAdapter, {controller, frameAt(0x187, 0), busOff}));
    BusStatistics s{};
    ASSERT_TRUE(eventually([&] { return GetBusStatistics(h, &s) && s.ErrorFrames == 2; }));
    EXPECT_EQ(s.State, QELCOPN_BUS_OFF);
    EXPECT_EQ(s.LastErrorClass, uint32_t(QCanBusFrame::BusOffError));
    EXPECT_EQ(s.FramesReceived, 1u);
}

TEST_P(AdapterTest, GapsInsideABatchAreTheAdaptersOwn)
{
    goOnline();
    ASSERT_NE(AddPDO(h, 7, 16, 3, 1000), 0);
    const auto readTimes = [&](size_t count) {
        std::vector<uint32_t> times;
        uint8_t length = 0;
        uint8_t data[256] = {};
        uint32_t sequence = 0, time = 0;
        eventually([&] {
            while (COP_PDO_Read_Data_wTime(h, 7, 18, 3, &length, data, &sequence, &time))
                times.push_back(time);
            return times.size() >= count;
        });
        return times;
    };

    // One batch, stamped 10 ms apart by the adapter.
    const int64_t base = 5'000'000'000;
    int64_t before = 0, after = 0;
    QueryPerformanceCounter(&before);
    ASSERT_TRUE(fakecan::deliver(kAdapter, {frameAt(0x487, base), frameAt(0x487, base + 10'000),
                                            frameAt(0x487, base + 20'000)}));
    std::vector<uint32_t> t = readTimes(3);
    QueryPerformanceCounter(&after);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1] - t[0], 10'000u);
    EXPECT_EQ(t[2] - t[1], 10'000u);
    // The newest frame was read between the two readings of the clock.
    EXPECT_GE(int32_t(t[2] - uint32_t(before)), 0);
    EXPECT_LE(int32_t(t[2] - uint32_t(after)), 0);

    // The adapter's clock jumps an hour back: times go on, gaps kept. (The
    // batch spans 5 ms, so it comes at least that long after the last.)
    Sleep(20);
    ASSERT_TRUE(fakecan::deliver(kAdapter, {frameAt(0x487, base - 3'600'000'000),
                                            frameAt(0x487, base - 3'600'000'000 + 5'000)}));
    std::vector<uint32_t> jumped = readTimes(2);
    ASSERT_EQ(jumped.size(), 2u);
    EXPECT_GE(int32_t(jumped[0] - t[2]), 0);
    EXPECT_EQ(jumped[1] - jumped[0], 5'000u);

    // Frames without a stamp take the time they were read: no gaps made up.
    ASSERT_TRUE(fakecan::deliver(kAdapter, {frameAt(0x487, 0), frameAt(0x487, 0)}));
    std::vector<uint32_t> unstamped = readTimes(2);
    ASSERT_EQ(unstamped.size(), 2u);
    EXPECT_EQ(unstamped[0], unstamped[1]);
    EXPECT_GE(int32_t(unstamped[0] - jumped[1]), 0);
}

// A stream of 926 frames/s, stamped by the adapter as a real bus would be,
// however late the test's thread hands it on.
TEST_P(AdapterTest, BusStatisticsOfAStreamOfKnownRate)
{
    goOnline(250000);
    constexpr int64_t kRate = 926;
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        int64_t start = 0;
        QueryPerformanceCounter(&start);
        int64_t next = 0;
        while (!stop) {
            int64_t now = 0;
            QueryPerformanceCounter(&now);
            QList<QCanBusFrame> batch;
            for (; next * 1'000'000 / kRate <= now - start; ++next)
                batch << frameAt(0x487, 1'000'000 + next * 1'000'000 / kRate);
            if (!batch.isEmpty())
                fakecan::deliver(kAdapter, batch);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    Sleep(1500); // a full window of the stream
    // A late hand-over of the stream's newest frames shows as a low sample,
    // never a high one: the median of several tells the rate.
    std::vector<BusStatistics> samples(9);
    for (BusStatistics &s : samples) {
        ASSERT_NE(GetBusStatistics(h, &s), 0);
        EXPECT_EQ(s.LoadPermille, s.FramesPerSecondReceived * (47 + 64) * 1000 / 250000);
        EXPECT_LE(s.FramesPerSecondReceived, kRate * 102 / 100);
        Sleep(100);
    }
    stop = true;
    stream.join();
    std::sort(samples.begin(), samples.end(), [](const BusStatistics &a, const BusStatistics &b) {
        return a.FramesPerSecondReceived < b.FramesPerSecondReceived;
    });
    EXPECT_NEAR(double(samples[4].FramesPerSecondReceived), double(kRate), kRate * 0.02);
}

INSTANTIATE_TEST_SUITE_P(PeakAndTinyCan, AdapterTest, ::testing::Values(QELCOPN_KIND_PEAKCAN, QELCOPN_KIND_TINYCAN),
                         [](const ::testing::TestParamInfo<uint32_t> &info) {
                             return info.param == QELCOPN_KIND_PEAKCAN ? std::string("Peak") : std::string("TinyCan");
                         });
