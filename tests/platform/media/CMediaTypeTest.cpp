#include <gtest/gtest.h>

#include "TestFilters.h"

TEST(MediaType, CopiesAreDeepAndCompareByTypeAndFormat)
{
    CMediaType a = mvtest::FloatType(2);
    CMediaType b = a;
    EXPECT_EQ(a, b);
    EXPECT_NE(a.pbFormat, b.pbFormat);
    reinterpret_cast<WAVEFORMATEX*>(b.pbFormat)->nSamplesPerSec = 48000;
    EXPECT_NE(a, b);

    AM_MEDIA_TYPE* raw = CreateMediaType(&a);
    ASSERT_NE(nullptr, raw);
    EXPECT_EQ(CMediaType(*raw), a);
    DeleteMediaType(raw);
    DeleteMediaType(nullptr);
}

TEST(MediaType, APartialTypeAdmitsEveryTypeOfItsFamily)
{
    CMediaType partial;
    partial.majortype = MEDIATYPE_Audio;
    EXPECT_TRUE(partial.IsPartiallySpecified());
    CMediaType full = mvtest::FloatType(1);
    EXPECT_FALSE(full.IsPartiallySpecified());
    EXPECT_TRUE(partial.MatchesPartial(&full));
    partial.majortype = FORMAT_WaveFormatEx;
    EXPECT_FALSE(partial.MatchesPartial(&full));
    EXPECT_TRUE(full.MatchesPartial(&full));
}

TEST(MediaType, WaveFormatKeepsItsPackedLayout)
{
    EXPECT_EQ(18u, sizeof(WAVEFORMATEX));
    EXPECT_EQ(2u, offsetof(WAVEFORMATEX, nChannels));
    EXPECT_EQ(4u, offsetof(WAVEFORMATEX, nSamplesPerSec));
    EXPECT_EQ(16u, offsetof(WAVEFORMATEX, cbSize));
}
