// The two chunks the engine owner keeps in the project file, field by field:
// chunk 0 the transport state (positions and loop), chunk 1 the metronome,
// the count-in and the MIDI sync generator's own object. Only the layout
// lives here: saving writes the values given, loading reads into them, and
// the engine owner applies what was read (through its own setters, so the
// loop's rules and the master bus's metronome see the loaded values).
//
// Threads: the UI thread (project load and save).
#pragma once

#include "platform/win/WinTypes.h"

class CKelPersistArchive;
struct IPersistStreamInit;

class CTransportChunks {
public:
    struct TransportState {
        LONG playPosition = 0;
        LONG renderPosition = 0;
        BOOL loopOn = FALSE;
        LONG loopStart = 0;
        LONG loopEnd = 0;
    };

    struct MetronomeState {
        DWORD metronomeOn = 0;
        DWORD countInOn = 0;
        BYTE countInBeats = 0;
    };

    // Every archive failure is returned at once; `state` is complete only
    // when the result succeeded.
    static HRESULT PersistTransportState(CKelPersistArchive* archive, TransportState* state);
    // `sync` is the generator's persisted object, null when the engine has
    // none: a loaded chunk that holds one is then stepped over.
    static HRESULT PersistMetronome(CKelPersistArchive* archive, IPersistStreamInit* sync, MetronomeState* state);
};
