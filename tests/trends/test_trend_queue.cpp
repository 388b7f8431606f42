// The queue from the PDO thread to the trend window: order, a full queue
// dropping and counting, and one producer against one consumer at once.
#include "MonitorModel.h"
#include "TrendQueue.h"

#include "../monitor/MonitorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace monitor_test;

namespace {

TEST(TrendQueue, KeepsOrderDropsWhenFullAndCountsTheDrops)
{
    auto queue = std::make_unique<TTrendQueue>();
    for (uint32_t i = 0; i < TTrendQueue::CAPACITY + 3; ++i)
        queue->Push({int32_t(i), i, 1});
    EXPECT_EQ(queue->Dropped(), 3u);
    TTrendSample sample;
    for (uint32_t i = 0; i < TTrendQueue::CAPACITY; ++i) {
        ASSERT_TRUE(queue->Pop(sample));
        ASSERT_EQ(sample.Value, int32_t(i));
    }
    EXPECT_FALSE(queue->Pop(sample));
    EXPECT_TRUE(queue->Push({9, 9, 1})); // room again
}

TEST(TrendQueue, OnlyPlottedParametersReachItFromTheDecoder)
{
    auto model = std::make_unique<TMonitorModel>();
    model->MtuPlotted[4] = 1;
    Decode(*model, Pdo(GATEWAY_INDEX_MTU_PARAMETER, 3, 11u), 1, 100);
    Decode(*model, Pdo(GATEWAY_INDEX_MTU_PARAMETER, 4, 0x80000001u), 1, 200);
    Decode(*model, Pdo(GATEWAY_INDEX_DINBUS_BYTE, 4, 1u), 1, 300);
    TTrendSample sample;
    ASSERT_TRUE(model->TrendQueue.Pop(sample));
    EXPECT_EQ(sample.Parameter, 4);
    EXPECT_EQ(sample.Value, GATEWAY_MTU_SENSOR_DEFECT);
    EXPECT_EQ(sample.RxTime2, 200u);
    EXPECT_FALSE(model->TrendQueue.Pop(sample));
}

TEST(TrendQueue, OneProducerAndOneConsumerAtOnceLoseNothingUnaccounted)
{
    auto queue = std::make_unique<TTrendQueue>();
    constexpr int32_t COUNT = 200000;
    std::thread producer([&] {
        for (int32_t i = 0; i < COUNT; ++i)
            queue->Push({i, uint32_t(i), 2});
    });
    int32_t received = 0, last = -1;
    bool ordered = true;
    TTrendSample sample;
    while (received + int64_t(queue->Dropped()) < COUNT) {
        if (!queue->Pop(sample)) {
            std::this_thread::yield();
            continue;
        }
        ordered = ordered && sample.Value > last && sample.RxTime2 == uint32_t(sample.Value);
        last = sample.Value;
        ++received;
    }
    producer.join();
    while (queue->Pop(sample))
        ++received;
    EXPECT_TRUE(ordered);
    EXPECT_EQ(received + int64_t(queue->Dropped()), COUNT);
}

} // namespace
