#include "plugins/loopplayer/cliplib/SampleKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

namespace {

// Source samples in the kernel's input layout.
Bytes Encode(int bits, const std::vector<double>& values)
{
    Bytes b;
    for (double v : values) {
        if (bits == 32)
            PutFloat(b, float(v));
        else
            PutLe(b, std::uint64_t(std::int64_t(v)), bits / 8);
    }
    return b;
}

}  // namespace

TEST(SampleConverters, ConvertEachBitDepthToExactFloats)
{
    struct Case {
        const char* name;
        int bits;
        Bytes source;
        float scale;
        std::vector<float> expected;
    } cases[] = {
        {"4-bit", 4, {0, 8, 15}, 0.0625f, {-0.5f, 0.0f, 0.4375f}},
        {"8-bit", 8, {0, 128, 255, 64}, 1.0f / 128, {-1.0f, 0.0f, 0.9921875f, -0.5f}},
        {"16-bit", 16, Encode(16, {-32768, 0, 32767, 16384, -1}), 1.0f / 32768,
         {-1.0f, 0.0f, 32767.0f / 32768, 0.5f, -1.0f / 32768}},
        {"24-bit", 24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x40, 0xFF, 0xFF, 0xFF, 0, 0, 0},
         1.0f / 8388608, {-1.0f, 8388607.0f / 8388608, 0.5f, -1.0f / 8388608, 0.0f}},
        {"32-bit float, copied", 32, Encode(32, {0.25, -1.5, 3.0}), 123.0f, {0.25f, -1.5f, 3.0f}},
    };
    for (auto& c : cases) {
        SampleConverter convert = SelectConverter(c.bits);
        ASSERT_NE(convert, nullptr) << c.name;
        // One float more than asked for: it must stay untouched.
        std::vector<float> out(c.expected.size() + 1, 99.0f);
        convert(out.data(), c.source.data(), int(c.expected.size()), c.scale);
        for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(out[i], c.expected[i]) << c.name << " [" << i << "]";
        EXPECT_EQ(out.back(), 99.0f) << c.name << ": wrote past the samples asked for";
    }
    EXPECT_EQ(SelectConverter(12), nullptr);
}

TEST(SampleConverters, ConvertInPlaceFromTheBufferStart)
{
    for (int bits : {8, 16, 24}) {
        const int n = 7;  // not a multiple of four
        std::vector<float> buffer(n + 1, 77.0f);
        std::vector<double> values = {1, -2, 3, -4, 5, -6, 7};
        Bytes src = bits == 8 ? Bytes{129, 126, 131, 124, 133, 122, 135} : Encode(bits, values);
        std::memcpy(buffer.data(), src.data(), src.size());
        SelectConverter(bits)(buffer.data(), buffer.data(), n, 1.0f);
        for (int i = 0; i < n; ++i) EXPECT_EQ(buffer[i], float(values[i])) << bits << "-bit [" << i << "]";
        EXPECT_EQ(buffer[n], 77.0f) << bits;
    }
}

