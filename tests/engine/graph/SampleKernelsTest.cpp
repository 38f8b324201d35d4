#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/graph/SampleKernels.h"

namespace {

std::vector<float> Noise(int n, unsigned seed, float amplitude)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-amplitude, amplitude);
    std::vector<float> v(static_cast<std::size_t>(n));
    for (float& x : v)
        x = d(rng);
    return v;
}

// Values whose scaled product lands on or right beside a .5 tie, plus the
// specials: what a vector path most easily gets wrong.
std::vector<float> Awkward(double scale)
{
    std::vector<float> v;
    for (int k = -40; k <= 40; ++k) {
        const float tie = static_cast<float>((k + 0.5) / scale);
        v.push_back(tie);
        v.push_back(std::nextafter(tie, 10.0f));
        v.push_back(std::nextafter(tie, -10.0f));
    }
    const float inf = std::numeric_limits<float>::infinity();
    for (float x : {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 1.5f, -1.5f, 2.0f, -2.0f, 1e30f, -1e30f, inf, -inf,
                    std::numeric_limits<float>::quiet_NaN(), 1e-20f, -1e-45f})
        v.push_back(x);
    return v;
}

}  // namespace

TEST(SampleKernels, PeakSquareOfAShortBlock)
{
    const float x[] = {0.5f, -0.8f, 0.1f};
    EXPECT_EQ(0.8f * 0.8f, PeakSquare(x, 3, 1));
    EXPECT_FLOAT_EQ(0.64f, PeakSquare(x, 3, 1));
    EXPECT_EQ(0.0f, PeakSquare(x, 0, 1));
}

TEST(SampleKernels, TheSilencePatternMeasuresFarBelowTheQuietThreshold)
{
    std::vector<float> silence(512);
    FillSilence(silence.data(), 512);
    EXPECT_LT(PeakSquare(silence.data(), 256, 2), 1e-30f);
    EXPECT_GT(PeakSquare(silence.data(), 256, 2), 0.0f);
}

TEST(SampleKernels, PlainAndSseMeasureTheSameBits)
{
    for (int frames : {0, 1, 3, 4, 7, 64, 255, 441}) {
        for (int channels : {1, 2}) {
            std::vector<float> x = Noise(frames * channels, 17u + static_cast<unsigned>(frames), 1.5f);
            if (frames > 2)
                x[1] = std::numeric_limits<float>::quiet_NaN();
            LEVEL_STATE plain{0.1f, 0.2f, 0.0f, 0.3f, 0.4f};
            LEVEL_STATE sse = plain;
            MeasureLevel(&plain, channels, LEVEL_PEAK | LEVEL_SUM, x.data(), frames);
            MeasureLevelSSE(&sse, channels, LEVEL_PEAK | LEVEL_SUM, x.data(), frames);
            EXPECT_EQ(0, std::memcmp(&plain, &sse, sizeof plain)) << frames << " frames, " << channels << " ch";
        }
    }
}

TEST(SampleKernels, MeasureLevelKeepsChannelsApartAndIgnoresOtherCounts)
{
    const float x[] = {0.5f, -0.25f, 0.1f, 0.75f};
    LEVEL_STATE s{};
    MeasureLevel(&s, 2, LEVEL_PEAK | LEVEL_SUM, x, 2);
    EXPECT_EQ(0.25f, s.peak1);
    EXPECT_EQ(0.5625f, s.peak2);
    EXPECT_FLOAT_EQ(0.26f, s.sum1);
    EXPECT_FLOAT_EQ(0.625f, s.sum2);
    LEVEL_STATE before = s;
    MeasureLevel(&s, 3, LEVEL_PEAK, x, 1);
    EXPECT_EQ(0, std::memcmp(&before, &s, sizeof s));
    // Peaks only: the sums stay.
    MeasureLevel(&s, 1, LEVEL_PEAK, x, 4);
    EXPECT_EQ(before.sum1, s.sum1);
}

