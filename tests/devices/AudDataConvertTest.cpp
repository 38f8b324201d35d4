#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "devices/AudDataConvert.h"

namespace {

std::vector<BYTE> Packed(std::vector<float> in)
{
    std::vector<BYTE> out(in.size() * 3 + 4, 0xEE);
    Float24ToPacked(out.data(), in.data(), static_cast<int>(in.size()), kScale24Out, 1, 3);
    return out;
}

}  // namespace

TEST(AudDataConvert, PackedOutputRoundsSaturatesAndWritesExactlyTheSamples)
{
    std::vector<BYTE> out = Packed({1.0f, -1.0f, 2.0f, -2.0f, 0.0f});
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0x00, 0x00,
                                 0x00, 0xEE, 0xEE, 0xEE, 0xEE}),
              out);
}

TEST(AudDataConvert, PackedOutputOfALongBlockEndsExactlyAtItsLastSample)
{
    std::vector<float> in(1000);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(i) / 1000.0f - 0.5f;
    std::vector<BYTE> out = Packed(in);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::int32_t v = static_cast<std::int32_t>(out[3 * i] | (out[3 * i + 1] << 8) | (out[3 * i + 2] << 16) |
                                                         ((out[3 * i + 2] & 0x80) ? 0xFF000000u : 0u));
        ASSERT_EQ(static_cast<std::int32_t>(std::nearbyint(static_cast<double>(in[i]) * kScale24Out)), v) << i;
    }
    EXPECT_EQ(0xEE, out[3000]);
}

TEST(AudDataConvert, StridedOutputWritesOnePairPerFrame)
{
    const float in[4] = {1.0f, -1.0f, 0.5f, -0.5f};
    std::vector<BYTE> packed(16, 0xEE);
    Float24ToPacked(packed.data(), in, 4, kScale24Out, 2, 8);
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0xEE, 0xEE, 0x00, 0x00, 0x40, 0x00, 0x00, 0xC0,
                                 0xEE, 0xEE}),
              packed);
    std::vector<std::int32_t> words(6, 77);
    Float24To32(words.data(), in, 4, kScale24Out, 2, 12);
    EXPECT_EQ((std::vector<std::int32_t>{8388607, -8388607, 77, 4194304, -4194304, 77}), words);
}

TEST(AudDataConvert, WordsAreLowOrHighAligned)
{
    const float in[3] = {1.0f, -1.0f, 0.0f};
    std::int32_t words[3];
    Float24To32(words, in, 3, kScale24Out, 1, 4);
    EXPECT_EQ(0x007FFFFF, words[0]);
    EXPECT_EQ(static_cast<std::int32_t>(0xFF800001u), words[1]);
    ShiftWordsLeft8(words, 3);
    EXPECT_EQ(0x7FFFFF00, words[0]);
    EXPECT_EQ(static_cast<std::int32_t>(0x80000100u), words[1]);
    EXPECT_EQ(0, words[2]);
}

TEST(AudDataConvert, InputIsScaledByTheIntegerRange)
{
    const short s16[3] = {-32768, 16384, 32767};
    float f[3];
    Int16ToFloat(f, s16, 3);
    EXPECT_EQ(-1.0f, f[0]);
    EXPECT_EQ(0.5f, f[1]);

    const std::int32_t low[2] = {8388607, -8388608};
    Int32ToFloat(f, low, 2, false);
    EXPECT_FLOAT_EQ(0.99999988f, f[0]);
    EXPECT_EQ(-1.0f, f[1]);
    const std::int32_t high[2] = {0x7FFFFF00, static_cast<std::int32_t>(0x80000000u)};
    Int32ToFloat(f, high, 2, true);
    EXPECT_FLOAT_EQ(0.99999988f, f[0]);
    EXPECT_EQ(-1.0f, f[1]);

    const BYTE packed[6] = {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80};
    Packed24ToFloat(f, packed, 2);
    EXPECT_FLOAT_EQ(0.99999988f, f[0]);
    EXPECT_EQ(-1.0f, f[1]);
}
