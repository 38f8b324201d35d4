// What the undo history needs of the application's document: refresh the
// views with a command's hint, mark the document modified, and show the wait
// cursor while the history dialog jumps across several commands. The
// application's document implements it and registers itself with the
// history when it is created (after clearing the history) and unregisters
// when it goes away. UI thread only.
#pragma once

#include "platform/win/WinTypes.h"

class IHistoryDocument {
public:
    // Every view, with no sender and no object, gets the hint.
    virtual void UpdateAllViews(DWORD hint) = 0;
    virtual void SetModifiedFlag(BOOL modified) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

protected:
    ~IHistoryDocument() = default;
};