TEST(SampleKernels, FloatToInt16RoundsToNearestEvenAndSaturates)
{
    struct Case {
        float in;
        short out;
    } cases[] = {{1.0f, 32767},  {-1.0f, -32767}, {-1.5f, -32768}, {2.0f, 32767}, {0.0f, 0},
                 {0.5f, 16384},  {-0.5f, -16384}, {1e-20f, 0},     {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const Case& c : cases) {
        short out[2] = {};
        const float in[2] = {c.in, c.in};
        FloatToInt16(out, in, 2, 32767.0, 2, 4);
        EXPECT_EQ(c.out, out[0]) << c.in;
        EXPECT_EQ(c.out, out[1]) << c.in;
    }
}

TEST(SampleKernels, VectorConversionMatchesThePlainOneBitForBit)
{
    for (double scale : {32767.0, 8388607.0}) {
        const double hi = scale == 32767.0 ? 32767.0 : 8388607.0;
        std::vector<float> x = Awkward(scale);
        std::vector<float> noise = Noise(1001, 5, 1.2f);
        x.insert(x.end(), noise.begin(), noise.end());
        const int n = static_cast<int>(x.size());
        std::vector<std::int32_t> fast(x.size()), sse2(x.size()), plain(x.size());
        FloatToIntRange(fast.data(), x.data(), n, scale, -hi - 1, hi);
        FloatToIntRangeSse2(sse2.data(), x.data(), n, scale, -hi - 1, hi);
        FloatToIntRangePlain(plain.data(), x.data(), n, scale, -hi - 1, hi);
        EXPECT_EQ(plain, fast) << scale;
        EXPECT_EQ(plain, sse2) << scale;
        if (HasAvx2()) {
            std::vector<std::int32_t> avx2(x.size());
            FloatToIntRangeAvx2(avx2.data(), x.data(), n, scale, -hi - 1, hi);
            EXPECT_EQ(plain, avx2) << scale;
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double v = static_cast<double>(x[i]) * scale;
            const double want = std::isnan(v) ? 0.0 : std::nearbyint(std::fmin(std::fmax(v, -hi - 1), hi));
            ASSERT_EQ(static_cast<std::int32_t>(want), plain[i]) << x[i];
        }
    }
}

TEST(SampleKernels, ConversionFollowsTheCurrentRoundingMode)
{
    // Eight values so that the vector path is taken, with scale 1 so that
    // the ties are exact.
    const float x[8] = {0.5f, 1.5f, 2.5f, -0.5f, 0, 0, 0, 0};
    short nearest[8], down[8];
    FloatToInt16(nearest, x, 8, 1.0, 1, 2);
    const int saved = std::fegetround();
    std::fesetround(FE_DOWNWARD);
    FloatToInt16(down, x, 8, 1.0, 1, 2);
    std::fesetround(saved);
    EXPECT_EQ(0, nearest[0]);
    EXPECT_EQ(2, nearest[1]);
    EXPECT_EQ(2, nearest[2]);
    EXPECT_EQ(0, nearest[3]);
    EXPECT_EQ(0, down[0]);
    EXPECT_EQ(1, down[1]);
    EXPECT_EQ(2, down[2]);
    EXPECT_EQ(-1, down[3]);
}

TEST(SampleKernels, FloatToInt16WritesStereoPairsIntoWiderFrames)
{
    const float x[4] = {0.5f, -0.5f, 1.0f, -1.0f};
    short out[8];
    std::fill(out, out + 8, short(77));
    FloatToInt16(out, x, 4, 32767.0, 2, 8);
    EXPECT_EQ((std::vector<short>{16384, -16384, 77, 77, 32767, -32767, 77, 77}), std::vector<short>(out, out + 8));
    FloatToInt16(out, x, 0, 32767.0, 2, 4);
    EXPECT_EQ(16384, out[0]);
}

TEST(SampleKernels, FillFloatBufferWritesZerosOrTheAlternatingPattern)
{
    std::vector<float> v(11, 9.0f);
    FillFloatBuffer(v.data(), 10, FALSE, 3.0f);
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}), v);
    FillFloatBuffer(v.data(), 10, TRUE, 3.0f);
    EXPECT_EQ((std::vector<float>{3, 3, 0, 0, 3, 3, 0, 0, 3, 3, 9}), v);
    FillFloatBuffer(v.data(), 0, TRUE, 5.0f);
    EXPECT_EQ(3.0f, v[0]);
}
