// One time and key signature change of the meter/key map: from a measure on,
// a numerator (beats per measure), a beat unit of 1 / 2^power of a whole note
// and a key signature. Start tick and tick lengths are derived by the map.
// Saved as chunk 0: u32 measure, then numerator, power and key as one byte
// each (signed, unsigned, signed).
#pragma once

#include "model/CKelPersistObject.h"

class CMeterKey : public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x600D;

    CMeterKey();
    CMeterKey(LONG measure, LONG numerator, LONG power, LONG key = 0);

    // Whether the signature can be stored and divided by: a numerator of
    // 1..127 (its byte), a power that leaves at least one tick per beat at
    // the given resolution, a key that fits its byte.
    static bool IsValid(LONG numerator, LONG power, LONG key, LONG ticksPerQuarter);
    bool IsValid(LONG ticksPerQuarter) const { return IsValid(m_numerator, m_power, m_key, ticksPerQuarter); }

    // Loading refuses a signature that IsValid refuses (E_INVALIDARG) and
    // then leaves the entry as it was.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    LONG m_measure = 1;
    LONG m_numerator = 4;
    LONG m_power = 2;
    LONG m_key = 0;
    LONG m_startTick = 0;
    LONG m_ticksPerBeat = 0;
    LONG m_ticksPerMeasure = 0;
};