TEST(MixKernels, MixTheFormatsAgainstExactSamples)
{
    struct Case {
        const char* name;
        int bits, srcCh, outCh;
        bool store, ramp;
        std::vector<double> input;
        std::vector<float> output;  // before the call
        double gl, gr, sl, sr, cl, cr;
        std::vector<float> expected;
        double endLeft, endRight;
    } cases[] = {
        {"float mono to mono, add, fixed", 32, 1, 1, false, false, {1, 2, 3, 4, 5}, {1, 1, 1, 1, 1},
         0.5, 9, 0, 0, 0, 0, {1.5f, 2, 2.5f, 3, 3.5f}, 0.5, 9},
        {"float mono to stereo, add, ramp", 32, 1, 2, false, true, {1, 1, 1}, {0, 0, 0, 0, 0, 0},
         1, 0, 0.5, 0, 0, 0.25, {1, 0, 1.5f, 0, 2, 0.25f}, 2.5, 0.75},
        {"float mono to stereo, store, fixed", 32, 1, 2, true, false, {2, -4}, {9, 9, 9, 9},
         0.5, 0.25, 0, 0, 0, 0, {1, 0.5f, -2, -1}, 0.5, 0.25},
        {"float stereo to stereo, add, ramp", 32, 2, 2, false, true, {1, 2, 3, 4}, {1, 1, 1, 1},
         1, 2, -0.5, 1, 0, 0, {2, 5, 2.5f, 13}, 0, 4},
        {"float stereo to mono, store", 32, 2, 1, true, false, {1, 2, 3, 4}, {9, 9}, 2, 0.5, 0, 0, 0, 0,
         {3, 8}, 2, 0.5},
        {"16-bit mono to mono, add, fixed", 16, 1, 1, false, false, {100, -200, 300, -400, 500, 600},
         {0, 0, 0, 0, 0, 1}, 0.5, 0, 0, 0, 0, 0, {50, -100, 150, -200, 250, 301}, 0.5, 0},
        {"16-bit mono to stereo, store, ramp", 16, 1, 2, true, true, {1000, 1000}, {9, 9, 9, 9},
         1, 1, 1, -1, 0, 0, {1000, 1000, 2000, 0}, 3, -1},
        {"16-bit stereo to stereo, store, fixed", 16, 2, 2, true, false, {100, -200, 300, -400}, {9, 9, 9, 9},
         0.5, 0.25, 0, 0, 0, 0, {50, -50, 150, -100}, 0.5, 0.25},
        {"16-bit stereo to mono, add", 16, 2, 1, false, false, {100, 200, 300, 400}, {0, 1}, 1, 0.5, 0, 0, 0, 0,
         {200, 501}, 1, 0.5},
        {"24-bit mono to mono, store, ramp", 24, 1, 1, true, true, {8388607, -8388608, 4}, {9, 9, 9},
         1, 0, -1, 0, 0.5, 0, {8388607, 0, -2}, -0.5, 0},
        {"24-bit mono to mono, add, fixed", 24, 1, 1, false, false, {-8388608, 2}, {1, 1}, 0.25, 0, 0, 0, 0, 0,
         {-2097151, 1.5f}, 0.25, 0},
    };
    for (auto& c : cases) {
        Bytes in = Encode(c.bits, c.input);
        std::vector<float> out = c.output;
        out.push_back(42.0f);  // a guard after the frames
        MixKernelContext k;
        k.output = out.data();
        k.input = in.data();
        k.frames = int(c.input.size()) / c.srcCh;
        k.leftGain = c.gl, k.rightGain = c.gr;
        k.leftSlope = c.sl, k.rightSlope = c.sr;
        k.leftCurvature = c.cl, k.rightCurvature = c.cr;
        k.bytesPerSample = c.bits / 8;
        SelectKernel(c.bits, c.srcCh, c.outCh, c.store, c.ramp)(k);
        for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(out[i], c.expected[i]) << c.name << " [" << i << "]";
        EXPECT_EQ(out.back(), 42.0f) << c.name << ": wrote past the frames";
        EXPECT_EQ(k.leftGain, c.endLeft) << c.name;
        EXPECT_EQ(k.rightGain, c.endRight) << c.name;
    }
}

TEST(MixKernels, RampWithoutSlopeEqualsFixedGains)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int srcCh : {1, 2})
        for (int outCh : {1, 2})
            for (bool store : {false, true}) {
                const int frames = 37;
                std::vector<float> in(size_t(frames) * srcCh);
                for (float& v : in) v = u(rng);
                std::vector<float> a(size_t(frames) * outCh, 0.25f), b = a;
                MixKernelContext k;
                k.input = in.data();
                k.frames = frames;
                k.leftGain = 0.7, k.rightGain = -0.3;
                MixKernelContext fixed = k, ramp = k;
                fixed.output = a.data();
                ramp.output = b.data();
                SelectKernel(32, srcCh, outCh, store, false)(fixed);
                SelectKernel(32, srcCh, outCh, store, true)(ramp);
                EXPECT_EQ(a, b) << srcCh << "->" << outCh << (store ? " store" : " add");
            }
}

TEST(MixKernels, ZeroFramesLeaveOutputAndContextAlone)
{
    float out[2] = {5, 6};
    float in[2] = {1, 1};
    for (int frames : {0, -3}) {
        MixKernelContext k;
        k.output = out;
        k.input = in;
        k.frames = frames;
        k.leftGain = 1, k.rightGain = 2, k.leftSlope = 0.5;
        SelectKernel(32, 1, 2, true, true)(k);
        EXPECT_EQ(out[0], 5);
        EXPECT_EQ(out[1], 6);
        EXPECT_EQ(k.leftGain, 1);
        EXPECT_EQ(k.leftSlope, 0.5);
    }
}

