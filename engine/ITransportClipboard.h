// A clipboard as the engine owner keeps it: the edit clipboard and the
// drag-and-drop clipboard are both created at start-up, given their scratch
// pattern and handed each new document. Owned by the engine owner; UI thread.
//
// The clipboards edit the song document, which stands above the engine
// owner's layer, so the program's engine factory cannot name them: the layer
// that implements them installs its maker (SetMaker) before the engine owner
// starts, and the factory makes clipboards through it (none without one).
#pragma once

#include "platform/win/WinTypes.h"

class ITransportDocument;

class ITransportClipboard {
public:
    using Maker = ITransportClipboard* (*)(bool dragAndDrop);

    virtual ~ITransportClipboard() = default;

    // Prepares the clipboard's held pattern.
    virtual HRESULT CreateHeldPattern() = 0;
    // Stores the paste source and clears the held content.
    virtual HRESULT SetSource(ITransportDocument* document) = 0;

    static void SetMaker(Maker maker) { s_maker = maker; }
    // A new clipboard from the installed maker; null without one or when it
    // cannot be made.
    static ITransportClipboard* Make(bool dragAndDrop) { return s_maker ? s_maker(dragAndDrop) : nullptr; }

private:
    static inline Maker s_maker = nullptr;
};
