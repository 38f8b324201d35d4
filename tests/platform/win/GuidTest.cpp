#include <gtest/gtest.h>

#include "platform/com/Persist.h"
#include "platform/win/Guid.h"
#include "platform/win/WideString.h"

namespace {

MV_DEFINE_GUID(kSample, 0xE2BD0C2C, 0x63E7, 0x4961, 0x89, 0x0B, 0x2A, 0x75, 0x7D, 0xEC, 0x3A, 0x05);

TEST(Guid, FormatsInBracedUpperCaseRegistryForm)
{
    EXPECT_EQ(mvwin::GuidToString(kSample), "{E2BD0C2C-63E7-4961-890B-2A757DEC3A05}");
    EXPECT_EQ(mvwin::GuidToString(IID_IPersistStreamInit), "{7FD52380-4E07-101B-AE2D-08002B2EC713}");
}

TEST(Guid, KeepsTheWindowsByteLayout)
{
    const unsigned char expected[16] = {0x2C, 0x0C, 0xBD, 0xE2, 0xE7, 0x63, 0x61, 0x49,
                                        0x89, 0x0B, 0x2A, 0x75, 0x7D, 0xEC, 0x3A, 0x05};
    EXPECT_EQ(0, std::memcmp(&kSample, expected, 16));
}

TEST(Guid, ParsesEitherCaseAndRoundTrips)
{
    GUID g{};
    ASSERT_TRUE(mvwin::GuidFromString("{e2bd0c2c-63e7-4961-890b-2a757dec3a05}", g));
    EXPECT_EQ(g, kSample);
}

TEST(Guid, RejectsMalformedTextAndLeavesOutputAlone)
{
    const char* bad[] = {
        "",
        "E2BD0C2C-63E7-4961-890B-2A757DEC3A05",     // no braces
        "{E2BD0C2C-63E7-4961-890B-2A757DEC3A0}",    // short
        "{E2BD0C2C-63E7-4961-890B-2A757DEC3A05}x",  // trailing
        "{E2BD0C2C_63E7-4961-890B-2A757DEC3A05}",   // wrong separator
        "{E2BD0C2C-63E7-4961-890B-2A757DEC3AG5}",   // not hex
    };
    for (const char* text : bad) {
        GUID g = kSample;
        EXPECT_FALSE(mvwin::GuidFromString(text, g)) << text;
        EXPECT_EQ(g, kSample) << text;
    }
}

TEST(WideString, RoundTripsUtf8ThroughUtf16)
{
    const std::string texts[] = {"", "Bass Drum", "Käse", "\xE2\x99\xAB note", "\xF0\x9F\x8E\xB9 keys"};
    for (const auto& t : texts)
        EXPECT_EQ(mvwin::Utf16ToUtf8(mvwin::Utf8ToUtf16(t)), t);
    EXPECT_EQ(mvwin::Utf8ToUtf16("\xF0\x9F\x8E\xB9").size(), 2u);  // one surrogate pair
}

TEST(WideString, ReplacesBrokenSequences)
{
    EXPECT_EQ(mvwin::Utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(mvwin::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
