#include "plugins/loopplayer/cliplib/SampleKernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
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
