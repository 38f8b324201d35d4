#include "engine/graph/SampleKernels.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define MV_X86 1
#endif

namespace {

inline float MaxOf(float a, float b) { return a > b ? a : b; }

// One conversion, in the same steps as the vector code: NaN to 0, clamp,
// round in the current mode.
inline std::int32_t ConvertOne(float x, double scale, double lo, double hi)
{
    double v = static_cast<double>(x) * scale;
    if (v != v)
        v = 0.0;
    v = v > lo ? v : lo;
    v = v < hi ? v : hi;
#ifdef MV_X86
    return _mm_cvtsd_si32(_mm_set_sd(v));
#else
    return static_cast<std::int32_t>(std::nearbyint(v));
#endif
}

void SumSquares(float* sum, const float* x, int n, int step)
{
    float acc = *sum;
    for (int i = 0; i < n; ++i)
        acc += x[i * step] * x[i * step];
    *sum = acc;
}

}  // namespace

void MeasureLevel(LEVEL_STATE* s, int channels, int flags, const float* x, int frames)
{
    // An empty block may come with no samples at all (a null pointer).
    if ((channels != 1 && channels != 2) || frames <= 0)
        return;
    for (int c = 0; c < channels; ++c) {
        float peak = 0.0f;
        for (int i = 0; i < frames; ++i) {
            const float v = x[i * channels + c] * x[i * channels + c];
            peak = MaxOf(v, peak);
        }
        float* statePeak = c == 0 ? &s->peak1 : &s->peak2;
        *statePeak = MaxOf(peak, *statePeak);
        if (flags & LEVEL_SUM)
            SumSquares(c == 0 ? &s->sum1 : &s->sum2, x + c, frames, channels);
    }
}

void MeasureLevelSSE(LEVEL_STATE* s, int channels, int flags, const float* x, int frames)
{
#ifdef MV_X86
    // An empty block may come with no samples at all (a null pointer).
    if ((channels != 1 && channels != 2) || frames <= 0)
        return;
    // Four values per step: with two channels, lanes 0 and 2 hold the first.
    const int n = frames * channels;
    __m128 peak = _mm_setzero_ps();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 v = _mm_loadu_ps(x + i);
        peak = _mm_max_ps(_mm_mul_ps(v, v), peak);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, peak);
    float p[2] = {MaxOf(lanes[0], lanes[2]), MaxOf(lanes[1], lanes[3])};
    if (channels == 1)
        p[0] = MaxOf(p[0], p[1]);
    for (; i < n; ++i) {
        const float v = x[i] * x[i];
        float& slot = p[channels == 1 ? 0 : (i & 1)];
        slot = MaxOf(v, slot);
    }
    s->peak1 = MaxOf(p[0], s->peak1);
    if (channels == 2)
        s->peak2 = MaxOf(p[1], s->peak2);
    // Sums keep the plain order of additions, so both give the same bits.
    if (flags & LEVEL_SUM) {
        SumSquares(&s->sum1, x, frames, channels);
        if (channels == 2)
            SumSquares(&s->sum2, x + 1, frames, channels);
    }
#else
    MeasureLevel(s, channels, flags, x, frames);
#endif
}

float PeakSquare(const float* x, int frames, int channels)
{
    if (frames <= 0 || channels <= 0)
        return 0.0f;
    LEVEL_STATE s{};
    if (HasSSE())
        MeasureLevelSSE(&s, 1, LEVEL_PEAK, x, frames * channels);
    else
        MeasureLevel(&s, 1, LEVEL_PEAK, x, frames * channels);
    return s.peak1;
}

BOOL HasSSE()
{
    static const BOOL answer = [] {
#ifdef MV_X86
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(0, &a, &b, &c, &d))
            return FALSE;
        const bool intel = b == 0x756E6547u && d == 0x49656E69u && c == 0x6C65746Eu;  // "GenuineIntel"
        if (!intel || !__get_cpuid(1, &a, &b, &c, &d))
            return FALSE;
        return (d & (1u << 25)) ? TRUE : FALSE;
#else
        return FALSE;
#endif
    }();
    return answer;
}

void FloatToIntRangePlain(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi)
{
    for (int i = 0; i < count; ++i)
        dst[i] = ConvertOne(src[i], scale, lo, hi);
}

