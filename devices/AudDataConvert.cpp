#include "devices/AudDataConvert.h"

#include <algorithm>
#include <cstring>

#include "engine/graph/SampleKernels.h"

namespace {

constexpr double kLow24 = -8388608.0;
constexpr double kHigh24 = 8388607.0;
constexpr float kIn16 = 1.0f / 32768.0f;
constexpr float kIn24 = 1.0f / 8388608.0f;
// Converted in L1-sized pieces through a scratch block of 32-bit values.
constexpr int kChunk = 256;

bool IsDense(int channels, int strideBytes, int packedBytes) { return channels == 1 || strideBytes == packedBytes; }

void WritePacked(BYTE* dst, std::int32_t v)
{
    dst[0] = static_cast<BYTE>(v);
    dst[1] = static_cast<BYTE>(v >> 8);
    dst[2] = static_cast<BYTE>(v >> 16);
}

}  // namespace

void Float24ToPacked(BYTE* dst, const float* src, int count, double scale, int channels, int strideBytes)
{
    if (count <= 0)
        return;
    alignas(32) std::int32_t scratch[kChunk];
    if (IsDense(channels, strideBytes, 3 * channels)) {
        for (int done = 0; done < count; done += kChunk) {
            const int n = std::min(kChunk, count - done);
            FloatToIntRange(scratch, src + done, n, scale, kLow24, kHigh24);
            BYTE* out = dst + static_cast<std::ptrdiff_t>(done) * 3;
            // Four-byte stores, each overwriting the spare byte of the one
            // before; the call's very last sample gets exactly three bytes.
            const int wide = done + n == count ? n - 1 : n;
            for (int i = 0; i < wide; ++i)
                std::memcpy(out + 3 * i, &scratch[i], 4);
            if (wide < n)
                WritePacked(out + 3 * wide, scratch[wide]);
        }
        return;
    }
    for (int f = 0; f < count / 2; ++f) {
        FloatToIntRange(scratch, src + 2 * f, 2, scale, kLow24, kHigh24);
        BYTE* out = dst + static_cast<std::ptrdiff_t>(f) * strideBytes;
        WritePacked(out, scratch[0]);
        WritePacked(out + 3, scratch[1]);
    }
}

void Float24To32(std::int32_t* dst, const float* src, int count, double scale, int channels, int strideBytes)
{
    if (count <= 0)
        return;
    if (IsDense(channels, strideBytes, 4 * channels)) {
        FloatToIntRange(dst, src, count, scale, kLow24, kHigh24);
        return;
    }
    auto* out = reinterpret_cast<BYTE*>(dst);
    for (int f = 0; f < count / 2; ++f) {
        std::int32_t pair[2];
        FloatToIntRange(pair, src + 2 * f, 2, scale, kLow24, kHigh24);
        std::memcpy(out + static_cast<std::ptrdiff_t>(f) * strideBytes, pair, sizeof pair);
    }
}

void ShiftWordsLeft8(std::int32_t* words, int count)
{
    for (int i = 0; i < count; ++i)
        words[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(words[i]) << 8);
}

void Int16ToFloat(float* dst, const short* src, int count)
{
    for (int i = 0; i < count; ++i)
        dst[i] = static_cast<float>(src[i]) * kIn16;
}

void Packed24ToFloat(float* dst, const BYTE* src, int count)
{
    for (int i = 0; i < count; ++i) {
        const BYTE* p = src + 3 * static_cast<std::ptrdiff_t>(i);
        const std::uint32_t u = p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
        const std::int32_t v = static_cast<std::int32_t>(u << 8) >> 8;
        dst[i] = static_cast<float>(v) * kIn24;
    }
}

void Int32ToFloat(float* dst, const std::int32_t* src, int count, bool highAligned)
{
    const int shift = highAligned ? 8 : 0;
    for (int i = 0; i < count; ++i)
        dst[i] = static_cast<float>(src[i] >> shift) * kIn24;
}
