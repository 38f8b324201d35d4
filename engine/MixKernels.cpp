#include "engine/MixKernels.h"

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
