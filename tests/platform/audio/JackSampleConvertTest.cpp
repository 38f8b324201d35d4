#include "platform/audio/JackSampleConvert.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(JackSampleConvertTest, TwentyFourBitSamplesBecomeFloatScaledBy1Over8388608)
{
    const std::int32_t in[] = {0, -8388608, 4194304, -4194304, 1, 8388607, 0x7FFFFF00 >> 8,
                               // The top byte is not part of the sample.
                               0x12000001, static_cast<std::int32_t>(0xFF7FFFFFu), 0x00800000};
    const float expected[] = {0.0f, -1.0f, 0.5f, -0.5f, 0x1p-23f, 8388607.0f / 8388608.0f, 8388607.0f / 8388608.0f,
                              0x1p-23f, 8388607.0f / 8388608.0f, -1.0f};
    constexpr int n = static_cast<int>(std::size(in));
    float out[n];
    Int24In32ToJackFloat(out, in, n);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(expected[i], out[i]) << i;
}

TEST(JackSampleConvertTest, FloatBecomes24BitSamplesRoundedAndSaturated)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float in[] = {0.0f, 1.0f, -1.0f, 0.5f, 2.0f, -2.0f, nan, 0x1p-23f, -0x1p-25f};
    const std::int32_t expected[] = {0, 8388607, -8388607, 4194304, 8388607, -8388608, 0, 1, 0};
    constexpr int n = static_cast<int>(std::size(in));
    std::int32_t out[n];
    JackFloatToInt24In32(out, in, n);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(expected[i], out[i]) << i;
}

TEST(JackSampleConvertTest, EverySampleSurvivesTheRoundTripWithinOneStep)
{
    // Float holds 24 significant bits; the two scales differ by one step at full scale.
    std::int32_t in[4096];
    for (int i = 0; i < 4096; ++i)
        in[i] = (i * 32749) % 16777216 - 8388608;
    float mid[4096];
    std::int32_t back[4096];
    Int24In32ToJackFloat(mid, in, 4096);
    JackFloatToInt24In32(back, mid, 4096);
    for (int i = 0; i < 4096; ++i)
        EXPECT_NEAR(in[i], back[i], 1) << i;
}

}  // namespace
