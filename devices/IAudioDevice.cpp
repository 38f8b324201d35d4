#include "devices/IAudioDevice.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr int kDefaultRateIndex = 2;  // 44100

// Width codes within a rate's nibble.
constexpr int kWidth16 = 0;
constexpr int kWidth24Packed = 1;
constexpr int kWidth24In32 = 2;
constexpr int kWidth32 = 3;

// a x b / c in 64 bits, rounded half away from zero; 0 for c = 0.
std::int64_t MulDivRounded(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return 0;
    const std::int64_t n = a * b;
    std::int64_t q = n / c;
    const std::int64_t r = n % c;
    if (2 * (r < 0 ? -r : r) >= (c < 0 ? -c : c))
        q += (n < 0) != (c < 0) ? -1 : 1;
    return q;
}

int ToInt(std::int64_t v)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Powers of two only: the power of two at or above, unless the frames are
// no more than three quarters of it; then the one below.
std::int64_t ToPowerOfTwo(std::int64_t frames)
{
    std::int64_t p = 1;
    while (p < frames)
        p <<= 1;
    return frames > p / 2 + p / 4 ? p : p / 2;
}

}  // namespace

int AudioRateIndex(int rate)
{
    const auto* it = std::find(std::begin(kAudioRates), std::end(kAudioRates), rate);
    return it == std::end(kAudioRates) ? -1 : static_cast<int>(it - std::begin(kAudioRates));
}

int FormatIndex(int rate, unsigned short bits, int in32)
{
    const int rateIndex = AudioRateIndex(rate);
    int width = kWidth32;
    if (bits == 16)
        width = kWidth16;
    else if (bits == 24)
        width = in32 ? kWidth24In32 : kWidth24Packed;
    return (rateIndex < 0 ? kDefaultRateIndex : rateIndex) * 4 + width;
}

HRESULT IsAudioFormatSupported(int rate, unsigned short bits, unsigned short mode24, unsigned mask)
{
    const int rateIndex = AudioRateIndex(rate);
    if (rateIndex < 0)
        return E_INVALIDARG;
    const unsigned nibble = (mask >> (4 * rateIndex)) & 0xFu;
    auto offered = [nibble](int width) { return (nibble & (1u << width)) != 0; };
    if (bits == 16)
        return offered(kWidth16) ? S_OK : S_FALSE;
    if (mode24 > kMax24BitMode)
        return E_UNEXPECTED;
    bool supported = false;
    if (mode24 == 0)
        supported = offered(kWidth24Packed) && bits == 24;
    else if (mode24 <= 2)
        supported = offered(kWidth24In32) && bits == 24;
    else
        supported = offered(kWidth32) && bits == 32;
    return supported ? S_OK : S_FALSE;
}

HRESULT DescribeFormat(unsigned maskBit, WAVEFORMATEX* format)
{
    if (!format)
        return E_POINTER;
    if (maskBit == 0)
        return E_INVALIDARG;
    int rateIndex = 0;
    while (((maskBit >> (4 * rateIndex)) & 0xFu) == 0)
        ++rateIndex;
    if (rateIndex >= kAudioRateCount)
        return E_INVALIDARG;
    unsigned short bits = 0;
    unsigned short mode24 = 0;
    switch ((maskBit >> (4 * rateIndex)) & 0xFu) {
    case 1u << kWidth16:
        bits = 16;
        break;
    case 1u << kWidth24Packed:
        bits = 24;
        break;
    case 1u << kWidth24In32:
        bits = 24;
        mode24 = 1;
        break;
    case 1u << kWidth32:
        bits = 32;
        mode24 = 3;
        break;
    default:
        return E_INVALIDARG;
    }
    *format = MakeDeviceFormat(kAudioRates[rateIndex], bits, mode24);
    return S_OK;
}

int ComputeBufferFrames(int msec, int rate, unsigned short bits, int in32, const int* limits)
{
    const std::int64_t frames = MulDivRounded(msec, rate, 1000);
    if (!limits)
        return ToInt(frames);
    const int index = FormatIndex(rate, bits, in32);
    const std::int64_t minimum = limits[kBufferLimitMinimum + index];
    const std::int64_t maximum = limits[kBufferLimitMaximum + index];
    const std::int64_t granularity = limits[kBufferLimitGranularity + index];
    if (minimum == 0 || maximum == 0)
        return ToInt(frames);
    if (minimum == maximum)
        return ToInt(minimum);
    std::int64_t sized = frames;
    if (granularity == kGranularityPowerOfTwo)
        sized = ToPowerOfTwo(frames);
    else if (granularity > 0)
        sized = frames / granularity * granularity;
    // A device that reports its minimum above its maximum gets its maximum.
    return ToInt(std::min(std::max(sized, minimum), maximum));
}

int DeviceFrameBytes(unsigned short bits, unsigned short mode24)
{
    if (bits <= 16)
        return 4;
    return mode24 == 0 && bits <= 24 ? 6 : 8;
}

WAVEFORMATEX MakeDeviceFormat(int rate, unsigned short bits, unsigned short mode24)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nBlockAlign = static_cast<WORD>(DeviceFrameBytes(bits, mode24));
    format.wBitsPerSample = bits > 16 && (mode24 == 3 || mode24 == 4) ? 32 : bits;
    format.nAvgBytesPerSec = format.nBlockAlign * static_cast<DWORD>(rate);
    format.cbSize = 0;
    return format;
}

HRESULT StopAndReleaseBuffers(IAudioDevice& device)
{
    const HRESULT hr = device.Stop();
    if (FAILED(hr))
        return hr;
    return device.ReleaseBuffers();
}

HRESULT DescribeSinglePort(GUID* id, CString* name, const char* portName, unsigned* mask, unsigned portMask,
                           int* limits, int limit)
{
    if (!id && !name)
        return E_INVALIDARG;
    if (id)
        *id = GUID{};
    if (name)
        *name = portName;
    if (mask)
        *mask = portMask;
    if (limits)
        std::fill(limits, limits + kBufferLimitEntries, limit);
    return S_OK;
}
