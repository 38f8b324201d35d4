#include "plugins/loopplayer/cliplib/SampleKernels.h"

#include <cstring>

namespace {

struct Int16Source {
    static double At(const void* p, int i)
    {
        std::int16_t v;
        std::memcpy(&v, static_cast<const BYTE*>(p) + 2 * size_t(i), 2);
        return v;
    }
};

struct Int24Source {
    static double At(const void* p, int i)
    {
        const BYTE* b = static_cast<const BYTE*>(p) + 3 * size_t(i);
        std::int32_t v = std::int32_t(std::uint32_t(b[0]) << 8 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 24);
        return v >> 8;
    }
};

struct FloatSource {
    static double At(const void* p, int i) { return static_cast<const float*>(p)[i]; }
};

template <class Source, int SrcCh, int OutCh, bool Store, bool Ramp>
void Kernel(MixKernelContext& c)
{
    if (c.frames <= 0) return;
    double gl = c.leftGain, gr = c.rightGain;
    double sl = c.leftSlope, sr = c.rightSlope;
    const double cl = c.leftCurvature, cr = c.rightCurvature;
    float* out = c.output;
    auto put = [](float& o, double v) {
        if constexpr (Store)
            o = float(v);
        else
            o = float(o + v);
    };
    auto frame = [&](int i) {
        double l = Source::At(c.input, i * SrcCh);
        double r = SrcCh == 2 ? Source::At(c.input, i * SrcCh + 1) : l;
        if constexpr (OutCh == 1) {
            put(out[i], SrcCh == 2 ? gl * l + gr * r : gl * l);
        } else {
            put(out[2 * i], gl * l);
            put(out[2 * i + 1], gr * r);
        }
        if constexpr (Ramp) {
            gl += sl;
            gr += sr;
            sl += cl;
            sr += cr;
        }
    };
    int i = 0;
    if constexpr (!Ramp) {
        // Fixed gains: four frames a turn.
        for (; i + 4 <= c.frames; i += 4) {
            frame(i);
            frame(i + 1);
            frame(i + 2);
            frame(i + 3);
        }
    }
    for (; i < c.frames; ++i) frame(i);
    c.leftGain = gl;
    c.rightGain = gr;
    if constexpr (Ramp) {
        c.leftSlope = sl;
        c.rightSlope = sr;
    }
}

template <bool Store>
constexpr MixKernel kHalf[16] = {
    Kernel<Int16Source, 1, 1, Store, false>, Kernel<Int16Source, 1, 1, Store, true>,
    Kernel<Int16Source, 1, 2, Store, false>, Kernel<Int16Source, 1, 2, Store, true>,
    Kernel<FloatSource, 1, 1, Store, false>, Kernel<FloatSource, 1, 1, Store, true>,
    Kernel<FloatSource, 1, 2, Store, false>, Kernel<FloatSource, 1, 2, Store, true>,
    // A stereo source into a mono output has one routine, ramped, for both.
    Kernel<Int16Source, 2, 1, Store, true>,  Kernel<Int16Source, 2, 1, Store, true>,
    Kernel<Int16Source, 2, 2, Store, false>, Kernel<Int16Source, 2, 2, Store, true>,
    Kernel<FloatSource, 2, 1, Store, true>,  Kernel<FloatSource, 2, 1, Store, true>,
    Kernel<FloatSource, 2, 2, Store, false>, Kernel<FloatSource, 2, 2, Store, true>,
};

constexpr MixKernel kMono24[4] = {
    Kernel<Int24Source, 1, 1, false, false>, Kernel<Int24Source, 1, 1, false, true>,
    Kernel<Int24Source, 1, 1, true, false>, Kernel<Int24Source, 1, 1, true, true>};

void Convert4(float* out, const void* src, int samples, float scale)
{
    const BYTE* s = static_cast<const BYTE*>(src);
    for (int i = samples - 1; i >= 0; --i) out[i] = float(int(s[i]) - 8) * scale;
}

void Convert8(float* out, const void* src, int samples, float scale)
{
    const BYTE* s = static_cast<const BYTE*>(src);
    for (int i = samples - 1; i >= 0; --i) out[i] = float(int(s[i]) - 128) * scale;
}

void Convert16(float* out, const void* src, int samples, float scale)
{
    // Exactly the samples asked for, back to front: the source sample is
    // read before the float that covers it is written.
    for (int i = samples - 1; i >= 0; --i) out[i] = float(Int16Source::At(src, i)) * scale;
}

void Convert24(float* out, const void* src, int samples, float scale)
{
    for (int i = samples - 1; i >= 0; --i) out[i] = float(Int24Source::At(src, i)) * scale;
}

void Convert32(float* out, const void* src, int samples, float)
{
    if (samples > 0 && out != src) std::memmove(out, src, size_t(samples) * sizeof(float));
}

}  // namespace

MixKernel SelectKernel(int sourceBits, int sourceChannels, int outputChannels, bool store, bool ramp)
{
    if (sourceBits == 24) return kMono24[(store ? 2 : 0) | (ramp ? 1 : 0)];
    int index = (sourceChannels == 2 ? 8 : 0) | (sourceBits == 32 ? 4 : 0) | (outputChannels == 2 ? 2 : 0) |
                (ramp ? 1 : 0);
    return store ? kHalf<true>[index] : kHalf<false>[index];
}

SampleConverter SelectConverter(int bits)
{
    switch (bits) {
    case 4: return Convert4;
    case 8: return Convert8;
    case 16: return Convert16;
    case 24: return Convert24;
    case 32: return Convert32;
    default: return nullptr;
    }
}
