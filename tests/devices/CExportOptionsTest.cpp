// The export options record: the stereo-mode list's entries, the MP3 rate
// families and their bit rates.
#include <gtest/gtest.h>

#include "devices/CExportOptions.h"

namespace {

TEST(CExportOptionsTest, TheStereoModeListSetsModeAndMidSideFlag)
{
    CExportOptions o;
    const struct {
        LONG item, mode, midSide;
    } cases[] = {{0, 0, 0}, {1, 1, 0}, {3, 3, 0}, {4, 1, 1}, {1, 1, 0}};
    for (const auto& c : cases) {
        o.SetStereoModeItem(c.item);
        EXPECT_EQ(c.mode, o.stereoMode) << "item " << c.item;
        EXPECT_EQ(c.midSide, o.midSide) << "item " << c.item;
    }
}

TEST(CExportOptionsTest, EachMp3RateBelongsToItsFamilyWithItsBitRates)
{
    const struct {
        LONG rate;
        int family;
        LONG first, last;
    } cases[] = {{22050, 0, 8, 160}, {24000, 0, 8, 160}, {16000, 0, 8, 160}, {44100, 1, 32, 320},
                 {48000, 1, 32, 320}, {32000, 1, 32, 320}, {11025, 2, 8, 160}, {12000, 2, 8, 160},
                 {8000, 2, 8, 160}, {96000, -1, 0, 0}, {88200, -1, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(c.family, CExportOptions::Mp3RateFamily(c.rate));
        const std::vector<LONG> rates = CExportOptions::Mp3BitRates(c.family);
        if (c.family < 0) {
            EXPECT_TRUE(rates.empty());
            continue;
        }
        ASSERT_EQ(14u, rates.size());
        EXPECT_EQ(c.first, rates.front());
        EXPECT_EQ(c.last, rates.back());
        EXPECT_NE(rates.end(), std::find(rates.begin(), rates.end(), 128));
    }
}

}  // namespace
