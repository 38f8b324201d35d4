#include "uikit/core/CPitchStr.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    const char* name;
    int note;
    int keyRow;
    int spelling;
    const char* text;
    bool ok;
};

TEST(CPitchStrTest, FormatsNotesAsTheKeyOrTheSpellingWritesThem)
{
    const FormatCase cases[] = {
        {"middle C", 60, 0, 0, "C 5", true},
        {"lowest note", 0, 0, 0, "C 0", true},
        {"raised C is B# an octave down", 12, 0, 1, "B#0", true},
        {"lowered B is Cb an octave up", 11, 0, 3, "Cb1", true},
        {"pitch class", 130, 0, 0, "D ?", true},
        {"last pitch class", 139, 0, 0, "B ?", true},
        {"past the pitch classes", 140, 0, 0, "???", false},
        {"negative", -1, 0, 0, "???", false},
        {"key row outside the table", 60, 8, 0, "???", false},
        {"key 0 flats the black keys but G#", 61, 0, 0, "Db5", true},
        {"key 0 G#", 68, 0, 0, "G#5", true},
        {"key 1 Ab", 68, 1, 0, "Ab5", true},
        {"key 3 E#", 65, 3, 0, "E#5", true},
        {"key 4 B# keeps the octave of the letter", 60, 4, 0, "B#4", true},
        {"key 5 Fx", 67, 5, 0, "Fx5", true},
        {"key 6 Cx", 62, 6, 0, "Cx5", true},
        {"key 7 Gx", 69, 7, 0, "Gx5", true},
        {"plain spelling overrides the key", 63, 3, 2, "Eb5", true},
        {"lowered double flat", 60, 0, 3, "D\"5", true},
        {"raised double sharp", 62, 0, 1, "Cx5", true},
        {"unknown spelling follows the key", 61, 1, 9, "C#5", true},
        {"top note lowered", 127, 0, 3, "A\"10", true},
    };
    CPitchStr pitch;
    for (const FormatCase& c : cases) {
        CString out;
        EXPECT_EQ(pitch.Format(c.note, c.keyRow, &out, c.spelling), c.ok) << c.name;
        EXPECT_EQ(out, c.text) << c.name;
    }
}

struct ParseCase {
    const char* name;
    const char* text;
    bool allowPitchClass;
    int keyRow;
    int note;
    int spelling;  // -1: not checked
};

TEST(CPitchStrTest, ParsesNoteNamesAndRefusesTheRest)
{
    const ParseCase cases[] = {
        {"with the natural's space", "C 5", false, 0, 60, 0},
        {"lower case", "c5", false, 0, 60, 0},
        {"without the space", "C5", false, 0, 60, 0},
        {"leading blanks and a blank before the octave", "  G  3", false, 0, 43, 0},
        {"flat the key spells", "Eb5", false, 0, 63, 0},
        {"sharp the raised row spells", "D#5", false, 0, 63, 1},
        {"sharp the key spells", "D#5", false, 1, 63, 0},
        {"flat only the lowered row spells", "Fb5", false, 0, 64, 3},
        {"E# raised in key 0", "E#5", false, 0, 65, 1},
        {"E# in key 3", "E#5", false, 3, 65, 0},
        {"B# crosses the octave", "B#4", false, 0, 60, 1},
        {"double flat", "E\"5", false, 0, 62, 3},
        {"double sharp upper case", "CX5", false, 0, 62, 1},
        {"natural C in a key that writes B#", "C 5", false, 4, 60, 2},
        {"negative octave", "C#-1", false, 0, -1, -1},
        {"negative octave inside the notes", "B#-1", false, 0, 0, 1},
        {"two flats typed as letters", "Ebb5", false, 0, -1, -1},
        {"no octave", "C", false, 0, -1, -1},
        {"pitch class allowed", "C?", true, 0, 128, 0},
        {"flat pitch class", "Cb ?", true, 0, 139, 3},
        {"pitch class not allowed", "C?", false, 0, -1, -1},
        {"below the notes", "C-1", false, 0, -1, -1},
        {"above the notes", "G#10", false, 0, -1, -1},
        {"top note", "G 10", false, 0, 127, 0},
        {"octave that would wrap", "C99999999999999999999", false, 0, -1, -1},
        {"no letter", "H5", false, 0, -1, -1},
        {"empty", "", false, 0, -1, -1},
        {"digits only", "60", false, 0, -1, -1},
    };
    CPitchStr pitch;
    for (const ParseCase& c : cases) {
        int spelling = -7;
        EXPECT_EQ(pitch.Parse(c.text, c.allowPitchClass, c.keyRow, &spelling), c.note) << c.name;
        if (c.spelling >= 0) {
            EXPECT_EQ(spelling, c.spelling) << c.name;
        }
    }
    EXPECT_EQ(pitch.Parse(nullptr, true, 0, nullptr), -1);
    EXPECT_EQ(pitch.Parse("A 5", false, 0, nullptr), 69);
}

