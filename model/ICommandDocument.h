// What a project command needs of the song document: after every commit, undo
// and redo it recomputes the song length and refreshes the state derived from
// the model (play cursors of pattern instances, the active pattern and
// instance, the active container that the document-state listeners show).
// The song document implements it. UI thread only.
#pragma once

#include "platform/win/WinTypes.h"

class CMvCommand;

class ICommandDocument {
public:
    static constexpr SHORT kNoId = static_cast<SHORT>(0xFFFF);

    virtual HRESULT RecalcSongLength() = 0;
    // kNoId resets the cursors of the instances of every pattern.
    virtual HRESULT ResetInstanceCursors(SHORT patternId) = 0;
    // Clears an active pattern or instance that no longer exists and marks
    // the instances of the active pattern again.
    virtual HRESULT RefreshActiveSelection() = 0;
    // kNoId when no channel or bus is active.
    virtual SHORT GetActiveContainer() = 0;
    virtual HRESULT SetActiveContainer(SHORT id, BOOL forceNotify, CMvCommand* command) = 0;

protected:
    ~ICommandDocument() = default;
};
