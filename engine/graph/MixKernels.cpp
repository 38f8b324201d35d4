#include "engine/graph/MixKernels.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MV_X86 1
#endif

namespace {

inline float Fold(const float* frame) { return (frame[0] + frame[1]) * 0.5f; }

#ifdef MV_X86
bool UseAvx()
{
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}

__attribute__((target("avx"))) void AddAvx(float* dst, const float* src, int count)
{
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        for (int k = 0; k < 32; k += 8)
            _mm256_storeu_ps(dst + i + k, _mm256_add_ps(_mm256_loadu_ps(dst + i + k), _mm256_loadu_ps(src + i + k)));
    }
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_ps(dst + i, _mm256_add_ps(_mm256_loadu_ps(dst + i), _mm256_loadu_ps(src + i)));
    for (; i < count; ++i)
        dst[i] += src[i];
}

void AddSse(float* dst, const float* src, int count)
{
    int i = 0;
    for (; i + 4 <= count; i += 4)
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
    for (; i < count; ++i)
        dst[i] += src[i];
}

// Eight accumulators: each add waits for the one before it in the same
// register, so eight independent chains keep the adder busy. Written out,
// so that they stay in registers.
__attribute__((target("avx"))) void SumAvx(float* dst, const float* const* sources, int sourceCount, int count)
{
    int i = 0;
    for (; i + 64 <= count; i += 64) {
        const float* x = sources[0] + i;
        __m256 a0 = _mm256_loadu_ps(x), a1 = _mm256_loadu_ps(x + 8), a2 = _mm256_loadu_ps(x + 16),
               a3 = _mm256_loadu_ps(x + 24), a4 = _mm256_loadu_ps(x + 32), a5 = _mm256_loadu_ps(x + 40),
               a6 = _mm256_loadu_ps(x + 48), a7 = _mm256_loadu_ps(x + 56);
        for (int s = 1; s < sourceCount; ++s) {
            x = sources[s] + i;
            a0 = _mm256_add_ps(a0, _mm256_loadu_ps(x));
            a1 = _mm256_add_ps(a1, _mm256_loadu_ps(x + 8));
            a2 = _mm256_add_ps(a2, _mm256_loadu_ps(x + 16));
            a3 = _mm256_add_ps(a3, _mm256_loadu_ps(x + 24));
            a4 = _mm256_add_ps(a4, _mm256_loadu_ps(x + 32));
            a5 = _mm256_add_ps(a5, _mm256_loadu_ps(x + 40));
            a6 = _mm256_add_ps(a6, _mm256_loadu_ps(x + 48));
            a7 = _mm256_add_ps(a7, _mm256_loadu_ps(x + 56));
        }
        float* y = dst + i;
        _mm256_storeu_ps(y, a0);
        _mm256_storeu_ps(y + 8, a1);
        _mm256_storeu_ps(y + 16, a2);
        _mm256_storeu_ps(y + 24, a3);
        _mm256_storeu_ps(y + 32, a4);
        _mm256_storeu_ps(y + 40, a5);
        _mm256_storeu_ps(y + 48, a6);
        _mm256_storeu_ps(y + 56, a7);
    }
    for (; i + 8 <= count; i += 8) {
        __m256 a = _mm256_loadu_ps(sources[0] + i);
        for (int s = 1; s < sourceCount; ++s)
            a = _mm256_add_ps(a, _mm256_loadu_ps(sources[s] + i));
        _mm256_storeu_ps(dst + i, a);
    }
    for (; i < count; ++i) {
        float v = sources[0][i];
        for (int s = 1; s < sourceCount; ++s)
            v += sources[s][i];
        dst[i] = v;
    }
}

// Four stereo frames in, four folded values out.
inline __m128 FoldFour(const float* src)
{
    const __m128 a = _mm_loadu_ps(src);
    const __m128 b = _mm_loadu_ps(src + 4);
    const __m128 left = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 right = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    return _mm_mul_ps(_mm_add_ps(left, right), _mm_set1_ps(0.5f));
}
#endif

}  // namespace

void MixCopy(float* dst, const float* src, int count)
{
    if (count > 0)
        std::memcpy(dst, src, static_cast<std::size_t>(count) * sizeof(float));
}

void MixAdd(float* dst, const float* src, int count)
{
#ifdef MV_X86
    if (UseAvx())
        AddAvx(dst, src, count);
    else
        AddSse(dst, src, count);
#else
    for (int i = 0; i < count; ++i)
        dst[i] += src[i];
#endif
}

void MixSum(float* dst, const float* const* sources, int sourceCount, int count)
{
#ifdef MV_X86
    if (UseAvx()) {
        SumAvx(dst, sources, sourceCount, count);
        return;
    }
#endif
    MixCopy(dst, sources[0], count);
    for (int s = 1; s < sourceCount; ++s)
        MixAdd(dst, sources[s], count);
}

void MixFoldCopy(float* dst, const float* src, int frames)
{
    int k = 0;
#ifdef MV_X86
    for (; k + 4 <= frames; k += 4)
        _mm_storeu_ps(dst + k, FoldFour(src + 2 * k));
#endif
    for (; k < frames; ++k)
        dst[k] = Fold(src + 2 * k);
}

void MixFoldAdd(float* dst, const float* src, int frames)
{
    int k = 0;
#ifdef MV_X86
    for (; k + 4 <= frames; k += 4)
        _mm_storeu_ps(dst + k, _mm_add_ps(_mm_loadu_ps(dst + k), FoldFour(src + 2 * k)));
#endif
    for (; k < frames; ++k)
        dst[k] += Fold(src + 2 * k);
}