// Every name written in every key and spelling reads back as its note with a
// spelling that writes the same name.
TEST(CPitchStrTest, EveryNameInEveryKeyAndSpellingReadsBack)
{
    CPitchStr pitch;
    for (int keyRow = 0; keyRow < CPitchStr::kKeyRows; ++keyRow)
        for (int spelling = 0; spelling <= 3; ++spelling)
            for (int note = 0; note <= 139; ++note) {
                CString text;
                ASSERT_TRUE(pitch.Format(note, keyRow, &text, spelling));
                int readSpelling = -1;
                const int back = pitch.Parse(text, true, keyRow, &readSpelling);
                const int expected = note;
                // A spelling that crosses below note 0 or above 127 writes an
                // octave outside the notes, which the reader refuses.
                if (back == -1)
                    continue;
                EXPECT_EQ(back, expected) << text.GetString() << " key " << keyRow;
                CString again;
                pitch.Format(back, keyRow, &again, readSpelling);
                EXPECT_EQ(again, text) << "key " << keyRow << " spelling " << spelling;
            }
}

TEST(CPitchStrTest, OctaveBaseMovesTheOctaveNumbers)
{
    struct Case {
        int base;
        int note;
        const char* text;
    };
    const Case cases[] = {{0, 60, "C 5"}, {-1, 60, "C 4"}, {-1, 0, "C -1"}, {-2, 60, "C 3"}, {1, 60, "C 6"}};
    for (const Case& c : cases) {
        CPitchStr pitch(c.base);
        CString text;
        ASSERT_TRUE(pitch.Format(c.note, 0, &text, 0));
        EXPECT_EQ(text, c.text) << "base " << c.base;
        EXPECT_EQ(pitch.Parse(text, false, 0, nullptr), c.note) << "base " << c.base;
    }
}

TEST(CPitchStrTest, SpellingFollowsKeyThenRaisedThenLowered)
{
    EXPECT_EQ(CPitchStr::GetSpelling(3, -1, 0), 0);   // Eb in C
    EXPECT_EQ(CPitchStr::GetSpelling(3, +1, 0), 1);   // D# raised
    EXPECT_EQ(CPitchStr::GetSpelling(4, -1, 0), 3);   // Fb lowered
    EXPECT_EQ(CPitchStr::GetSpelling(0, 0, 4), 2);    // C natural where the key writes B#
    EXPECT_EQ(CPitchStr::GetSpelling(0, +1, 4), 0);   // B# in the key
    EXPECT_EQ(CPitchStr::GetSpelling(0, 0, 99), 2);   // no such key row
}

TEST(CPitchStrTest, InterfaceWritesThroughTheSharedConverter)
{
    IDiatonicString& names = CPitchStr::Global();
    CString text;
    EXPECT_TRUE(names.FormatPitch(61, 0, 1, &text));
    EXPECT_EQ(text, "C#5");
    EXPECT_FALSE(names.FormatPitch(200, 0, 0, &text));
    EXPECT_EQ(text, "???");
}

}  // namespace
