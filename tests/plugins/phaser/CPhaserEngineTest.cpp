#include "CPhaserEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using mvphaser::CPhaserEngine;

// An engine as the plug-in leaves it after its first buffer: every
// parameter given, level glided to its target.
struct Engine {
    explicit Engine(float fs = 48000.0f)
    {
        e.SetFrame(frame);
        e.SetSampleRate(fs);
    }
    void Apply(float mode, float sync, float rate, float depth, float wave, float centre, float feedback, float level)
    {
        e.SetMode(mode);
        e.SetSync(sync);
        e.SetRate(rate);
        e.SetDepth(depth);
        e.SetWaveform(wave);
        e.SetCenterFrequency(centre);
        e.SetFeedback(feedback);
        e.SetLevel(level);
        e.SnapLevel();
    }
    void Step(float& l, float& r)
    {
        frame[0] = l;
        frame[1] = r;
        e.ProcessFrame();
        l = frame[0];
        r = frame[1];
    }
    CPhaserEngine e;
    float frame[2] = {0, 0};
};

TEST(CPhaserEngineTest, SettersGiveTheNumbersOfTheirCurves)
{
    Engine x;
    CPhaserEngine& e = x.e;
    struct ModeCase {
        float x;
        int mode;
    };
    for (const ModeCase& c : {ModeCase{1.0f, 3}, {0.77f, 3}, {0.256f, 0}, {0.26f, 1}, {0.0f, 0}, {0.6f, 2}}) {
        e.SetMode(c.x);
        EXPECT_EQ(c.mode, e.GetMode()) << c.x;
        EXPECT_EQ(c.mode != 0, e.IsEnabled()) << c.x;
    }
    e.SetWaveform(0.39f);
    EXPECT_EQ(CPhaserEngine::kSineCubed, e.GetWaveform());
    e.SetWaveform(1.0f);
    EXPECT_EQ(CPhaserEngine::kTriangle, e.GetWaveform());

    e.SetSync(0.0f);
    e.SetRate(0.0f);
    EXPECT_FLOAT_EQ(0.01f, e.LfoFrequency());
    e.SetRate(1.0f);
    EXPECT_FLOAT_EQ(10.0f, e.LfoFrequency());
    EXPECT_FLOAT_EQ(10.0f * 65536 / 48000, e.PhaseIncrement());
    e.SetRate(0.3f);
    EXPECT_NEAR(0.377, e.LfoFrequency(), 0.0005);
    e.SetRate(0.5f);
    EXPECT_NEAR(1.5, e.LfoFrequency(), 1e-5);

    e.SetCenterFrequency(0.2f);
    // 150..2300 Hz, as twice the hertz over the rate.
    EXPECT_FLOAT_EQ(300.0f / 48000, e.First().sweepLow);
    EXPECT_FLOAT_EQ(4600.0f / 48000, e.Second().sweepHigh);
    e.SetFeedback(0.7f);
    EXPECT_FLOAT_EQ(0.686f, e.First().feedback);
    e.SetDepth(0.4f);
    EXPECT_FLOAT_EQ(0.4f, e.Second().depth);
    e.SetLevel(0.5f);
    EXPECT_FLOAT_EQ(0.25f, e.LevelTarget());

    // A new rate parks the sweep until the centre comes again.
    e.SetSampleRate(44100.0f);
    EXPECT_FLOAT_EQ(0.1f, e.First().sweepLow);
    EXPECT_FLOAT_EQ(0.5f, e.Second().sweepHigh);
    EXPECT_FLOAT_EQ(1.5f * 65536 / 44100, e.PhaseIncrement()) << "the free-running rate follows the new rate";
}

TEST(CPhaserEngineTest, SyncRowsHaveTheirTextsAndPeriods)
{
    const char* texts[] = {"OFF", "16 D", "16",    "16 T", "8 D",  "8 ",    "8 T",   "4 D",   "4 ",
                           "4 T", "2 D",  "2 ",    "2 T",  "1 D",  "1",     "1 T",   "1/2 D", "1/2 ",
                           "1/2 T", "1/4 D", "1/4 ", "1/4 T", "1/8 D", "1/8 ", "1/8 T", "1/16", "1/32"};
    const double beats[] = {0,   24,  16,     32.0 / 3, 12,    8,       16.0 / 3, 6,       4,
                            8.0 / 3, 3, 2,    4.0 / 3,  1.5,   1,       2.0 / 3,  0.75,    0.5,
                            1.0 / 3, 0.375, 0.25, 1.0 / 6, 0.1875, 0.125, 1.0 / 12, 0.0625, 0.03125};
    for (int row = 0; row < CPhaserEngine::kSyncRows; ++row) {
        EXPECT_EQ(texts[row], std::string(CPhaserEngine::SyncText(row))) << row;
        EXPECT_EQ(beats[row], CPhaserEngine::SyncBeats(row)) << row;
    }
    EXPECT_EQ(0, CPhaserEngine::SyncRow(0.0f));
    EXPECT_EQ(26, CPhaserEngine::SyncRow(1.0f));
    EXPECT_EQ(5, CPhaserEngine::SyncRow(0.2f)) << "the default, \"8 \"";
}