#ifdef MV_X86
__attribute__((target("avx2"))) void FloatToIntRangeAvx2(std::int32_t* dst, const float* src, int count,
                                                          double scale, double lo, double hi)
{
    const __m256d k = _mm256_set1_pd(scale);
    const __m256d low = _mm256_set1_pd(lo);
    const __m256d high = _mm256_set1_pd(hi);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 f = _mm256_loadu_ps(src + i);
        __m256d a = _mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(f)), k);
        __m256d b = _mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(f, 1)), k);
        a = _mm256_and_pd(a, _mm256_cmp_pd(a, a, _CMP_ORD_Q));
        b = _mm256_and_pd(b, _mm256_cmp_pd(b, b, _CMP_ORD_Q));
        a = _mm256_min_pd(_mm256_max_pd(a, low), high);
        b = _mm256_min_pd(_mm256_max_pd(b, low), high);
        const __m256i both = _mm256_set_m128i(_mm256_cvtpd_epi32(b), _mm256_cvtpd_epi32(a));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), both);
    }
    FloatToIntRangePlain(dst + i, src + i, count - i, scale, lo, hi);
}

void FloatToIntRangeSse2(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi)
{
    const __m128d k = _mm_set1_pd(scale);
    const __m128d low = _mm_set1_pd(lo);
    const __m128d high = _mm_set1_pd(hi);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 f = _mm_loadu_ps(src + i);
        __m128d a = _mm_mul_pd(_mm_cvtps_pd(f), k);
        __m128d b = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), k);
        a = _mm_and_pd(a, _mm_cmpord_pd(a, a));
        b = _mm_and_pd(b, _mm_cmpord_pd(b, b));
        a = _mm_min_pd(_mm_max_pd(a, low), high);
        b = _mm_min_pd(_mm_max_pd(b, low), high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_unpacklo_epi64(_mm_cvtpd_epi32(a), _mm_cvtpd_epi32(b)));
    }
    FloatToIntRangePlain(dst + i, src + i, count - i, scale, lo, hi);
}

bool HasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#else
void FloatToIntRangeSse2(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi)
{
    FloatToIntRangePlain(dst, src, count, scale, lo, hi);
}

void FloatToIntRangeAvx2(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi)
{
    FloatToIntRangePlain(dst, src, count, scale, lo, hi);
}

bool HasAvx2() { return false; }
#endif

void FloatToIntRange(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi)
{
    if (HasAvx2())
        FloatToIntRangeAvx2(dst, src, count, scale, lo, hi);
    else
        FloatToIntRangeSse2(dst, src, count, scale, lo, hi);
}

void FloatToInt16(short* dst, const float* src, int count, double scale, int channels, int strideBytes)
{
    if (count <= 0)
        return;
    // Through an L1-sized scratch block of 32-bit results, then narrowed
    // (the values are already in range, so narrowing saturates nothing).
    constexpr int kChunk = 256;
    alignas(32) std::int32_t scratch[kChunk];
    const bool dense = channels == 1 || strideBytes == 2 * channels;
    if (dense) {
        for (int done = 0; done < count; done += kChunk) {
            const int n = std::min(kChunk, count - done);
            FloatToIntRange(scratch, src + done, n, scale, -32768.0, 32767.0);
            int i = 0;
#ifdef MV_X86
            for (; i + 8 <= n; i += 8) {
                const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(scratch + i));
                const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(scratch + i + 4));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + done + i), _mm_packs_epi32(a, b));
            }
#endif
            for (; i < n; ++i)
                dst[done + i] = static_cast<short>(scratch[i]);
        }
        return;
    }
    auto* out = reinterpret_cast<BYTE*>(dst);
    const int frames = count / 2;
    for (int f = 0; f < frames; ++f) {
        std::int32_t pair[2];
        FloatToIntRangePlain(pair, src + 2 * f, 2, scale, -32768.0, 32767.0);
        const short s[2] = {static_cast<short>(pair[0]), static_cast<short>(pair[1])};
        std::memcpy(out + static_cast<std::ptrdiff_t>(f) * strideBytes, s, sizeof s);
    }
}

void FillFloatBuffer(float* dst, int count, BOOL alternate, float value)
{
    if (count <= 0)
        return;
    if (!alternate) {
        std::fill(dst, dst + count, 0.0f);
        return;
    }
    const int head = count % 8;
    std::fill(dst, dst + head, value);
    const float group[8] = {0.0f, 0.0f, value, value, 0.0f, 0.0f, value, value};
    for (int i = head; i < count; i += 8)
        std::memcpy(dst + i, group, sizeof group);
}

void FillSilence(float* dst, int count) { FillFloatBuffer(dst, count, TRUE, kSilenceValue); }
