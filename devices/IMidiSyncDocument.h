// What the MIDI sync generator reads of the song document: whether it sends
// MIDI sync at all and its time base. The song document implements it.
// UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class IMidiSyncDocument {
public:
    virtual BOOL GetSendMidiSync() = 0;
    virtual LONG GetTicksPerQuarter() = 0;

protected:
    ~IMidiSyncDocument() = default;
};