TEST(CPhaserEngineTest, ASyncedLfoFollowsTheTempoAndTheRateWaitsForSyncOff)
{
    Engine x;
    CPhaserEngine& e = x.e;
    e.SetRate(0.3f);
    e.SetSync(14.0f / 26.9f + 0.001f);  // row 14, "1": one beat
    ASSERT_EQ(1.0, e.SyncBeatsInUse());
    EXPECT_EQ(0.0f, e.PhaseIncrement()) << "no tempo yet: the LFO stands still";
    e.SetTempo(120.0f);
    EXPECT_FLOAT_EQ(2.0f, e.LfoFrequency());
    e.SetRate(1.0f);
    EXPECT_FLOAT_EQ(2.0f, e.LfoFrequency()) << "the rate changes nothing while synced";
    e.SetPosition(2.25);  // a quarter into the third period
    EXPECT_FLOAT_EQ(16384.0f, e.Phase());
    e.SetPosition(-0.5);
    EXPECT_FLOAT_EQ(0.0f, e.Phase()) << "before the start the phase is 0";
    e.SetSync(0.0f);
    EXPECT_FLOAT_EQ(10.0f, e.LfoFrequency()) << "sync off: the rate given meanwhile rules";
    e.SetPosition(2.25);
    EXPECT_FLOAT_EQ(0.0f, e.Phase()) << "a free LFO is not aligned";
}

TEST(CPhaserEngineTest, TablesAndThePhaseWrap)
{
    Engine x(65536.0f);
    CPhaserEngine& e = x.e;
    const float* tri = e.Table(CPhaserEngine::kTriangle);
    EXPECT_EQ(0.0f, tri[0]);
    EXPECT_EQ(1.0f, tri[16384]);
    EXPECT_EQ(0.0f, tri[32768]);
    EXPECT_EQ(-1.0f, tri[49152]);
    const float* sine = e.Table(CPhaserEngine::kSine);
    const float* cubed = e.Table(CPhaserEngine::kSineCubed);
    EXPECT_FLOAT_EQ(1.0f, sine[16384]);
    EXPECT_FLOAT_EQ(-1.0f, sine[49152]);
    EXPECT_FLOAT_EQ(sine[1000] * sine[1000] * sine[1000], cubed[1000]);

    // One beat at 60 BPM and 65536 frames a second: one table step a frame.
    x.Apply(1.0f, 14.0f / 26.9f + 0.001f, 0, 0.5f, 0, 0.5f, 0, 1);
    e.SetTempo(60.0f);
    ASSERT_EQ(1.0f, e.PhaseIncrement());
    e.SetPhase(65535.0f);
    float l = 0.1f, r = 0.1f;
    x.Step(l, r);
    EXPECT_EQ(0.0f, e.Phase()) << "exactly 65536 wraps to 0";
}

TEST(CPhaserEngineTest, ModesShapeTheTwoSides)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-1, 1);
    {
        Engine mono;
        mono.Apply(0.26f, 0, 0.5f, 1, 0, 0.3f, 0.5f, 1);
        for (int i = 0; i < 4000; ++i) {
            float l = noise(rng), r = noise(rng);
            mono.Step(l, r);
            ASSERT_EQ(l, r) << "mono gives one signal on both sides";
        }
    }
    Engine quad;
    quad.Apply(1.0f, 0, 0.5f, 1, 0, 0.3f, 0.5f, 1);
    float l = 0.2f, r = 0.2f;
    for (int i = 0; i < 1000; ++i) {
        quad.Step(l, r);
        ASSERT_EQ(quad.e.First().modulation, -quad.e.Second().modulation);
    }
    EXPECT_NE(0.0f, quad.e.First().modulation);

    Engine off;
    off.Apply(0.0f, 0, 0.5f, 1, 0, 0.3f, 0.5f, 1);
    l = 0.3f, r = -0.4f;
    off.Step(l, r);
    EXPECT_EQ(0.3f, l);
    EXPECT_EQ(-0.4f, r);
    EXPECT_EQ(0.0f, off.e.Phase()) << "off: the LFO does not run";
}

