// A clipboard as the engine owner keeps it: the edit clipboard and the
// drag-and-drop clipboard are both created at start-up, given their scratch
// pattern and handed each new document. Owned by the engine owner; UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class ITransportDocument;

class ITransportClipboard {
public:
    virtual ~ITransportClipboard() = default;

    // Prepares the clipboard's held pattern.
    virtual HRESULT CreateHeldPattern() = 0;
    // Stores the paste source and clears the held content.
    virtual HRESULT SetSource(ITransportDocument* document) = 0;
};
