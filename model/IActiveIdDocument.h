// What the document's active-id holders need of the song document: whether
// an id names something it holds (a pattern, a placed pattern instance, a
// channel, aux bus or the main bus), the refresh of the state derived from
// the active selection (ICommandDocument) and the notice to the
// document-state listeners of the active container. The song document
// implements it. UI thread.
#pragma once

#include "model/ICommandDocument.h"

class IActiveIdDocument : public ICommandDocument {
public:
    virtual BOOL HasPattern(SHORT id) = 0;
    virtual BOOL HasInstance(DWORD id) = 0;
    // In the channel map, the aux-bus map, or the main bus.
    virtual BOOL HasContainer(SHORT id) = 0;
    // Tells the listeners which channel or bus is active now.
    virtual HRESULT NotifyActiveContainer(SHORT id) = 0;

protected:
    ~IActiveIdDocument() = default;
};
