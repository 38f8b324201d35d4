#include "plugins/loopplayer/cliplib/CClipSlice.h"

#include <gtest/gtest.h>

#include <cmath>

#include "plugins/loopplayer/cliplib/CClipAudio.h"

namespace {

// A mono store whose frame i holds i + 1, so every output sample shows which
// source frames made it.
CClipAudio* Ramp(DWORD rate, LONG frames, WORD channels = 1)
{
    CClipAudio* a = CClipAudio::Create(channels, rate, frames);
    for (LONG i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) a->GetSamples()[size_t(i) * channels + c] = float(i + 1) * (c ? -1 : 1);
    a->SetGuardFrame();
    return a;
}

struct SliceFixture {
    CClipAudio* audio;
    CClipSlice slice;
    SliceFixture(DWORD rate, LONG frames, WORD channels = 1) : audio(Ramp(rate, frames, channels))
    {
        slice.Attach(audio, 0);
        slice.SetLength(frames, CClipSlice::kUnitSamples);
    }
    ~SliceFixture() { audio->Release(); }

    // The whole stretched slice, mono output, gain 1, centre pan.
    std::vector<float> Render(LONG target, LONG extra = 0, int block = 0) const
    {
        LONG total = (target < 1 ? slice.GetLength(CClipSlice::kUnitSamples) : target) + extra;
        std::vector<float> out(size_t(total), 0.0f);
        if (block <= 0) block = total;
        for (LONG at = 0; at < total; at += block)
            slice.RenderSlice(at, at, std::min<LONG>(block, total - at), target, out.data(), 1, 1.0f, 0.5f);
        return out;
    }
};

}  // namespace

TEST(CClipSlice, UnchangedLengthPlaysTheSliceAsItIs)
{
    SliceFixture f(44100, 300);
    auto out = f.Render(0, 5);
    for (LONG i = 0; i < 300; ++i) ASSERT_EQ(out[size_t(i)], float(i + 1)) << i;
    for (LONG i = 300; i < 305; ++i) EXPECT_EQ(out[size_t(i)], 0.0f) << "nothing after the slice";
}

TEST(CClipSlice, ShorteningCrossfadesTheTailInEarly)
{
    SliceFixture f(44100, 1000);
    auto out = f.Render(900, 10);
    // Crossfade min(R/4, 720) = 720: frames 0..179 pass unchanged.
    for (LONG i = 0; i < 180; ++i) ASSERT_EQ(out[size_t(i)], float(i + 1)) << i;
    for (LONG t : {180L, 500L, 899L}) {
        double x = (t - 180) / 720.0;
        double expected = (t + 1) * (1 - x * x) + (t + 100 + 1) * (1 - (1 - x) * (1 - x));
        EXPECT_NEAR(out[size_t(t)], expected, 1e-3 * expected) << t;
    }
    for (LONG i = 900; i < 910; ++i) EXPECT_EQ(out[size_t(i)], 0.0f);
}

TEST(CClipSlice, NearlyEqualLengthsCrossfadeBriefly)
{
    // 1000 frames into 1010 at 8 kHz: under 1.04 the crossfade is at most
    // R / 40 = 200 frames, so the first 800 frames are the slice's own and
    // the output ends on the slice's last frame.
    SliceFixture f(8000, 1000);
    auto out = f.Render(1010, 4);
    for (LONG i = 0; i < 800; ++i) ASSERT_EQ(out[size_t(i)], float(i + 1)) << i;
    EXPECT_EQ(out[800], 801.0f) << "the crossfade starts at full gain";
    EXPECT_NE(out[801], 802.0f);
    EXPECT_EQ(out[1009], 1000.0f);
    for (LONG i = 1010; i < 1014; ++i) EXPECT_EQ(out[size_t(i)], 0.0f);

    // 1000 into 990 shortens by less than 1.04: at most 200 frames of
    // crossfade, so 790 frames pass unchanged.
    auto shorter = f.Render(990);
    for (LONG i = 0; i < 791; ++i) ASSERT_EQ(shorter[size_t(i)], float(i + 1)) << i;
    EXPECT_NE(shorter[791], 792.0f);
}

