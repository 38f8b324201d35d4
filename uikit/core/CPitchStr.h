// Converts between MIDI note numbers and note names such as "C 5", "F#3" or
// "Bb0". A name is a letter, an accidental ('"' double flat, 'b' flat, ' '
// natural, '#' sharp, 'x' double sharp) and an octave; 128 + pitch class
// stands for a pitch class without octave, written with '?' for the octave.
// The spelling of a pitch class follows a key row (0 C major to 7 C-sharp
// major) or, when one is given, the raised, plain or lowered spelling.
//
// The octave is that of the written letter, so B#0 is note 12 and Cb1 note
// 11. With octave base 0, note 60 is C 5 and note 0 is C 0.
//
// No state beyond the octave base; the shared instance is used on the UI
// thread.
#pragma once

#include "uikit/core/IDiatonicString.h"

class CPitchStr : public IDiatonicString {
public:
    static constexpr int kKeyRows = 8;
    static constexpr int kSpellingRaised = 1;
    static constexpr int kSpellingPlain = 2;
    static constexpr int kSpellingLowered = 3;
    static constexpr int kPitchClassBase = 128;

    explicit CPitchStr(int octaveBase = 0) : m_octaveBase(octaveBase) {}

    // The process-wide converter, octave base 0.
    static CPitchStr& Global();

    bool FormatPitch(int note, int spelling, int keyRow, CString* out) override;
    bool Format(int note, int keyRow, CString* out, int spelling) const;
    // The note (0..127), 128 + pitch class when pitch classes are allowed and
    // '?' stands for the octave, or -1 when the text is no note name or the
    // note lies outside 0..127. *spelling (when given) receives how the typed
    // accidental spells the pitch class in the key row (GetSpelling).
    int Parse(const char* text, bool allowPitchClass, int keyRow, int* spelling) const;
    // 0 when the key row spells the pitch class with the accidental (an
    // alteration of -2..+2), else 1 when the raised spelling does, 3 when the
    // lowered one does, else 2.
    static int GetSpelling(int pitchClass, int accidental, int keyRow);

    int GetOctaveBase() const { return m_octaveBase; }
    void SetOctaveBase(int base) { m_octaveBase = base; }

private:
    int m_octaveBase;
};
