// The song document as the engine owner sees it: the flags and maps it reads
// while rendering, the calls it makes around a buffer, a play start and a
// device reset, and the view of the document that the audio renderer reads.
// The song document implements it; the engine owner holds it, unowned,
// between SetDocument(document) and SetDocument(null). What the MIDI sync
// generator reads of it comes from IMidiSyncDocument.
//
// Threads: the calls marked for the audio thread are made by the per-buffer
// entry with the transport and processing locks held; the others on the UI
// thread.
#pragma once

#include "devices/IMidiSyncDocument.h"
#include "platform/win/WinTypes.h"

class CTempoMap;
class IRenderDocument;
class IRenderTargets;

class ITransportDocument : public IMidiSyncDocument {
public:
    static constexpr WORD kNoPattern = 0xFFFF;
    static constexpr WORD kAllPatterns = 0xFFFF;

    // Non-zero when the document's engine graph must be rebuilt.
    // Audio thread: no allocation, no blocking.
    virtual LONG GetGraphDirty() = 0;
    // What the audio renderer pushes and reads of this document's graph.
    virtual IRenderDocument* GetRenderDocument() = 0;
    // The channels and buses that the data renderer's broadcasts reach;
    // null for a document without them.
    virtual IRenderTargets* GetRenderTargets() = 0;
    // The tempo map (a fixed tempo decides how a loop wrap restarts).
    // Audio thread: no allocation, no blocking.
    virtual CTempoMap* GetTempoMap() = 0;
    // Hands the metronome flag to the metronome of the first master bus;
    // nothing when the document has no master bus.
    virtual void SetMetronomeOn(BOOL on) = 0;

    // The active pattern's id, kNoPattern when none.
    virtual WORD GetActivePatternId() = 0;
    // A pattern's edit marker and duration in ticks; E_INVALIDARG when the
    // document holds no pattern with the id.
    virtual HRESULT GetPatternTimes(WORD patternId, LONG* editMarker, LONG* duration) = 0;

    // Writes a live tempo override into the tempo map as an undoable change.
    virtual HRESULT CommitLiveTempo(BOOL commit) = 0;
    // Re-applies a live tempo override when playback wraps; only failures.
    // Audio thread: no allocation, no blocking.
    virtual HRESULT OnBufferTempoHook(LONG loopStart, LONG loopEnd) = 0;
    // Invalidates the play cursor of every instance of the pattern
    // (kAllPatterns: of every pattern).
    // Audio thread: no allocation, no blocking.
    virtual HRESULT ResetInstanceCursors(WORD patternId) = 0;

    // Runs the connect routine of every channel and aux bus.
    virtual HRESULT ConnectAllContainers() = 0;
    // Marks every channel and bus to connect afresh and the graph dirty:
    // formats and buffer sizes are chosen as pins connect, so a new sample
    // rate or block length needs the whole graph built again.
    virtual HRESULT InvalidateGraph() = 0;
    // Rebuilds the engine graph when it is marked dirty.
    virtual HRESULT RebuildGraph() = 0;

protected:
    ~ITransportDocument() = default;
};