TEST(CPhaserEngineTest, TheLevelGlidesEverySixthFrameAndScalesDryAndWet)
{
    Engine x;
    x.Apply(0.6f, 0, 0.5f, 0, 0, 0.3f, 0, 1);  // stereo, no depth: dry times level
    x.e.SetLevel(0.5f);                         // target 0.25 from 1
    std::vector<float> out;
    for (int i = 0; i < 13; ++i) {
        float l = 1, r = 1;
        x.Step(l, r);
        out.push_back(l);
    }
    EXPECT_FLOAT_EQ(1 + (0.25f - 1) * 0.112f, out[0]) << "the first frame steps at once";
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(out[0], out[i]) << i;
    EXPECT_LT(out[6], out[5]);
    EXPECT_EQ(out[6], out[11]);
}

TEST(CPhaserEngineTest, SilenceAfterNoiseDecaysToExactZeros)
{
    Engine x;
    x.Apply(0.6f, 0, 0.5f, 1, 0, 0.3f, 0.9f, 1);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> noise(-1, 1);
    for (int i = 0; i < 4800; ++i) {
        float l = noise(rng), r = noise(rng);
        x.Step(l, r);
    }
    float l = 0, r = 0;
    for (int i = 0; i < 48000 * 4; ++i) {
        l = r = 0;
        x.Step(l, r);
    }
    EXPECT_EQ(0.0f, l);
    EXPECT_EQ(0.0f, r);
    for (float s : x.e.First().state)
        EXPECT_EQ(0.0f, s);
    EXPECT_EQ(0.0f, x.e.Second().lastOutput);
}

// The k-th notch (k = 1..4) of the dry signal plus eight first-order
// allpass stages with the chain's coefficient at this modulation: where
// the stages together turn the phase by an odd multiple of pi.
double PredictedNotchHz(int k, float modulation, float low, float high, double fs)
{
    const float b = low + (modulation + 1.0f) * 0.5f * (high - low);
    const double c = (1.0 - b) / (1.0 + b);
    auto depth = [&](double f) {
        const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * f / fs);
        std::complex<double> h = (-c + z) / (1.0 - c * z);
        h *= h;
        h *= h;
        h *= h;
        return std::abs(1.0 + h);
    };
    double previous = depth(1.0), current = depth(2.0);
    int found = 0;
    for (double f = 3.0; f < fs / 2; f += 1.0) {
        const double next = depth(f);
        if (current < previous && current <= next && current < 0.1 && ++found == k)
            return f - 1.0;
        previous = current;
        current = next;
    }
    return 0;
}

// White noise through a sweeping phaser: in each short window the third
// notch is found from the rendered samples (output over input spectrum on
// a grid of frequencies around where the LFO should put it), and it sits
// where the LFO puts it at that time, moving with the LFO's period.
TEST(CPhaserEngineTest, NotchesOfRenderedNoiseMoveAtTheLfoRate)
{
    constexpr double fs = 48000;
    constexpr int kWindow = 4096;
    constexpr int kHop = 1024;
    constexpr int kFrames = 48000 * 6;
    constexpr int kNotch = 3;
    Engine x(static_cast<float>(fs));
    x.Apply(0.6f, 0, 0.3f, 1.0f, 0, 0.2f, 0.0f, 1);  // stereo, 0.377 Hz sine, depth 1, no feedback
    const double lfo = x.e.LfoFrequency();
    const float low = x.e.First().sweepLow, high = x.e.First().sweepHigh;

    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0, 0.3f);
    std::vector<float> in(kFrames), out(kFrames), modulation(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        float l = in[i] = noise(rng), r = 0;
        x.Step(l, r);
        out[i] = l;
        modulation[i] = x.e.First().modulation;
    }

    auto power = [&](const std::vector<float>& s, int at, double f) {
        std::complex<double> acc = 0;
        const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * f / fs);
        std::complex<double> rot = 1;
        for (int k = 0; k < kWindow; ++k, rot *= step) {
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * k / (kWindow - 1));
            acc += hann * s[at + k] * rot;
        }
        return std::norm(acc);
    };
    // Each window searches a quarter either side of where the LFO puts the
    // notch (its neighbours lie at half and three times its frequency);
    // below 300 Hz a window this short cannot tell it apart.
    std::vector<double> track;
    int agree = 0, windows = 0;
    for (int at = 0; at + kWindow <= kFrames; at += kHop) {
        const double expected = PredictedNotchHz(kNotch, modulation[at + kWindow / 2], low, high, fs);
        double best = expected, least = 1e30;
        for (double f = expected * 0.75; f < expected * 1.25; f *= 1.005) {
            const double ratio = power(out, at, f) / std::max(power(in, at, f), 1e-12);
            if (ratio < least) {
                least = ratio;
                best = f;
            }
        }
        track.push_back(best);
        if (expected < 300)
            continue;
        agree += std::abs(best - expected) < 0.08 * expected;
        ++windows;
    }
    EXPECT_GE(agree, windows * 9 / 10) << agree << " of " << windows << " windows find the notch where the LFO puts it";

    // The sweep's period, from the track alone: its upward crossings of
    // the middle between its extremes.
    const auto [lo, hi] = std::minmax_element(track.begin(), track.end());
    EXPECT_GT(*hi / *lo, 4.0) << "the notch sweeps " << *lo << ".." << *hi << " Hz";
    const double middle = std::sqrt(*lo * *hi);
    std::vector<int> ups;
    for (std::size_t i = 1; i < track.size(); ++i)
        if (track[i - 1] < middle && track[i] >= middle)
            ups.push_back(static_cast<int>(i));
    ASSERT_GE(ups.size(), 2u);
    const double seconds = static_cast<double>(ups.back() - ups.front()) * kHop / fs / (ups.size() - 1);
    EXPECT_NEAR(1 / lfo, seconds, 0.05 / lfo) << "one sweep a period of the LFO";
}

}  // namespace

