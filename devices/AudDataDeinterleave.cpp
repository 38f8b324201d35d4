#include "devices/AudDataDeinterleave.h"

#include <cstdint>
#include <cstring>

namespace {

template <class T>
T Swapped(T v)
{
    if constexpr (sizeof(T) == 2)
        return static_cast<T>(__builtin_bswap16(v));
    else
        return static_cast<T>(__builtin_bswap32(v));
}

// Samples of type T, alternating left and right.
template <class T, bool swap>
void SplitWords(const void* source, void* left, void* right, int frames)
{
    const auto* src = static_cast<const unsigned char*>(source);
    auto* l = static_cast<T*>(left);
    auto* r = static_cast<T*>(right);
    for (int i = 0; i < frames; ++i) {
        T pair[2];
        std::memcpy(pair, src + 2 * sizeof(T) * static_cast<std::size_t>(i), sizeof pair);
        l[i] = swap ? Swapped(pair[0]) : pair[0];
        r[i] = swap ? Swapped(pair[1]) : pair[1];
    }
}

template <bool swap>
void CopyPacked(unsigned char* dst, const unsigned char* src)
{
    dst[0] = src[swap ? 2 : 0];
    dst[1] = src[1];
    dst[2] = src[swap ? 0 : 2];
}

template <bool swap>
void SplitPacked24(const void* source, void* left, void* right, int frames)
{
    const auto* src = static_cast<const unsigned char*>(source);
    auto* l = static_cast<unsigned char*>(left);
    auto* r = static_cast<unsigned char*>(right);
    for (int i = 0; i < frames; ++i) {
        CopyPacked<swap>(l + 3 * i, src + 6 * i);
        CopyPacked<swap>(r + 3 * i, src + 6 * i + 3);
    }
}

template <bool swap>
void Split(int bits, const void* source, void* left, void* right, int frames)
{
    switch (bits) {
    case 16:
        SplitWords<std::uint16_t, swap>(source, left, right, frames);
        break;
    case 24:
        SplitPacked24<swap>(source, left, right, frames);
        break;
    case 32:
        SplitWords<std::uint32_t, swap>(source, left, right, frames);
        break;
    default:
        break;
    }
}

}  // namespace

void Deinterleave(int bits, const void* source, void* left, void* right, int frames)
{
    Split<false>(bits, source, left, right, frames);
}

void DeinterleaveBigEndian(int bits, const void* source, void* left, void* right, int frames)
{
    Split<true>(bits, source, left, right, frames);
}
