#include "uikit/core/CPitchStr.h"

#include <cctype>
#include <cstring>

namespace {

constexpr char kLetters[] = "CDEFGAB";
constexpr int kLetterSemitones[7] = {0, 2, 4, 5, 7, 9, 11};
// Accidental characters by index; the alteration in semitones is index - 2.
constexpr char kAccidentals[] = "\"b #x";
constexpr int kNatural = 2;

// One spelling: the letter index in the low four bits, the accidental index
// in the high four.
constexpr unsigned char Spell(const char* name)
{
    int letter = 0;
    while (kLetters[letter] != name[0])
        ++letter;
    int accidental = kNatural;
    if (name[1] == 'b')
        accidental = name[2] == 'b' ? 0 : 1;
    else if (name[1] == '#')
        accidental = 3;
    else if (name[1] == 'x')
        accidental = 4;
    return static_cast<unsigned char>(accidental << 4 | letter);
}

struct Row {
    unsigned char entry[12];
};

constexpr Row MakeRow(const char* const (&names)[12])
{
    Row r{};
    for (int i = 0; i < 12; ++i)
        r.entry[i] = Spell(names[i]);
    return r;
}

// Key rows 0..7 (the major keys with 0..7 sharps), then the raised, plain
// and lowered spellings.
constexpr Row kRows[11] = {
    MakeRow({"C", "Db", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "Bb", "B"}),
    MakeRow({"C", "C#", "D", "D#", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"}),
    MakeRow({"C", "C#", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "A#", "B"}),
    MakeRow({"C", "C#", "D", "D#", "E", "E#", "F#", "G", "G#", "A", "Bb", "B"}),
    MakeRow({"B#", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"}),
    MakeRow({"C", "C#", "D", "D#", "E", "E#", "F#", "Fx", "G#", "A", "A#", "B"}),
    MakeRow({"B#", "C#", "Cx", "D#", "E", "E#", "F#", "G", "G#", "A", "A#", "B"}),
    MakeRow({"B#", "C#", "D", "D#", "E", "E#", "F#", "Fx", "G#", "Gx", "A#", "B"}),
    MakeRow({"B#", "Bx", "Cx", "D#", "Dx", "E#", "Ex", "Fx", "G#", "Gx", "A#", "Ax"}),
    MakeRow({"C", "C#", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "Bb", "B"}),
    MakeRow({"Dbb", "Db", "Ebb", "Fbb", "Fb", "Gbb", "Gb", "Abb", "Ab", "Bbb", "Cbb", "Cb"}),
};

// Row of a spelling 1..3.
constexpr int SpellingRow(int spelling) { return CPitchStr::kKeyRows - 1 + spelling; }

bool ValidKeyRow(int keyRow) { return keyRow >= 0 && keyRow < CPitchStr::kKeyRows; }

}  // namespace

CPitchStr& CPitchStr::Global()
{
    static CPitchStr global(0);
    return global;
}

bool CPitchStr::FormatPitch(int note, int spelling, int keyRow, CString* out)
{
    return Format(note, keyRow, out, spelling);
}

bool CPitchStr::Format(int note, int keyRow, CString* out, int spelling) const
{
    if (out == nullptr)
        return false;
    // The key row indexes the table; one outside it has no spelling to give.
    if (note < 0 || note > kPitchClassBase + 11 || !ValidKeyRow(keyRow)) {
        *out = "???";
        return false;
    }
    const int pitchClass = (note & 127) % 12;
    const int row = spelling >= kSpellingRaised && spelling <= kSpellingLowered ? SpellingRow(spelling) : keyRow;
    const unsigned char entry = kRows[row].entry[pitchClass];
    const int letter = entry & 0x0F;
    const int accidental = entry >> 4;
    CString text;
    text += kLetters[letter];
    text += kAccidentals[accidental];
    if (note < kPitchClassBase) {
        // The octave of the written letter: a B# belongs to the octave below
        // its sounding C, a Cb to the octave above its sounding B.
        CString octave;
        octave.Format("%d", (note - accidental + 14) / 12 + m_octaveBase - 1);
        text += octave;
    } else {
        text += '?';
    }
    *out = text;
    return true;
}

int CPitchStr::GetSpelling(int pitchClass, int accidental, int keyRow)
{
    if (pitchClass < 0 || pitchClass > 11)
        return kSpellingPlain;
    const int typed = accidental + kNatural;
    auto spells = [&](int row) { return (kRows[row].entry[pitchClass] >> 4) == typed; };
    if (ValidKeyRow(keyRow) && spells(keyRow))
        return 0;
    if (spells(SpellingRow(kSpellingRaised)))
        return kSpellingRaised;
    if (spells(SpellingRow(kSpellingLowered)))
        return kSpellingLowered;
    return kSpellingPlain;
}

int CPitchStr::Parse(const char* text, bool allowPitchClass, int keyRow, int* spelling) const
{
    if (text == nullptr)
        return -1;
    const char* p = text;
    while (*p == ' ')
        ++p;
    const char* letter = std::strchr(kLetters, std::toupper(static_cast<unsigned char>(*p)));
    if (*p == '\0' || letter == nullptr)
        return -1;
    int semitone = kLetterSemitones[letter - kLetters];
    ++p;
    int alteration = 0;
    const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    if (a != '\0') {
        if (const char* acc = std::strchr(kAccidentals, a)) {
            alteration = static_cast<int>(acc - kAccidentals) - kNatural;
            ++p;
        }
    }
    semitone += alteration;
    const int pitchClass = (semitone + 12) % 12;
    if (spelling != nullptr)
        *spelling = GetSpelling(pitchClass, alteration, keyRow);
    while (*p == ' ')
        ++p;
    if (allowPitchClass && *p == '?')
        return kPitchClassBase + pitchClass;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p)))
        return -1;
    // A long run of digits is an octave far outside the notes; stop counting
    // before the number could wrap into range again.
    long long octave = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (octave < 1000000)
            octave = octave * 10 + (*p - '0');
        ++p;
    }
    if (negative)
        octave = -octave;
    const long long note = semitone + (octave - m_octaveBase) * 12;
    return note < 0 || note > 127 ? -1 : static_cast<int>(note);
}
