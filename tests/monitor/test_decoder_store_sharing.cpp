// A receive thread decodes MTU values while another thread reads them as the
// display pass does. Built twice: against the monitor as shipped, where
// ThreadSanitizer must stay silent, and with the values in plain cells,
// where it must report the race (the check that it can see one at all).
#include "MonitorModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

TEST(DecoderStoreSharing, DisplayReadsValuesWhileTheDecoderStoresThem)
{
    TMonitorModel model;
    // The decoder runs until the reader has seen enough passes, so the two
    // overlap however the threads are scheduled.
    std::atomic<bool> enough{false};
    std::thread decoder([&] {
        for (uint32_t i = 0; !enough.load(std::memory_order_relaxed); ++i) {
            const uint8_t pdo[8] = {0, uint8_t(GATEWAY_INDEX_MTU_PARAMETER), uint8_t(GATEWAY_INDEX_MTU_PARAMETER >> 8),
                                    uint8_t(1 + i % 8), uint8_t(i), uint8_t(i >> 8), 0, 0};
            model.DecodePdoData(0, 8, pdo, i, i);
        }
    });
    int passes = 0;
    while (passes < 200) {
        if (model.MtuDataChanged.exchange(0, std::memory_order_acquire) == 0)
            continue;
        ++passes;
        for (int n = 1; n <= 8; ++n)
            EXPECT_NE(model.MtuValue[n].load(std::memory_order_relaxed), int32_t(0x80000001u));
    }
    enough.store(true, std::memory_order_relaxed);
    decoder.join();
}
