// The MIDI sync generator as the engine owner drives it: its three options
// from the settings table, a new document, relocation, and the Stop and
// Song Position/Start messages around every re-seek of the engine. Its own
// persisted object travels inside the engine owner's second chunk. Owned by
// the engine owner; UI thread.
#pragma once

#include "platform/com/Persist.h"
#include "platform/win/WinTypes.h"

class IMidiSyncDocument;

class IMidiSyncGen {
public:
    virtual ~IMidiSyncGen() = default;

    virtual HRESULT SetOutputPort(int deviceId) = 0;
    virtual HRESULT SetSendSPP(int send) = 0;
    virtual HRESULT SetStartNeverContinue(int never) = 0;

    // Stops, stores the document and starts again when the document sends
    // MIDI sync.
    virtual HRESULT Restart(IMidiSyncDocument* document) = 0;
    // After a locate.
    virtual HRESULT Relocate() = 0;
    virtual HRESULT SendStop() = 0;
    // S_FALSE when not running.
    virtual HRESULT SendPositionAndStart() = 0;

    // The generator's persisted object (saved and loaded nested).
    virtual IPersistStreamInit* GetPersistObject() = 0;
};
