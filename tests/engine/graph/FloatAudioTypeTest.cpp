#include <gtest/gtest.h>

#include <functional>

#include "engine/graph/FloatAudioType.h"

namespace {

WAVEFORMATEX& Wfx(CMediaType& mt) { return *reinterpret_cast<WAVEFORMATEX*>(mt.pbFormat); }

// A float stereo type spoiled in one way.
struct Spoil {
    const char* name;
    std::function<void(CMediaType&)> apply;
};

const Spoil kSpoils[] = {
    {"null format block", [](CMediaType& mt) { mt.ResetFormatBuffer(); }},
    {"short format block", [](CMediaType& mt) { mt.cbFormat = 16; }},
    {"not audio", [](CMediaType& mt) { mt.majortype = FORMAT_WaveFormatEx; }},
    {"temporal compression", [](CMediaType& mt) { mt.bTemporalCompression = TRUE; }},
    {"variable-size samples", [](CMediaType& mt) { mt.bFixedSizeSamples = FALSE; }},
    {"tag 1 with 32 bits", [](CMediaType& mt) { Wfx(mt).wFormatTag = WAVE_FORMAT_PCM; }},
    {"tag 3 with 16 bits", [](CMediaType& mt) { Wfx(mt).wBitsPerSample = 16; }},
    {"3 channels", [](CMediaType& mt) { Wfx(mt).nChannels = 3; }},
};

CMediaType Stereo()
{
    CMediaType mt;
    BuildFloatMediaType(&mt, 2, 44100);
    return mt;
}

}  // namespace

TEST(FloatAudioType, BuildsTheEnginesFloatFormat)
{
    CMediaType mt = Stereo();
    ASSERT_EQ(18u, mt.cbFormat);
    const WAVEFORMATEX& w = Wfx(mt);
    EXPECT_EQ(WAVE_FORMAT_IEEE_FLOAT, w.wFormatTag);
    EXPECT_EQ(2, w.nChannels);
    EXPECT_EQ(44100u, w.nSamplesPerSec);
    EXPECT_EQ(352800u, w.nAvgBytesPerSec);
    EXPECT_EQ(8, w.nBlockAlign);
    EXPECT_EQ(32, w.wBitsPerSample);
    EXPECT_EQ(0, w.cbSize);
    EXPECT_EQ(8u, mt.lSampleSize);
    EXPECT_TRUE(IsEqualGUID(mt.majortype, MEDIATYPE_Audio));
    EXPECT_TRUE(IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx));
    EXPECT_TRUE(mt.bFixedSizeSamples);
    EXPECT_FALSE(mt.bTemporalCompression);
}

TEST(FloatAudioType, EveryTestRefusesEachSpoiledTypeWithInvalidArg)
{
    for (const Spoil& s : kSpoils) {
        CMediaType mt = Stereo();
        s.apply(mt);
        EXPECT_EQ(E_INVALIDARG, CheckSourceFloatType(&mt)) << s.name;
        EXPECT_EQ(E_INVALIDARG, CheckRendererFloatType(&mt)) << s.name;
        EXPECT_EQ(E_INVALIDARG, CheckFloatAudioType(&mt, WAVE_FORMAT_IEEE_FLOAT, 2)) << s.name;
        if (s.name == kSpoils[1].name)
            mt.cbFormat = 18;  // give the block back before it is freed
    }
}

TEST(FloatAudioType, OnlyTheSourceLeavesTheFormatTypeAndNoTestReadsTheSubtype)
{
    CMediaType mt = Stereo();
    mt.subtype = GUID_NULL;
    EXPECT_EQ(S_OK, CheckSourceFloatType(&mt));
    EXPECT_EQ(S_OK, CheckRendererFloatType(&mt));
    mt.formattype = GUID_NULL;
    EXPECT_EQ(S_OK, CheckSourceFloatType(&mt));
    EXPECT_EQ(E_INVALIDARG, CheckRendererFloatType(&mt));
    EXPECT_EQ(E_INVALIDARG, CheckFloatAudioType(&mt, WAVE_FORMAT_IEEE_FLOAT, 2));
}

TEST(FloatAudioType, TheMixerTestMatchesTagBitsAndChannels)
{
    CMediaType mono;
    BuildFloatMediaType(&mono, 1, 48000);
    EXPECT_EQ(E_INVALIDARG, CheckFloatAudioType(&mono, WAVE_FORMAT_IEEE_FLOAT, 2));
    EXPECT_EQ(S_OK, CheckFloatAudioType(&mono, WAVE_FORMAT_IEEE_FLOAT, 0));
    EXPECT_EQ(S_OK, CheckSourceFloatType(&mono));
    CMediaType pcm;
    BuildPcm16MediaType(&pcm, 1, 48000);
    EXPECT_EQ(S_OK, CheckFloatAudioType(&pcm, WAVE_FORMAT_PCM, 1));
    EXPECT_EQ(E_INVALIDARG, CheckFloatAudioType(&pcm, WAVE_FORMAT_IEEE_FLOAT, 1));
    EXPECT_EQ(E_INVALIDARG, CheckSourceFloatType(&pcm));
    EXPECT_EQ(2, reinterpret_cast<WAVEFORMATEX*>(pcm.pbFormat)->nBlockAlign);
}
