#include "devices/AudDataDeinterleave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// An interleaved block whose every byte differs: byte i is i * 7 + 1.
std::vector<unsigned char> Block(int frames, int sampleBytes)
{
    std::vector<unsigned char> block(static_cast<std::size_t>(frames * sampleBytes * 2));
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 7 + 1);
    return block;
}

// Sample `s` (0 left, 1 right) of frame `f`, its bytes as the channel
// buffer should hold them.
std::vector<unsigned char> Expected(const std::vector<unsigned char>& block, int f, int s, int sampleBytes,
                                    bool bigEndian)
{
    const auto at = block.begin() + (2 * f + s) * sampleBytes;
    std::vector<unsigned char> sample(at, at + sampleBytes);
    if (bigEndian)
        std::reverse(sample.begin(), sample.end());
    return sample;
}

TEST(AudDataDeinterleaveTest, EachSampleGoesToItsChannelInTheChannelsByteOrder)
{
    constexpr int kFrames = 37;
    for (int bits : {16, 24, 32}) {
        for (bool bigEndian : {false, true}) {
            const int bytes = bits / 8;
            const std::vector<unsigned char> block = Block(kFrames, bytes);
            // One byte of room after each channel, which must stay as it was.
            std::vector<unsigned char> left(static_cast<std::size_t>(kFrames * bytes + 1), 0xEE);
            std::vector<unsigned char> right(left);
            (bigEndian ? DeinterleaveBigEndian : Deinterleave)(bits, block.data(), left.data(), right.data(),
                                                               kFrames);
            for (int f = 0; f < kFrames; ++f) {
                const auto l = left.begin() + f * bytes;
                const auto r = right.begin() + f * bytes;
                ASSERT_EQ(Expected(block, f, 0, bytes, bigEndian), std::vector<unsigned char>(l, l + bytes))
                    << bits << " bits, frame " << f << (bigEndian ? " MSB" : " LSB");
                ASSERT_EQ(Expected(block, f, 1, bytes, bigEndian), std::vector<unsigned char>(r, r + bytes))
                    << bits << " bits, frame " << f << (bigEndian ? " MSB" : " LSB");
            }
            EXPECT_EQ(0xEE, left.back());
            EXPECT_EQ(0xEE, right.back());
        }
    }
}

TEST(AudDataDeinterleaveTest, SixteenBitWordsSplitIntoLowAndHighHalves)
{
    const std::uint32_t words[] = {0x8001'7FFFu, 0x0002'FFFEu};
    std::int16_t left[2] = {};
    std::int16_t right[2] = {};
    Deinterleave(16, words, left, right, 2);
    EXPECT_EQ(0x7FFF, left[0]);
    EXPECT_EQ(-0x7FFF, right[0]);
    EXPECT_EQ(-2, left[1]);
    EXPECT_EQ(2, right[1]);
}

TEST(AudDataDeinterleaveTest, OtherWidthsWriteNothing)
{
    const std::vector<unsigned char> block = Block(4, 4);
    std::vector<unsigned char> left(16, 0xEE);
    std::vector<unsigned char> right(16, 0xEE);
    Deinterleave(20, block.data(), left.data(), right.data(), 4);
    DeinterleaveBigEndian(8, block.data(), left.data(), right.data(), 4);
    EXPECT_EQ(std::vector<unsigned char>(16, 0xEE), left);
    EXPECT_EQ(std::vector<unsigned char>(16, 0xEE), right);
}

}  // namespace
