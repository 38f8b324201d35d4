#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "uikit/core/AbbreviateText.h"

namespace {

std::string Abbreviate(const std::string& text, int budget, char fill = '.')
{
    char out[64];
    std::memset(out, 0, sizeof out);
    AbbreviateText(text.data(), static_cast<int>(text.size()), out, budget, fill);
    return out;
}

TEST(AbbreviateText, Cases)
{
    const struct {
        const char* text;
        int budget;
        const char* result;
    } cases[] = {
        // The worked example: both initials fit, three of four consonants do.
        {"Bass Drum", 5, "BssDr"},
        // Texts that fit are copied unchanged over a field of the fill character.
        {"Kick", 6, "Kick.."},
        {"Kick", 4, "Kick"},
        {"", 3, "..."},
        {"snare drum", 10, "snare drum"},
        // Initials are written in capitals once abbreviated.
        {"snare drum", 5, "SnrDr"},
        // Digits outrank everything.
        {"Tom 12 low", 4, "T12L"},
        {"Track 1234", 3, "123"},
        // Vowels are cut when consonants fit; the earliest vowels stay.
        {"Hi Hat Open", 8, "HiHatOpn"},
        {"Hi Hat Open", 7, "HiHtOpn"},
        // A letter after a digit is no word initial.
        {"2nd Bass", 4, "2ndB"},
        // Punctuation and spaces come last.
        {"a-b c", 4, "A-BC"},
        {"aaaa", 2, "Aa"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Abbreviate(c.text, c.budget), c.result) << '"' << c.text << "\" in " << c.budget;
}

TEST(AbbreviateText, WritesExactlyTheBudget)
{
    char out[12];
    std::memset(out, '#', sizeof out);
    AbbreviateText("Electric Piano", 14, out, 6, ' ');
    EXPECT_EQ(std::string(out, 6), "ElctrP");
    EXPECT_EQ(out[6], '#');
}

TEST(AbbreviateText, RanksAndCapitals)
{
    const struct {
        char c;
        char previous;
        int rank;
        char written;
    } cases[] = {
        {'7', 'a', 4, '7'}, {'b', 0, 3, 'B'},   {'b', ' ', 3, 'B'}, {'B', '-', 3, 'B'}, {'b', 'a', 2, 'b'},
        {'b', '1', 2, 'b'}, {'e', 'r', 1, 'e'}, {'E', 'r', 1, 'E'}, {' ', 'a', 0, ' '}, {'-', 0, 0, '-'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetAbbrevRank(c.c, c.previous), c.rank) << c.c << " after " << int(c.previous);
        EXPECT_EQ(CapitalizeWordInitial(c.c, c.previous), c.written) << c.c << " after " << int(c.previous);
    }
    EXPECT_TRUE(IsVowel('u'));
    EXPECT_FALSE(IsVowel('y'));
    EXPECT_TRUE(IsConsonant('Y'));
    EXPECT_FALSE(IsConsonant('\0'));
    EXPECT_FALSE(IsVowel('\0'));
}

}  // namespace
