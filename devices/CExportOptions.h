// What an audio export is asked to make: the export dialog fills it and the
// export run reads it. The stereo mode, the mid/side flag, the tag flag and
// the seven ID3 texts are kept for the whole run of the program (one record,
// kept between exports); the rest is the running dialog's choice.
//
// The stereo mode uses the MP3 encoder's own numbers (0 stereo, 1 joint
// stereo, 3 mono); mid/side is joint stereo with the mid/side flag set, which
// the stereo-mode list's fifth entry (item data 4) stands for. UI thread.
#pragma once

#include <array>
#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CExportOptions {
public:
    enum Format : LONG { kFormatWav = 0, kFormatMp3 = 1 };
    enum StereoMode : LONG { kStereo = 0, kJointStereo = 1, kMono = 3 };
    // The stereo-mode list's item data that means mid/side.
    static constexpr LONG kMidSideItem = 4;
    // The ID3 texts, in the record's order.
    enum Id3Text { kTitle, kArtist, kAlbum, kYear, kComment, kTrack, kGenre, kId3TextCount };
    // Bits per sample of a 32-bit float WAV file (the others are integers).
    static constexpr LONG kFloatBits = -32;

    // ---- The running dialog's settings ----
    LONG format = kFormatWav;
    LONG sampleRate = 44100;
    // 16, 24 or 32 (integer) or kFloatBits; MP3 has no choice.
    LONG bitsPerSample = 16;
    // Effect tails: the seconds rendered past the song's end, when on.
    BOOL tailsOn = FALSE;
    double tailSeconds = 0.0;
    BOOL loopedRegionOnly = FALSE;

    // ---- MP3 ----
    LONG mp3BitRate = 128;
    // 0 best quality (slowest) to 9 fastest.
    LONG mp3Quality = 5;
    LONG stereoMode = kJointStereo;
    LONG midSide = 0;
    BOOL lowPassOn = TRUE;
    BOOL highPassOn = FALSE;

    // ---- ID3 tag ----
    LONG tagPresent = 0;
    std::array<CString, kId3TextCount> id3;

    // The stereo-mode list's choice: mode and mid/side flag from its item data.
    void SetStereoModeItem(LONG itemData);

    // The MP3 rate family (row 0, 1 or 2) that holds `rate`, -1 for none.
    static int Mp3RateFamily(LONG rate);
    // The bit rates (kbit/s) of a family, empty for another row.
    static std::vector<LONG> Mp3BitRates(int family);
    // The encoder's ID3v1 genre names, in its order.
    static std::vector<CString> Id3GenreNames();

    // S_OK when the record can be exported; E_INVALIDARG naming no field
    // otherwise: an unknown format, a rate below 1 (for MP3 one outside the
    // three families), a width other than 16, 24, 32 or float for WAV, a bit
    // rate outside its family's list, a quality outside 0..9, an unknown
    // stereo mode, a negative or non-finite tail.
    HRESULT Validate() const;

    // The process's record, created empty at start-up.
    static CExportOptions& Instance();
};