namespace {

// The engine's step written out plainly, one sample at a time through the
// chains' own Process: what the engine's block loop must sound like.
struct ReferencePhaser {
    explicit ReferencePhaser(const CPhaserEngine& e) : first(e.First()), second(e.Second()), engine(e) {}
    void Step(float& l, float& r)
    {
        phase += engine.PhaseIncrement();
        if (phase >= CPhaserEngine::kTableSize)
            phase -= CPhaserEngine::kTableSize;
        const int index = std::clamp(static_cast<int>(std::nearbyint(phase - 0.5f)), 0, CPhaserEngine::kTableSize - 1);
        const float lfo = engine.Table(engine.GetWaveform())[index];
        const float level = engine.LevelCurrent();
        if (engine.GetMode() == CPhaserEngine::kMono) {
            first.modulation = lfo;
            l = r = first.Process((l + r) * level * 0.5f);
            return;
        }
        first.modulation = lfo;
        second.modulation = engine.GetMode() == CPhaserEngine::kQuadrature ? -lfo : lfo;
        l = first.Process(l * level);
        r = second.Process(r * level);
    }
    mvphaser::CAllpassChain first;
    mvphaser::CAllpassChain second;
    const CPhaserEngine& engine;
    float phase = 0.0f;
};

// The largest difference between `out` and the reference's rendering of `in`.
float WorstDifference(ReferencePhaser& ref, const std::vector<float>& in, const std::vector<float>& out)
{
    float worst = 0.0f;
    for (std::size_t f = 0; f < in.size() / 2; ++f) {
        float l = in[2 * f], r = in[2 * f + 1];
        ref.Step(l, r);
        worst = std::max({worst, std::fabs(l - out[2 * f]), std::fabs(r - out[2 * f + 1])});
    }
    return worst;
}

}  // namespace

