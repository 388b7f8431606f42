// The bus health line as the status bars show it.
#include "BusHealthPanel.h"

#include <gtest/gtest.h>

TEST(BusHealthText, TrafficSilenceAndBusOffInWords)
{
    BusStatistics s{};
    s.State = QELCOPN_BUS_ERROR_ACTIVE;
    s.FramesPerSecondReceived = 916;
    s.FramesPerSecondSent = 10;
    s.LoadPermille = 414;
    s.SilentMs = 1;
    EXPECT_EQ(BusHealthText(s).toStdString(), "Bus: error active, 926 frames/s, load 41 %, 0 errors, 0 lost");

    s.State = QELCOPN_BUS_OFF;
    s.SilentMs = 3200;
    s.LoadPermille = 0;
    s.ErrorFrames = 1;
    s.FramesLost = 12;
    EXPECT_EQ(BusHealthText(s).toStdString(), "Bus: bus-off, silent for 3 s, load 0 %, 1 error, 12 lost");

    s.State = QELCOPN_BUS_ERROR_PASSIVE;
    s.SilentMs = QELCOPN_NEVER_HEARD;
    s.ErrorFrames = 2;
    EXPECT_EQ(BusHealthText(s).toStdString(), "Bus: error passive, nothing heard, load 0 %, 2 errors, 12 lost");
}