namespace {

struct Variant {
    int bits, srcCh, outCh;
    bool store, ramp;
};

// Every kernel the selector hands out: 24-bit sources are mono into mono only.
std::vector<Variant> AllVariants()
{
    std::vector<Variant> all;
    for (int bits : {16, 24, 32})
        for (int srcCh : {1, 2})
            for (int outCh : {1, 2})
                for (bool store : {false, true})
                    for (bool ramp : {false, true})
                        if (bits != 24 || (srcCh == 1 && outCh == 1)) all.push_back({bits, srcCh, outCh, store, ramp});
    return all;
}

std::string Name(const Variant& v)
{
    return std::to_string(v.bits) + "-bit " + std::to_string(v.srcCh) + "->" + std::to_string(v.outCh) +
           (v.store ? " store" : " add") + (v.ramp ? " ramp" : " fixed");
}

// Random source samples over the format's whole range, and the gain that
// brings them to about 1.
Bytes RandomSource(const Variant& v, int samples, std::mt19937& rng)
{
    const double full = v.bits == 16 ? 32767 : v.bits == 24 ? 8388607 : 1;
    std::uniform_real_distribution<double> u(-full, full);
    std::vector<double> values(static_cast<size_t>(samples));
    for (double& x : values) x = v.bits == 32 ? u(rng) : std::round(u(rng));
    return Encode(v.bits, values);
}

double Unit(const Variant& v) { return v.bits == 16 ? 1.0 / 32768 : v.bits == 24 ? 1.0 / 8388608 : 1.0; }

double SampleAt(const Variant& v, const Bytes& b, size_t i)
{
    if (v.bits == 32) {
        float f;
        std::memcpy(&f, b.data() + 4 * i, 4);
        return f;
    }
    if (v.bits == 16) return std::int16_t(std::uint16_t(b[2 * i] | b[2 * i + 1] << 8));
    return std::int32_t(std::uint32_t(b[3 * i]) << 8 | std::uint32_t(b[3 * i + 1]) << 16 |
                        std::uint32_t(b[3 * i + 2]) << 24) >> 8;
}

// A stereo source into a mono output always follows the ramp: the selector
// gives the ramped routine for both.
bool Ramps(const Variant& v) { return v.ramp || (v.bits != 24 && v.srcCh == 2 && v.outCh == 1); }

// The kernels' contract written the plain way: frame by frame in double,
// the ramp's gain and slope stepping after every frame.
void ReferenceMix(const Variant& v, const Bytes& input, MixKernelContext& c)
{
    const bool ramp = Ramps(v);
    for (int i = 0; i < c.frames; ++i) {
        const double l = SampleAt(v, input, size_t(i) * v.srcCh);
        const double r = v.srcCh == 2 ? SampleAt(v, input, size_t(i) * 2 + 1) : l;
        auto put = [&](float& o, double x) { o = v.store ? float(x) : float(o + x); };
        if (v.outCh == 1) {
            put(c.output[i], v.srcCh == 2 ? c.leftGain * l + c.rightGain * r : c.leftGain * l);
        } else {
            put(c.output[2 * i], c.leftGain * l);
            put(c.output[2 * i + 1], c.rightGain * r);
        }
        if (ramp) {
            c.leftGain += c.leftSlope;
            c.rightGain += c.rightSlope;
            c.leftSlope += c.leftCurvature;
            c.rightSlope += c.rightCurvature;
        }
    }
}

// A ramped kernel may step its gains other than frame by frame, so it may
// land a few double roundings away from the plain loop: a sample may then
// round to the float next to the reference's, never further. A sample
// within 1e-10 of the reference counts as equal too, for gains crossing
// zero, where one float step is far finer than a double rounding of the
// gain.
::testing::AssertionResult NullsWith(const std::vector<float>& got, const std::vector<float>& want, bool exact)
{
    for (size_t i = 0; i < want.size(); ++i) {
        if (got[i] == want[i]) continue;
        const float next = std::nextafter(want[i], got[i] > want[i] ? INFINITY : -INFINITY);
        if (!exact && (got[i] == next || std::fabs(double(got[i]) - want[i]) <= 1e-10)) continue;
        return ::testing::AssertionFailure() << "sample " << i << ": " << got[i] << " against " << want[i];
    }
    return ::testing::AssertionSuccess();
}

bool Close(double got, double want, double scale) { return std::fabs(got - want) <= 1e-12 * scale; }

}  // namespace

