// The view that carries out a paste into a pattern (the pattern editor): it
// chooses where the held events land and lengthens its pattern to hold
// them. The clipboard calls it on the UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class CMvCommand;

class IPasteTarget {
public:
    // Carries out a paste into the pattern editor: checks that it is the
    // clipboard's paste target and calls CPasteSource::PasteIntoPattern
    // with its position.
    virtual HRESULT QueryPaste() = 0;
    // Called inside the paste command once the events are in; lengthens the
    // active pattern to hold them with steps of that command. A failure
    // takes the whole paste back.
    virtual HRESULT Paste(CMvCommand* command) = 0;

protected:
    ~IPasteTarget() = default;
};