// Bursts of noise with silence between (one after the chains have come to
// rest), rendered in blocks of odd lengths, against the plain per-sample
// rendering, on the fused path and on the plain one. The fused path's
// multiply-adds and its regrouped stages may move a sample by float
// rounding: for inputs up to full scale the difference stays under 4e-6
// (-108 dB), and under 5e-5 (-86 dB) where strong feedback near the top of
// the sweep resonates and so amplifies rounding either way; the plain path
// nulls exactly; the silence after the bursts still ends in exact zeros.
TEST(CPhaserEngineTest, BlocksNullAgainstThePlainPerSampleRendering)
{
    struct Case {
        const char* name;
        float mode, depth, centre, feedback;
        float tolerance;
    } cases[] = {
        {"mono", 0.26f, 1.0f, 0.3f, 0.5f, 4e-6f},
        {"stereo", 0.6f, 0.4f, 0.2f, 0.7f, 4e-6f},
        {"quadrature, strong feedback", 1.0f, 1.0f, 0.9f, 1.0f, 5e-5f},
    };
    for (const bool fused : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (fused ? ", fused" : ", plain"));
            Engine x(44100.0f);
            x.e.UseFused(fused);
            x.Apply(c.mode, 0, 0.8f, c.depth, 0, c.centre, c.feedback, 1);
            ReferencePhaser ref(x.e);
            std::mt19937 rng(11);
            std::uniform_real_distribution<float> noise(-1, 1);
            // Bursts in the first second, one more after the chains have come
            // to rest, then silence to decay in again.
            constexpr std::size_t kLate = 44100 * 5;
            std::vector<float> in(44100 * 10 * 2);
            for (std::size_t i = 0; i < in.size(); ++i) {
                const std::size_t f = i / 2;
                const bool burst = (f < 44100 && f % 11025 < 4000) || (f >= kLate && f < kLate + 4000);
                in[i] = burst ? noise(rng) : 0.0f;
            }
            std::vector<float> out = in;
            const int blocks[] = {1, 97, 256, 1000, 3};
            std::size_t at = 0;
            for (int b = 0; at < out.size() / 2; ++b) {
                const int n = std::min<int>(blocks[b % 5], static_cast<int>(out.size() / 2 - at));
                x.e.ProcessFrames(out.data() + 2 * at, n);
                at += n;
            }
            const float worst = WorstDifference(ref, in, out);
            if (fused)
                EXPECT_LT(worst, c.tolerance);
            else
                EXPECT_EQ(0.0f, worst) << "the plain path sums as the reference does";
            EXPECT_EQ(0.0f, out[2 * kLate - 1]) << "at rest before the late burst";
            EXPECT_NE(0.0f, out[2 * kLate + 200]) << "and sounding again with it";
            EXPECT_EQ(0.0f, out[out.size() - 2]);
            EXPECT_EQ(0.0f, out[out.size() - 1]);
            for (float s : x.e.Second().state)
                EXPECT_EQ(0.0f, s);
        }
    }
}

// The engine's silence is a pattern of tiny values (1e-20), not zeros. A
// burst, then that silence: on both paths the result nulls against the
// per-sample rendering as above, and once the chains have come to rest the
// tiny values come out exactly as they went in with the level applied,
// the chains staying at rest.
TEST(CPhaserEngineTest, TheEnginesTinySilencePassesChainsAtRestWithTheLevelApplied)
{
    struct Case {
        const char* name;
        float mode, feedback;
        float tolerance;
    } cases[] = {
        {"mono", 0.26f, 0.5f, 4e-6f},
        {"quadrature", 1.0f, 0.7f, 4e-6f},
    };
    for (const bool fused : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (fused ? ", fused" : ", plain"));
            Engine x(44100.0f);
            x.e.UseFused(fused);
            x.Apply(c.mode, 0, 0.8f, 1.0f, 0, 0.5f, c.feedback, 0.5f);
            x.e.SnapLevel();
            ReferencePhaser ref(x.e);
            std::mt19937 rng(5);
            std::uniform_real_distribution<float> noise(-1, 1);
            constexpr std::size_t kBurst = 4000;
            std::vector<float> in(44100 * 4 * 2);
            for (std::size_t i = 0; i < in.size(); ++i)
                in[i] = i / 2 < kBurst ? noise(rng) : (i % 4 < 2 ? 0.0f : 1e-20f);
            std::vector<float> out = in;
            for (std::size_t at = 0; at < out.size() / 2; at += 1024)
                x.e.ProcessFrames(out.data() + 2 * at, static_cast<int>(std::min<std::size_t>(1024, out.size() / 2 - at)));
            const float worst = WorstDifference(ref, in, out);
            if (fused)
                EXPECT_LT(worst, c.tolerance);
            else
                EXPECT_EQ(0.0f, worst);
            // The last second: at rest, the tiny values through at level 0.25.
            const bool mono = c.mode < 0.5f;
            for (std::size_t f = in.size() / 2 - 44100; f < in.size() / 2; ++f) {
                const float l = in[2 * f] * 0.25f, r = in[2 * f + 1] * 0.25f;
                ASSERT_EQ(mono ? (in[2 * f] + in[2 * f + 1]) * 0.25f * 0.5f : l, out[2 * f]) << f;
                ASSERT_EQ(mono ? (in[2 * f] + in[2 * f + 1]) * 0.25f * 0.5f : r, out[2 * f + 1]) << f;
            }
            for (float s : x.e.First().state)
                EXPECT_EQ(0.0f, s);
            EXPECT_EQ(0.0f, x.e.First().lastOutput);
        }
    }
}