TEST(MixKernels, NullAgainstThePlainLoopForEveryVariantAndLength)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1, 1);
    for (const Variant& v : AllVariants())
        for (int frames : {0, 1, 3, 4, 5, 7, 8, 9, 16, 1023, 1024, 1029}) {
            const std::string name = Name(v) + ", " + std::to_string(frames) + " frames";
            Bytes in = RandomSource(v, frames * v.srcCh, rng);
            std::vector<float> out(size_t(frames) * v.outCh + 1);
            for (float& x : out) x = u(rng);
            // A fade in over a little more than the call (gain 2x - x^2, as a
            // slice's crossfade has it) on the left, a fade out on the right.
            const double k = frames + 5, dx = 1 / k, unit = Unit(v);
            MixKernelContext c;
            c.input = in.data();
            c.frames = frames;
            c.bytesPerSample = v.bits / 8;
            c.leftGain = 0, c.rightGain = 0.9 * unit;
            c.leftSlope = 0.7 * unit * (2 * dx - dx * dx), c.rightSlope = -0.9 * unit * dx * dx;
            c.leftCurvature = -0.7 * unit * 2 * dx * dx, c.rightCurvature = -0.9 * unit * 2 * dx * dx;
            MixKernelContext want = c;
            std::vector<float> expected = out;
            want.output = expected.data();
            c.output = out.data();
            ReferenceMix(v, in, want);
            SelectKernel(v.bits, v.srcCh, v.outCh, v.store, v.ramp)(c);
            // Fixed gains multiply and add exactly as the plain loop does.
            const bool exact = !Ramps(v) || frames < 4;
            EXPECT_TRUE(NullsWith(out, expected, exact)) << name;
            EXPECT_EQ(out.back(), expected.back()) << name << ": wrote past the frames";
            EXPECT_TRUE(Close(c.leftGain, want.leftGain, unit)) << name << ": " << c.leftGain << " " << want.leftGain;
            EXPECT_TRUE(Close(c.rightGain, want.rightGain, unit)) << name << ": " << c.rightGain << " " << want.rightGain;
            EXPECT_TRUE(Close(c.leftSlope, want.leftSlope, unit * dx)) << name;
            EXPECT_TRUE(Close(c.rightSlope, want.rightSlope, unit * dx)) << name;
        }
}

TEST(MixKernels, LongRampSplitOverCallsEndsWhereThePlainLoopEnds)
{
    // A parabolic fade in over 20000 frames, rendered in calls of uneven
    // lengths that each go on from the gains and slopes the one before left
    // in the context: the output nulls against one plain loop over all of
    // it, and the gain reaches full at the end. Lanes set off from a wrong
    // anchor or stepping by a wrong amount would drift further every call.
    constexpr int kFade = 20000;
    const int chunks[] = {1023, 1, 3, 4, 5, 1024, 7, 2048, 9, 511};
    std::mt19937 rng(5);
    for (const Variant& v : AllVariants()) {
        if (!v.ramp) continue;
        Bytes in = RandomSource(v, kFade * v.srcCh, rng);
        std::vector<float> out(size_t(kFade) * v.outCh, 0.25f), expected = out;
        const double dx = 1.0 / kFade, unit = Unit(v);
        MixKernelContext start;
        start.bytesPerSample = v.bits / 8;
        start.leftSlope = unit * (2 * dx - dx * dx), start.rightSlope = 0.5 * unit * (2 * dx - dx * dx);
        start.leftCurvature = -unit * 2 * dx * dx, start.rightCurvature = -0.5 * unit * 2 * dx * dx;

        MixKernelContext want = start;
        want.input = in.data();
        want.output = expected.data();
        want.frames = kFade;
        ReferenceMix(v, in, want);

        MixKernelContext c = start;
        const MixKernel kernel = SelectKernel(v.bits, v.srcCh, v.outCh, v.store, true);
        int done = 0;
        for (size_t k = 0; done < kFade; ++k) {
            c.frames = std::min(chunks[k % std::size(chunks)], kFade - done);
            c.input = in.data() + size_t(done) * v.srcCh * c.bytesPerSample;
            c.output = out.data() + size_t(done) * v.outCh;
            kernel(c);
            done += c.frames;
        }
        EXPECT_TRUE(NullsWith(out, expected, false)) << Name(v);
        EXPECT_TRUE(Close(c.leftGain, want.leftGain, unit)) << Name(v);
        EXPECT_TRUE(Close(c.rightGain, want.rightGain, unit)) << Name(v);
        EXPECT_TRUE(Close(c.leftSlope, want.leftSlope, unit * dx)) << Name(v);
        EXPECT_TRUE(Close(c.rightSlope, want.rightSlope, unit * dx)) << Name(v);
        EXPECT_NEAR(c.leftGain, unit, 1e-12 * unit) << Name(v) << ": the fade in ends at full gain";
        EXPECT_NEAR(c.rightGain, 0.5 * unit, 1e-12 * unit) << Name(v);
    }
}
