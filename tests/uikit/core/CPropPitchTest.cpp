#include "uikit/core/CPropPitch.h"

#include <gtest/gtest.h>

namespace {

TEST(CPropPitchTest, ParsesNamesWithTheSpellingTyped)
{
    struct Case {
        const char* text;
        LONG keyRow;
        bool ok;
        LONG value;
        const char* shown;
    };
    const Case cases[] = {
        {"C 5", 0, true, 60, "C 5"},
        {"D#5", 0, true, 1 << 8 | 63, "D#5"},
        {"Eb5", 0, true, 63, "Eb5"},
        {"Fb5", 0, true, 3 << 8 | 64, "Fb5"},
        {"D#5", 1, true, 63, "D#5"},
        {"C?", 0, false, 50, "D 4"},   // a pitch class is outside 0..127
        {"C 11", 0, false, 50, "D 4"}, // beyond the notes
        {"xyz", 0, false, 50, "D 4"},
    };
    for (const Case& c : cases) {
        CPropPitch p(50, c.keyRow, 0, 127);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.value) << c.text;
        CString s;
        p.FormatText(s);
        EXPECT_EQ(s, c.shown) << c.text;
    }
    CPropPitch narrow(50, 0, 48, 72);
    EXPECT_FALSE(narrow.ParseText("C#6"));
    EXPECT_TRUE(narrow.ParseText("C 4"));
    CPropPitch classes(50, 0, 0, 255);
    EXPECT_TRUE(classes.ParseText("C?"));
    EXPECT_EQ(classes.GetValue(), 128);
}

TEST(CPropPitchTest, StepsMoveOnlyWhenTheResultStaysInRange)
{
    struct Case {
        LONG start;
        int key;
        LONG value;
    };
    const Case cases[] = {{120, ']', 120}, {115, ']', 127}, {127, '+', 127}, {0, '-', 0}, {11, '[', 11},
                          {12, '[', 0},    {60, '+', 61},   {1 << 8 | 63, '-', 62}, {60, 'q', 60}};
    for (const Case& c : cases) {
        CPropPitch p(c.start, 0, 0, 127);
        p.HandleStepKey(c.key);
        EXPECT_EQ(p.GetValue(), c.value) << c.start << " " << static_cast<char>(c.key);
    }
}

TEST(CPropPitchTest, VariantTakesNotesWhateverTheRange)
{
    CPropPitch p(60, 0, 48, 72);
    EXPECT_TRUE(p.SetVariant(VariantFromI4(100)));
    EXPECT_EQ(p.GetValue(), 100);
    EXPECT_FALSE(p.SetVariant(VariantFromI4(128)));
    EXPECT_FALSE(p.SetVariant(VariantFromI4(-1)));
    CString s;
    CPropPitch(3 << 8 | 64).FormatNumber(s);
    EXPECT_EQ(s, "832");
    EXPECT_TRUE(p.IsPitch());
    for (char c : std::string("0123456789-+\"b #xabcdefgABCDEFGX?"))
        EXPECT_TRUE(p.IsValidChar(c)) << c;
    EXPECT_FALSE(p.IsValidChar('h'));
    EXPECT_FALSE(p.IsValidChar(':'));
    EXPECT_FALSE(p.IsValidChar(0));
}

}  // namespace
