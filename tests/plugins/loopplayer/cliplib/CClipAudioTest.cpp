#include "plugins/loopplayer/cliplib/CClipAudio.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

CClipAudio* Sine(DWORD rate, double hz, LONG frames, WORD channels = 1)
{
    CClipAudio* a = CClipAudio::Create(channels, rate, frames);
    for (LONG i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            a->GetSamples()[size_t(i) * channels + c] = float(std::sin(2 * kPi * hz * i / rate));
    a->SetGuardFrame();
    return a;
}

// The peak level of a store's first channel away from its edges.
float InnerPeak(const CClipAudio* a)
{
    float peak = 0;
    for (LONG i = a->GetFrames() / 4; i < a->GetFrames() * 3 / 4; ++i)
        peak = std::max(peak, std::fabs(a->GetSamples()[size_t(i) * a->GetChannels()]));
    return peak;
}

}  // namespace

TEST(CClipAudio, ResamplerTapCounts)
{
    EXPECT_EQ(ResamplerTaps(22050.0 / 44100.0), 20);  // 18 raised to the minimum of 20
    EXPECT_EQ(ResamplerTaps(44100.0 / 22050.0), 6);
    EXPECT_EQ(ResamplerTaps(1.0), 6);
    EXPECT_EQ(ResamplerTaps(0.25), 36);  // round(8 / 0.225) = 36
}

TEST(CClipAudio, SameRateChangesNothing)
{
    CClipAudio* a = Sine(44100, 440, 1000);
    std::vector<float> before(a->GetSamples(), a->GetSamples() + 1001);
    EXPECT_EQ(a->Resample(44100, true), S_FALSE);
    EXPECT_EQ(std::vector<float>(a->GetSamples(), a->GetSamples() + 1001), before);
    a->Release();
}

TEST(CClipAudio, ResamplingKeepsTonesBelowTheNewBandAndDropsThoseAbove)
{
    struct Case {
        const char* name;
        DWORD from, to;
        double hz;
        float lo, hi;  // expected inner peak
    } cases[] = {
        {"up 44.1k to 48k, 1 kHz", 44100, 48000, 1000, 0.98f, 1.02f},
        {"down 44.1k to 22.05k, 1 kHz", 44100, 22050, 1000, 0.98f, 1.02f},
        {"down 44.1k to 22.05k, 15 kHz above the new band", 44100, 22050, 15000, 0.0f, 0.05f},
        {"up 22.05k to 44.1k, 2 kHz", 22050, 44100, 2000, 0.97f, 1.03f},
    };
    for (auto& c : cases) {
        CClipAudio* a = Sine(c.from, c.hz, 4410, 2);
        ASSERT_EQ(a->KeepLoadedCopy(), S_OK);
        ASSERT_EQ(a->Resample(c.to, true), S_OK) << c.name;
        EXPECT_EQ(a->GetSampleRate(), c.to);
        EXPECT_EQ(a->GetFrames(), LONG(std::lround(4410.0 * c.to / c.from))) << c.name;
        EXPECT_DOUBLE_EQ(a->GetRateRatio(), double(c.to) / c.from);
        float peak = InnerPeak(a);
        EXPECT_GE(peak, c.lo) << c.name;
        EXPECT_LE(peak, c.hi) << c.name;
        // The guard frame repeats the last frame.
        LONG n = a->GetFrames();
        EXPECT_EQ(a->GetSamples()[size_t(n) * 2], a->GetSamples()[size_t(n - 1) * 2]);
        a->Release();
    }
}

TEST(CClipAudio, BackToTheLoadedRateRestoresTheLoadedSamples)
{
    CClipAudio* a = Sine(44100, 440, 500, 2);
    ASSERT_EQ(a->KeepLoadedCopy(), S_OK);
    std::vector<float> loaded(a->GetSamples(), a->GetSamples() + 1000);
    ASSERT_EQ(a->Resample(48000, true), S_OK);
    ASSERT_EQ(a->Resample(44100, true), S_OK);
    EXPECT_EQ(a->GetFrames(), 500);
    EXPECT_EQ(a->GetRateRatio(), 1.0);
    EXPECT_EQ(std::vector<float>(a->GetSamples(), a->GetSamples() + 1000), loaded);
    a->Release();
}

TEST(CClipAudio, PeakOverviewHoldsEachBucketsExtremes)
{
    CClipAudio* a = CClipAudio::Create(2, 44100, 8);
    const float left[8] = {0.1f, -0.2f, 0.3f, 0.0f, -0.9f, -0.5f, 0.25f, 0.5f};
    for (int i = 0; i < 8; ++i) {
        a->GetSamples()[2 * i] = left[i];
        a->GetSamples()[2 * i + 1] = 0.5f;
    }
    a->BuildOverview(2);
    EXPECT_EQ(a->GetPeak(0, 0), std::make_pair(-0.2f, 0.3f));
    EXPECT_EQ(a->GetPeak(1, 0), std::make_pair(-0.9f, 0.5f));
    EXPECT_EQ(a->GetPeak(1, 1), std::make_pair(0.5f, 0.5f));
    a->BuildOverview(0);
    EXPECT_EQ(a->GetOverviewBuckets(), 0);
    EXPECT_EQ(a->GetPeak(0, 0), std::make_pair(0.0f, 0.0f));
    a->Release();
}
