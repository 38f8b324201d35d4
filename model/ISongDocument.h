// What patterns, pattern instances and channel timelines need of the open
// song document: finding a pattern by id (instances resolve their pattern so
// when they are loaded), the song end, the tempo map that converts loop-clip
// positions to frames, and the document's active pattern instance. It is also
// the document that their project commands refresh (ICommandDocument), so
// resetting the play cursors of a pattern's instances comes from there.
//
// The application registers the song document it holds (SetSongDocument)
// when it creates or opens a song and clears it before the song goes away;
// GetSongDocument is null while no song is loaded. The registration is
// atomic, so the audio thread may read it; every method is for the UI thread.
#pragma once

#include "model/ICommandDocument.h"

class CPattern;
class CTempoMap;

class ISongDocument : public ICommandDocument {
public:
    static constexpr DWORD kNoInstance = 0xFFFFFFFF;

    // E_INVALIDARG when the document holds no pattern with the id.
    virtual HRESULT GetPattern(SHORT id, CPattern** pattern) = 0;
    // The latest end tick of any pattern instance of any channel.
    virtual LONG GetSongEnd() = 0;
    virtual CTempoMap* GetTempoMap() = 0;
    // kNoInstance when no instance is active.
    virtual DWORD GetActiveInstance() = 0;
    // Undoable within the command when one is given, else applied directly.
    virtual HRESULT SetActiveInstance(DWORD instanceId, CMvCommand* command) = 0;

protected:
    ~ISongDocument() = default;
};

// Audio thread: no allocation, no blocking.
ISongDocument* GetSongDocument();
void SetSongDocument(ISongDocument* document);
