#include "platform/audio/JackSampleConvert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(JackSampleConvertTest, IntegersBecomeFloatScaledByTwoToTheMinus31)
{
    const std::int32_t in[] = {0, INT_MIN, 1 << 30, -(1 << 30), 256, INT_MAX, 0x12345600};
    const float expected[] = {0.0f, -1.0f, 0.5f, -0.5f, 0x1p-23f, 1.0f, static_cast<float>(0x12345600) / 0x1p31f};
    float out[7];
    Int32ToJackFloat(out, in, 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(expected[i], out[i]) << i;
}

TEST(JackSampleConvertTest, FloatBecomesIntegersRoundedAndSaturated)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float in[] = {0.0f, 1.0f, -1.0f, 0.5f, 2.0f, -2.0f, nan, 0x1p-31f, -0x1p-32f};
    const std::int32_t expected[] = {0,       INT_MAX, -INT_MAX, 1073741824, INT_MAX,
                                     INT_MIN, 0,       1,        0};
    std::int32_t out[9];
    JackFloatToInt32(out, in, 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(expected[i], out[i]) << i;
}

TEST(JackSampleConvertTest, TwentyFourBitValuesSurviveTheRoundTrip)
{
    // Float holds 24 significant bits: integers of 24 bits placed at the
    // top of the word come back exactly.
    std::int32_t in[512];
    for (int i = 0; i < 512; ++i)
        in[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>((i * 32749) % 16777216 - 8388608) << 8);
    float mid[512];
    std::int32_t back[512];
    Int32ToJackFloat(mid, in, 512);
    JackFloatToInt32(back, mid, 512);
    for (int i = 0; i < 512; ++i)
        EXPECT_NEAR(in[i], back[i], 1) << i;  // 2^31 - 1 against 2^31: at most one step
}

}  // namespace