TEST(CClipSlice, LengtheningRepeatsFromTheRestartFrameAndFillsTheTarget)
{
    // 1000 frames into 3000: k = 500, 5 repeats of 400 frames from frame 600,
    // crossfades of 400 frames.
    SliceFixture f(44100, 1000);
    auto out = f.Render(3000, 8);
    for (LONG i = 0; i < 600; ++i) ASSERT_EQ(out[size_t(i)], float(i + 1)) << i;
    // In the first crossfade the slice's end fades out as frame 200 onwards fades in.
    for (LONG t : {600L, 800L, 999L}) {
        double x = (t - 600) / 400.0;
        double expected = (t + 1) * (1 - x * x) + (t - 400 + 1) * (1 - (1 - x) * (1 - x));
        EXPECT_NEAR(out[size_t(t)], expected, 1e-3 * expected) << t;
    }
    EXPECT_NEAR(out[2999], 1000.0f, 1e-2) << "the last repeat ends on the slice's last frame";
    for (LONG i = 0; i < 3000; ++i) ASSERT_GT(out[size_t(i)], 0.0f) << "no gap at " << i;
    for (LONG i = 3000; i < 3008; ++i) EXPECT_EQ(out[size_t(i)], 0.0f);
}

TEST(CClipSlice, RenderingInBlocksEqualsOneCall)
{
    SliceFixture f(44100, 1000);
    for (LONG target : {900L, 1000L, 1010L, 3000L, 1700L, 450L})
        for (int block : {64, 37, 1}) {
            auto whole = f.Render(target);
            auto blocks = f.Render(target, 0, block);
            for (size_t i = 0; i < whole.size(); ++i)
                ASSERT_NEAR(blocks[i], whole[i], 1e-3 * std::fabs(whole[i]) + 1e-4)
                    << "target " << target << " block " << block << " frame " << i;
        }
}

TEST(CClipSlice, PanAndGainSplitIntoLeftAndRight)
{
    SliceFixture f(44100, 4);
    f.slice.SetGain(0.5f);
    struct Case {
        const char* name;
        float clipPan, slicePan, left, right;
    } cases[] = {
        {"centre", 0.5f, 0.5f, 1.0f, 1.0f},
        {"clip hard left", 0.0f, 0.5f, 1.0f, 0.0f},
        {"slice hard right", 0.5f, 1.0f, 0.0f, 1.0f},
        {"both a quarter right", 0.75f, 0.75f, 0.25f, 1.0f},
    };
    for (auto& c : cases) {
        f.slice.SetPan(c.slicePan);
        std::vector<float> out(8, 0.0f);
        f.slice.RenderSlice(0, 0, 4, 0, out.data(), 2, 2.0f, c.clipPan);
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(out[size_t(2 * i)], c.left * (i + 1)) << c.name;
            EXPECT_FLOAT_EQ(out[size_t(2 * i + 1)], c.right * (i + 1)) << c.name;
        }
    }
}

TEST(CClipSlice, ShiftReadsTheSourceFasterOrSlower)
{
    SliceFixture f(44100, 200, 2);
    // An octave up into half the length reads every second frame exactly.
    std::vector<float> up(200, 0.0f);
    f.slice.RenderSliceShifted(0, 0, 100, 100, up.data(), 2, 1.0f, 0.5f, 12);
    for (int n = 0; n < 100; ++n) {
        ASSERT_FLOAT_EQ(up[size_t(2 * n)], float(2 * n + 1)) << n;
        ASSERT_FLOAT_EQ(up[size_t(2 * n + 1)], -float(2 * n + 1)) << n;
    }
    // An octave down into twice the length interpolates between frames.
    std::vector<float> down(800, 0.0f);
    f.slice.RenderSliceShifted(0, 0, 400, 400, down.data(), 2, 1.0f, 0.5f, -12);
    EXPECT_FLOAT_EQ(down[0], 1.0f);
    EXPECT_FLOAT_EQ(down[2], 1.5f);
    EXPECT_FLOAT_EQ(down[4], 2.0f);
    EXPECT_FLOAT_EQ(down[2 * 199 + 1], -100.5f);
    // An octave up at the slice's own length: twice the source, fitted by
    // lengthening; every frame sounds and none is written past the target.
    std::vector<float> fit(404, 0.0f);
    f.slice.RenderSliceShifted(0, 0, 202, 200, fit.data(), 2, 1.0f, 0.5f, 12);
    for (int n = 0; n < 200; ++n) ASSERT_GT(fit[size_t(2 * n)], 0.0f) << n;
    EXPECT_EQ(fit[400], 0.0f);
}
