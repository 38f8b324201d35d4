// The song's time and key signatures as changes at measure boundaries, and
// the conversions between ticks and measure:beat:tick positions.
//
// Entries ascend by measure (and so by start tick); there is always at least
// one and the first is at measure 1, tick 0; each entry's start tick follows
// from the one before. A signature that the conversions would divide by zero
// with, or that does not fit its stored bytes, is refused on every path that
// sets one: the container slots, the undoable insert, the live change and
// loading. Changes are made undoably ("Insert Time Signature", "Delete Time
// Signature") or, while editing live, temporarily without undo.
//
// Edited on the UI thread; the owner of the map serialises that with readers
// on other threads.
#pragma once

#include "model/CKelPersistObject.h"
#include "model/CMeterKey.h"
#include "model/CUndoVector.h"

class CMvCommand;

class CMeterKeySigMap : public CUndoVector<CMeterKey>, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x600E;
    static constexpr LONG kTicksPerQuarter = 960;
    // The view hint of every command that changes the time signatures.
    static constexpr DWORD kViewHint = 0x1000;

    CMeterKeySigMap();

    // Container slots, each followed by recomputing from the index on. An
    // entry IsValid refuses gives E_INVALIDARG and changes nothing.
    HRESULT Insert(const int& index, const CMeterKey& entry) override;
    HRESULT Set(const int& index, const CMeterKey& entry) override;
    HRESULT Remove(const int& index) override;

    // From 0: a default 4/4 entry when empty and the first entry moved to
    // measure 1, tick 0; then the derived fields of every entry from there.
    void Recalc(int from);
    bool IsValidEntry(const CMeterKey& entry) const { return entry.IsValid(m_ticksPerQuarter); }

    // Audio thread: no allocation, no blocking (the searches and conversions
    // down to GetNextBeat, ParseMbt excepted).
    // The last entry starting at or before the tick; 0 before the first.
    int FindIndexAtTick(LONG tick) const;
    // The last entry at or before the measure; -1 before the first.
    int FindIndexAtMeasure(LONG measure) const;
    LONG TickToMeasure(LONG tick) const;
    // Outputs that are null are skipped.
    void TickToMbt(LONG tick, LONG* measure, SHORT* beat, SHORT* tickInBeat) const;
    // Measure and beat below 1 count as 1; saturates at the limits of a tick.
    LONG MbtToTick(LONG measure, LONG beat, LONG tickInBeat) const;
    // "measure:beat.tick" and the like: up to three numbers split at ':', ' ',
    // '|' or '.'; missing ones default to 1:1:0. UI thread.
    HRESULT ParseMbt(const char* text, LONG* tick) const;
    LONG GetPrevBeat(LONG tick) const;
    LONG GetNextBeat(LONG tick) const;

    // Undoable edits under the command rules of every edit (own command when
    // asked and none is given).
    // Places the signature at the measure holding the tick, replacing a change
    // that starts there.
    HRESULT InsertMeterKey(LONG tick, const CMeterKey& entry, BOOL openCommand, CMvCommand* command);
    // The map keeps a first entry at measure 1: deleting it moves the next one
    // there, or puts a 4/4 in its place when it was the only one.
    HRESULT DeleteMeterKey(int index, BOOL openCommand, CMvCommand* command);

    // A change made while editing live, without undo, that replaces the entry
    // in force at the tick until RestoreLiveMeter puts that entry back.
    HRESULT SetLiveMeter(LONG tick, const CMeterKey& entry);
    HRESULT RestoreLiveMeter();
    bool HoldsReplacedEntry() const { return m_replaced.m_ticksPerBeat > 0; }

    LONG GetTicksPerQuarter() const { return m_ticksPerQuarter; }

    // Chunk 0: u32 count, then each entry's 7-byte chunk-0 payload. A chunk
    // that cannot be read whole, or holds a refused signature, leaves the map
    // as it was.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    void Derive(CMeterKey& entry) const;
    // Puts the replaced entry back; *index is where, or -1 when none is held.
    HRESULT Restore(int* index);

    CMeterKey m_replaced;
    LONG m_ticksPerQuarter = kTicksPerQuarter;
};
