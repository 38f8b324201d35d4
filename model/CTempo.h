// One tempo change of the tempo map: from a tick on, a tempo in beats per
// minute x 100 (14000 = 140.00 BPM). The clock time at the tick is derived by
// the map and never saved. Saved as chunk 0: u32 tempo, u32 tick.
#pragma once

#include "model/CKelPersistObject.h"
#include "model/CSelectableObject.h"

class CTempo : public CKelPersistObject, public CSelectableObject {
public:
    static constexpr WORD kMajor = 0x600B;
    static constexpr LONG kDefaultTempo = 14000;

    CTempo();
    CTempo(LONG tick, LONG tempo);

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    LONG m_tick = 0;
    LONG m_tempo = kDefaultTempo;
    // Clock time at m_tick in the map's internal units; derived.
    LONGLONG m_time = 0;
};
