#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/FaderTaper.h"

using mvmedia::FaderPositionToGain;

TEST(FaderTaper, SilenceUnityAndTheTop)
{
    EXPECT_EQ(0.0f, FaderPositionToGain(0.0f));
    EXPECT_EQ(0.0f, FaderPositionToGain(-0.5f));
    EXPECT_EQ(1.0f, FaderPositionToGain(101.0f / 127.0f));
    EXPECT_EQ(1.0f, FaderPositionToGain(0.7952f));
    EXPECT_FLOAT_EQ(2.0f, FaderPositionToGain(1.0f));
    EXPECT_NEAR(6.02, 20.0 * std::log10(FaderPositionToGain(1.0f)), 0.01);
}

TEST(FaderTaper, EachSegmentFollowsItsExponentAndOwnsItsUpperEdge)
{
    struct Segment {
        double from, to, slope, offset;
    } segments[] = {{0.0, 14.0 / 127, 635.0 / 12, -12.5},
                    {14.0 / 127, 35.0 / 127, 1270.0 / 63, -80.0 / 9},
                    {35.0 / 127, 58.0 / 127, 635.0 / 68, -100.0 / 17},
                    {58.0 / 127, 1.0, 127.0 / 26, -101.0 / 26}};
    for (const Segment& s : segments) {
        float last = 0.0f;
        for (int i = 1; i <= 100; ++i) {
            const float p = static_cast<float>(s.from + (s.to - s.from) * i / 100.0);
            if (p >= 0.7951756f && p <= 0.7953756f)
                continue;
            const float g = FaderPositionToGain(p);
            EXPECT_NEAR(std::exp2(s.slope * p + s.offset), g, g * 1e-6) << p;
            EXPECT_GT(g, last) << p;
            last = g;
        }
    }
    // An edge belongs to the segment below it.
    const float edge = 58.0f / 127.0f;
    EXPECT_NEAR(std::exp2(635.0 / 68 * edge - 100.0 / 17), FaderPositionToGain(edge), 1e-6);
}
