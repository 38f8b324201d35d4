// What the Standard MIDI File import needs of the song document: its
// resolution and meter/key map, the one project command an import runs in,
// and the undoable edits that build the imported song (patterns, tracks,
// instances, tempo, meter/key and marker changes). Every edit joins the open
// import command, so abandoning the command takes back all of them and leaves
// the document as it was before the import.
//
// The song document implements it. UI thread only.
#pragma once

#include "platform/win/WinTypes.h"

class CMeterKey;
class CMeterKeySigMap;
class CPattern;
class CPatternInstance;

class ISmfImportDocument {
public:
    // Ticks per quarter note of the song (960).
    virtual LONG GetTicksPerQuarter() = 0;
    // The map the import reads the signature in force from; it shows the
    // import's own meter/key inserts as they are made.
    virtual const CMeterKeySigMap& GetMeterKeyMap() = 0;

    // Opens the import's command under the name; E_OUTOFMEMORY when it
    // cannot be opened. Exactly one of End (keep the import, one undo step)
    // or Abandon (undo every edit made in it) follows a successful Begin.
    virtual HRESULT BeginImportCommand(const char* name) = 0;
    virtual HRESULT EndImportCommand() = 0;
    virtual void AbandonImportCommand() = 0;

    // A new empty MIDI pattern under the next pattern id, owned by the
    // document; its events, name and duration are the import's to fill.
    virtual HRESULT CreatePattern(CPattern** pattern) = 0;
    // A new track (channel) at the end of the track order, named `name`
    // when it is not empty; its id goes to *trackId.
    virtual HRESULT InsertTrack(const char* name, SHORT* trackId) = 0;
    virtual HRESULT AddPatternInstance(SHORT trackId, const CPatternInstance& instance) = 0;
    // BPM x 100 at the tick; an entry that starts there is replaced.
    virtual HRESULT InsertTempo(LONG tick, LONG tempo) = 0;
    // At the measure holding the tick; a change that starts there is replaced.
    virtual HRESULT InsertMeterKey(LONG tick, const CMeterKey& entry) = 0;
    // A song marker; the name is at most 63 bytes.
    virtual HRESULT InsertMarker(const char* name, LONG tick) = 0;

protected:
    ~ISmfImportDocument() = default;
};
