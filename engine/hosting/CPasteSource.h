// What a paste target sees of a clipboard: where it remembers the view that
// carries out pastes into a pattern, and the paste into the active pattern
// that view calls back. UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class IPasteTarget;

class CPasteSource {
public:
    virtual ~CPasteSource() = default;
    virtual void SetPasteTarget(IPasteTarget* target) = 0;
    // Pastes the held events into the active pattern at the time (0 for a
    // time at or below 0) as one undoable command.
    virtual HRESULT PasteIntoPattern(LONG time) = 0;
    virtual IPasteTarget* GetPasteTarget() = 0;
};
