#include "devices/IAudioDevice.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// A limit table with one format's minimum, maximum and granularity set.
std::array<int, kBufferLimitEntries> Limits(int formatIndex, int minimum, int maximum, int granularity)
{
    std::array<int, kBufferLimitEntries> limits{};
    limits[kBufferLimitMinimum + formatIndex] = minimum;
    limits[kBufferLimitMaximum + formatIndex] = maximum;
    limits[kBufferLimitGranularity + formatIndex] = granularity;
    return limits;
}

TEST(IAudioDeviceTest, FormatIndexIsRateIndexTimesFourPlusWidth)
{
    struct Case {
        int rate;
        unsigned short bits;
        int in32;
        int expected;
    };
    const Case cases[] = {
        {11025, 16, 0, 0},  {11025, 24, 0, 1},  {11025, 24, 1, 2},  {11025, 32, 0, 3},
        {44100, 16, 1, 8},  {48000, 24, 0, 13}, {96000, 24, 1, 22}, {96000, 32, 1, 23},
        {88200, 8, 0, 19},  // any other width counts as 32
        {32000, 16, 0, 8},  // an unknown rate counts as 44100
        {0, 24, 1, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, FormatIndex(c.rate, c.bits, c.in32)) << c.rate << "/" << c.bits << "/" << c.in32;
}

TEST(IAudioDeviceTest, IsAudioFormatSupportedReadsTheRatesNibble)
{
    struct Case {
        int rate;
        unsigned short bits;
        unsigned short mode;
        unsigned mask;
        HRESULT expected;
    };
    const Case cases[] = {
        {44100, 24, 1, 0x400, S_OK},
        {44100, 24, 2, 0x400, S_OK},
        {44100, 24, 0, 0x400, S_FALSE},
        {44100, 24, 0, 0x200, S_OK},
        {44100, 16, 0, 0x100, S_OK},
        {44100, 16, 3, 0x0FF, S_FALSE},  // another rate's bits do not count
        {48000, 16, 0, 0x1000, S_OK},
        {48000, 32, 3, 0x8000, S_OK},
        {48000, 32, 4, 0x8000, S_OK},
        {48000, 24, 3, 0x8000, S_FALSE},  // modes 3 and 4 need 32 bits
        {48000, 32, 1, 0x4000, S_FALSE},  // modes 1 and 2 need 24 bits
        {96000, 24, 0, 0x200000, S_OK},
        {32000, 16, 0, 0xFFFFFF, E_INVALIDARG},
        {44100, 24, 5, 0xFFFFFF, E_UNEXPECTED},
        {44100, 16, 5, 0x100, S_OK},  // 16 bits are answered before the mode is looked at
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, IsAudioFormatSupported(c.rate, c.bits, c.mode, c.mask))
            << c.rate << "/" << c.bits << "/" << c.mode << " mask 0x" << std::hex << c.mask;
}

TEST(IAudioDeviceTest, DescribeFormatBuildsTheRecordOfOneCapabilityBit)
{
    struct Case {
        unsigned bit;
        DWORD rate;
        WORD bits;
        WORD blockAlign;
    };
    const Case cases[] = {
        {0x100, 44100, 16, 4},     {0x200, 44100, 24, 6},     {0x400, 44100, 24, 8},
        {0x800, 44100, 32, 8},     {0x1, 11025, 16, 4},       {0x80000, 88200, 32, 8},
        {0x100000, 96000, 16, 4},  {0x110, 22050, 16, 4},  // the lowest nibble gives the format
    };
    for (const Case& c : cases) {
        WAVEFORMATEX format{};
        ASSERT_EQ(S_OK, DescribeFormat(c.bit, &format)) << std::hex << c.bit;
        EXPECT_EQ(WAVE_FORMAT_PCM, format.wFormatTag);
        EXPECT_EQ(2, format.nChannels);
        EXPECT_EQ(c.rate, format.nSamplesPerSec);
        EXPECT_EQ(c.bits, format.wBitsPerSample);
        EXPECT_EQ(c.blockAlign, format.nBlockAlign);
        EXPECT_EQ(c.blockAlign * c.rate, format.nAvgBytesPerSec);
        EXPECT_EQ(0, format.cbSize);
    }
    WAVEFORMATEX cd{};
    ASSERT_EQ(S_OK, DescribeFormat(0x100, &cd));
    EXPECT_EQ(176400u, cd.nAvgBytesPerSec);

    WAVEFORMATEX untouched{};
    untouched.nSamplesPerSec = 1234;
    for (unsigned bad : {0x0u, 0x300u, 0xF00u, 0x1000000u, 0x80000000u})
        EXPECT_EQ(E_INVALIDARG, DescribeFormat(bad, &untouched)) << std::hex << bad;
    EXPECT_EQ(1234u, untouched.nSamplesPerSec);
    EXPECT_EQ(E_POINTER, DescribeFormat(0x100, nullptr));
}

TEST(IAudioDeviceTest, ComputeBufferFramesKeepsToThePortsLimits)
{
    const int cd16 = FormatIndex(44100, 16, 0);
    struct Case {
        const char* name;
        int msec;
        int rate;
        std::array<int, kBufferLimitEntries> limits;
        int expected;
    };
    const Case cases[] = {
        {"next power of two is too far: the one below", 100, 44100, Limits(cd16, 64, 8192, -1), 4096},
        {"granularity 32 rounds down", 100, 44100, Limits(cd16, 64, 8192, 32), 4384},
        {"maximum", 100, 44100, Limits(cd16, 64, 2048, -1), 2048},
        {"minimum", 1, 44100, Limits(cd16, 64, 8192, 32), 64},
        {"above three quarters: the power above", 150, 44100, Limits(cd16, 64, 16384, -1), 8192},
        {"a power of two stays", 4096 * 1000 / 44100 + 1, 44100, Limits(cd16, 64, 16384, -1), 4096},
        {"fixed size", 100, 44100, Limits(cd16, 512, 512, 32), 512},
        {"no limits: milliseconds at the rate", 100, 48000, {}, 4800},
        {"rounded to nearest", 7, 44100, {}, 309},  // 308.7
        {"limits of another format do not count", 100, 48000, Limits(cd16, 64, 2048, -1), 4800},
        {"no granularity: no rounding", 100, 44100, Limits(cd16, 64, 8192, 0), 4410},
        {"minimum above maximum: the maximum", 100, 44100, Limits(cd16, 8192, 1024, 0), 1024},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ComputeBufferFrames(c.msec, c.rate, 16, 0, c.limits.data())) << c.name;

    EXPECT_EQ(4410, ComputeBufferFrames(100, 44100, 16, 0, nullptr));
    const auto in32 = Limits(FormatIndex(96000, 24, 1), 128, 1024, -1);
    EXPECT_EQ(1024, ComputeBufferFrames(10, 96000, 24, 1, in32.data()));  // 960 -> 1024
    EXPECT_EQ(960, ComputeBufferFrames(10, 96000, 24, 0, in32.data()));   // packed: no limits
}

TEST(IAudioDeviceTest, DeviceFormatRecordFollowsBitsAndContainerMode)
{
    struct Case {
        unsigned short bits;
        unsigned short mode;
        WORD blockAlign;
        WORD bitsWritten;
    };
    const Case cases[] = {
        {16, 0, 4, 16}, {16, 3, 4, 16}, {8, 0, 4, 8},   {24, 0, 6, 24}, {24, 1, 8, 24},
        {24, 2, 8, 24}, {24, 3, 8, 32}, {24, 4, 8, 32}, {32, 3, 8, 32}, {32, 4, 8, 32},
        {32, 0, 8, 32},  // 32 bits never fit a packed 3-byte frame
    };
    for (const Case& c : cases) {
        const WAVEFORMATEX format = MakeDeviceFormat(48000, c.bits, c.mode);
        EXPECT_EQ(c.blockAlign, format.nBlockAlign) << c.bits << "/" << c.mode;
        EXPECT_EQ(c.blockAlign, DeviceFrameBytes(c.bits, c.mode)) << c.bits << "/" << c.mode;
        EXPECT_EQ(c.bitsWritten, format.wBitsPerSample) << c.bits << "/" << c.mode;
        EXPECT_EQ(c.blockAlign * 48000u, format.nAvgBytesPerSec);
        EXPECT_EQ(WAVE_FORMAT_PCM, format.wFormatTag);
        EXPECT_EQ(2, format.nChannels);
        EXPECT_EQ(0, format.cbSize);
    }
}

}  // namespace
