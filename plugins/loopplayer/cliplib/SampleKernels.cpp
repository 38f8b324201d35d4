#include "plugins/loopplayer/cliplib/SampleKernels.h"

#include <cstring>

namespace {

// Four lanes of doubles, four floats, four 16-bit samples. The kernels are
// written once over these and built twice: for any processor, and for one
// with AVX2 (see the tables at the end), with the same arithmetic in both.
using V4d = double __attribute__((vector_size(32)));
using V4f = float __attribute__((vector_size(16)));
using V4i = std::int32_t __attribute__((vector_size(16)));
using V4s = std::int16_t __attribute__((vector_size(8)));

#define MV_KERNEL_INLINE inline __attribute__((always_inline))

// Lane by lane rather than by __builtin_convertvector, which GCC splits into
// halves even where one instruction converts all four.
template <class V>
MV_KERNEL_INLINE void Widen(const V& v, V4d& x)
{
    x = V4d{double(v[0]), double(v[1]), double(v[2]), double(v[3])};
}

struct Int16Source {
    static double At(const void* p, size_t i)
    {
        std::int16_t v;
        std::memcpy(&v, static_cast<const BYTE*>(p) + 2 * i, 2);
        return v;
    }
    static MV_KERNEL_INLINE void Load4(const void* p, size_t i, V4d& x)
    {
        V4s v;
        std::memcpy(&v, static_cast<const BYTE*>(p) + 2 * i, sizeof v);
        Widen(__builtin_convertvector(v, V4i), x);
    }
};

struct Int24Source {
    static double At(const void* p, size_t i)
    {
        const BYTE* b = static_cast<const BYTE*>(p) + 3 * i;
        std::int32_t v = std::int32_t(std::uint32_t(b[0]) << 8 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 24);
        return v >> 8;
    }
    static MV_KERNEL_INLINE void Load4(const void* p, size_t i, V4d& x)
    {
        x = V4d{At(p, i), At(p, i + 1), At(p, i + 2), At(p, i + 3)};
    }
};

struct FloatSource {
    static double At(const void* p, size_t i) { return static_cast<const float*>(p)[i]; }
    static MV_KERNEL_INLINE void Load4(const void* p, size_t i, V4d& x)
    {
        V4f v;
        std::memcpy(&v, static_cast<const float*>(p) + i, sizeof v);
        Widen(v, x);
    }
};

template <bool Store>
MV_KERNEL_INLINE void Put(float& o, double v)
{
    if constexpr (Store)
        o = float(v);
    else
        o = float(o + v);
}

// Four output samples from o on: the same sum in double and the same one
// rounding to float as Put gives each.
template <bool Store>
MV_KERNEL_INLINE void Put4(float* o, const V4d& v)
{
    V4f f;
    if constexpr (Store) {
        f = __builtin_convertvector(v, V4f);
    } else {
        std::memcpy(&f, o, sizeof f);
        V4d x;
        Widen(f, x);
        f = __builtin_convertvector(x + v, V4f);
    }
    std::memcpy(o, &f, sizeof f);
}

template <class Source, int SrcCh, int OutCh, bool Store>
MV_KERNEL_INLINE void MixFrame(const void* in, float* out, size_t i, double gl, double gr)
{
    const double l = Source::At(in, i * SrcCh);
    const double r = SrcCh == 2 ? Source::At(in, i * SrcCh + 1) : l;
    if constexpr (OutCh == 1) {
        Put<Store>(out[i], SrcCh == 2 ? gl * l + gr * r : gl * l);
    } else {
        Put<Store>(out[2 * i], gl * l);
        Put<Store>(out[2 * i + 1], gr * r);
    }
}

// Frames i to i + 3. Into a stereo output the gains are laid out as the
// output is, a = (l, r) of frames i and i + 1, b of frames i + 2 and i + 3;
// into a mono output a holds the four left gains and b the four right ones.
template <class Source, int SrcCh, int OutCh, bool Store>
MV_KERNEL_INLINE void MixFour(const void* in, float* out, size_t i, const V4d& a, const V4d& b)
{
    if constexpr (OutCh == 2) {
        V4d x, y;
        if constexpr (SrcCh == 2) {
            Source::Load4(in, 2 * i, x);
            Source::Load4(in, 2 * i + 4, y);
        } else {
            V4d m;
            Source::Load4(in, i, m);
            x = __builtin_shufflevector(m, m, 0, 0, 1, 1);
            y = __builtin_shufflevector(m, m, 2, 2, 3, 3);
        }
        Put4<Store>(out + 2 * i, a * x);
        Put4<Store>(out + 2 * i + 4, b * y);
    } else if constexpr (SrcCh == 2) {
        V4d x, y;
        Source::Load4(in, 2 * i, x);
        Source::Load4(in, 2 * i + 4, y);
        const V4d l = __builtin_shufflevector(x, y, 0, 2, 4, 6), r = __builtin_shufflevector(x, y, 1, 3, 5, 7);
        Put4<Store>(out + i, a * l + b * r);
    } else {
        V4d m;
        Source::Load4(in, i, m);
        Put4<Store>(out + i, a * m);
    }
}

template <class Source, int SrcCh, int OutCh, bool Store, bool Ramp>
MV_KERNEL_INLINE void Mix(MixKernelContext& c)
{
    if (c.frames <= 0) return;
    const size_t frames = size_t(c.frames);
    double gl = c.leftGain, gr = c.rightGain;
    double sl = c.leftSlope, sr = c.rightSlope;
    const double cl = c.leftCurvature, cr = c.rightCurvature;
    const void* in = c.input;
    float* out = c.output;
    size_t i = 0;
    if (frames >= 4) {
        // Four frames a turn. A ramp runs in four lanes, one a frame, each
        // stepping four frames at once (gain + 4 slope + 6 curvature, the
        // step growing by 16 curvature), so no chain of additions serialises
        // every frame; the lanes start on the first four frames' gains as the
        // frame-by-frame ramp reaches them, and stay within a few roundings of
        // it after.
        double l[4] = {gl, gl, gl, gl}, r[4] = {gr, gr, gr, gr};
        double dl[4] = {}, dr[4] = {};
        if constexpr (Ramp) {
            double s = sl, t = sr;
            for (int k = 0; k < 4; ++k) {
                if (k > 0) {
                    l[k] = l[k - 1] + s;
                    r[k] = r[k - 1] + t;
                    s += cl;
                    t += cr;
                }
                dl[k] = 4 * s + 6 * cl;
                dr[k] = 4 * t + 6 * cr;
            }
        }
        V4d a, b, da, db, ea, eb;
        if constexpr (OutCh == 2) {
            a = V4d{l[0], r[0], l[1], r[1]}, b = V4d{l[2], r[2], l[3], r[3]};
            da = V4d{dl[0], dr[0], dl[1], dr[1]}, db = V4d{dl[2], dr[2], dl[3], dr[3]};
            ea = eb = V4d{16 * cl, 16 * cr, 16 * cl, 16 * cr};
        } else {
            a = V4d{l[0], l[1], l[2], l[3]}, b = V4d{r[0], r[1], r[2], r[3]};
            da = V4d{dl[0], dl[1], dl[2], dl[3]}, db = V4d{dr[0], dr[1], dr[2], dr[3]};
            ea = V4d{} + 16 * cl, eb = V4d{} + 16 * cr;
        }
        for (; i + 4 <= frames; i += 4) {
            MixFour<Source, SrcCh, OutCh, Store>(in, out, i, a, b);
            if constexpr (Ramp) {
                a += da;
                b += db;
                da += ea;
                db += eb;
            }
        }
        if constexpr (Ramp) {
            gl = a[0];
            gr = OutCh == 2 ? a[1] : b[0];
            sl += double(i) * cl;
            sr += double(i) * cr;
        }
    }
    // The last frames (or all of a short call) one by one, as the ramp was
    // always followed.
    for (; i < frames; ++i) {
        MixFrame<Source, SrcCh, OutCh, Store>(in, out, i, gl, gr);
        if constexpr (Ramp) {
            gl += sl;
            gr += sr;
            sl += cl;
            sr += cr;
        }
    }
    c.leftGain = gl;
    c.rightGain = gr;
    if constexpr (Ramp) {
        c.leftSlope = sl;
        c.rightSlope = sr;
    }
}

// The kernels for any processor of the build's target.
struct Portable {
    template <class Source, int SrcCh, int OutCh, bool Store, bool Ramp>
    static void Kernel(MixKernelContext& c)
    {
        Mix<Source, SrcCh, OutCh, Store, Ramp>(c);
    }
};

#if defined(__x86_64__) || defined(__i386__)
// The same with AVX2: four doubles a register. Without FMA on purpose: a
// fused multiply-add rounds once where the portable kernels round twice,
// and the sound must not depend on the processor.
struct Avx2 {
    template <class Source, int SrcCh, int OutCh, bool Store, bool Ramp>
    __attribute__((target("avx2"))) static void Kernel(MixKernelContext& c)
    {
        Mix<Source, SrcCh, OutCh, Store, Ramp>(c);
    }
};

// Asked once as the library loads, so choosing a kernel on the audio thread
// only reads a flag.
const bool kHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

template <class Isa, bool Store>
constexpr MixKernel kHalf[16] = {
    Isa::template Kernel<Int16Source, 1, 1, Store, false>, Isa::template Kernel<Int16Source, 1, 1, Store, true>,
    Isa::template Kernel<Int16Source, 1, 2, Store, false>, Isa::template Kernel<Int16Source, 1, 2, Store, true>,
    Isa::template Kernel<FloatSource, 1, 1, Store, false>, Isa::template Kernel<FloatSource, 1, 1, Store, true>,
    Isa::template Kernel<FloatSource, 1, 2, Store, false>, Isa::template Kernel<FloatSource, 1, 2, Store, true>,
    // A stereo source into a mono output has one routine, ramped, for both.
    Isa::template Kernel<Int16Source, 2, 1, Store, true>,  Isa::template Kernel<Int16Source, 2, 1, Store, true>,
    Isa::template Kernel<Int16Source, 2, 2, Store, false>, Isa::template Kernel<Int16Source, 2, 2, Store, true>,
    Isa::template Kernel<FloatSource, 2, 1, Store, true>,  Isa::template Kernel<FloatSource, 2, 1, Store, true>,
    Isa::template Kernel<FloatSource, 2, 2, Store, false>, Isa::template Kernel<FloatSource, 2, 2, Store, true>,
};

template <class Isa>
constexpr MixKernel kMono24[4] = {
    Isa::template Kernel<Int24Source, 1, 1, false, false>, Isa::template Kernel<Int24Source, 1, 1, false, true>,
    Isa::template Kernel<Int24Source, 1, 1, true, false>, Isa::template Kernel<Int24Source, 1, 1, true, true>};

template <class Isa>
MixKernel Select(int sourceBits, int sourceChannels, int outputChannels, bool store, bool ramp)
{
    if (sourceBits == 24) return kMono24<Isa>[(store ? 2 : 0) | (ramp ? 1 : 0)];
    int index = (sourceChannels == 2 ? 8 : 0) | (sourceBits == 32 ? 4 : 0) | (outputChannels == 2 ? 2 : 0) |
                (ramp ? 1 : 0);
    return store ? kHalf<Isa, true>[index] : kHalf<Isa, false>[index];
}

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
#if defined(__x86_64__) || defined(__i386__)
    if (kHasAvx2) return Select<Avx2>(sourceBits, sourceChannels, outputChannels, store, ramp);
#endif
    return Select<Portable>(sourceBits, sourceChannels, outputChannels, store, ramp);
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
