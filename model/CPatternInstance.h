// A pattern instance: one pattern placed on a channel's timeline from a start
// to an end time (exclusive; kOpenEnd leaves it open). The pattern plays in a
// loop, its events at start + offset + event time + m x duration for every
// whole m, cut to [start, end); the instance adds a MIDI channel override, a
// transpose, a selection flag and a play cursor. Instances are values: the
// timelines hold copies.
//
// The instance id is 32 bits: the pattern's 16-bit id in the low half and the
// low 16 bits of a process-wide serial in the high half, never 0. Pattern ids
// are masked to 16 bits, so a negative id never spills into the serial's half.
//
// An audio pattern's instance keeps the loop clip that the clip pool holds
// under its instance id in step with its times and transpose.
//
// Threads: setters, constructors and persistence run on the UI thread,
// called by the owner of the instance, which serialises them with playback
// (a timeline takes its lock). Rendering runs on the audio thread and writes
// nothing of the instance: everything it derives (where to start in the
// pattern, the loop it is in) lives in locals, so copies made on the UI
// thread never race with it. The play cursor is an atomic of its own, as the
// transport seeks instances when playback loops.
//
// Persisted as a chunk of three sub-chunks (major 0x6006, minor 2).
#pragma once

#include <atomic>
#include <set>
#include <vector>

#include "model/CKelPersistObject.h"
#include "model/CMfxEvent.h"
#include "model/CSelectableObject.h"
#include "platform/win/CString.h"

class CMfxBlockRing;

class CPattern;
class ILoopClip;

// Orders events by target (kind, port, MIDI channel, key or number): the key
// of the chase set.
struct CMfxEventTargetLess {
    bool operator()(const CMfxEvent& a, const CMfxEvent& b) const { return CMfxEvent::LessByTarget(a, b); }
};
// The latest event of each target up to a time, gathered when playback
// starts or jumps.
using CChaseSet = std::set<CMfxEvent, CMfxEventTargetLess>;

class CPatternInstance : public CSelectableObject, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6006;
    static constexpr WORD kMinor = 2;
    static constexpr DWORD kNoId = 0xFFFFFFFF;
    static constexpr WORD kNoChannel = 0xFFFF;
    static constexpr LONG kOpenEnd = 0x7FFFFFFF;
    static constexpr LONG kInvalidCursor = -1;
    static constexpr BYTE kTriggerVelocity = 100;

    // No pattern, no id; offset, start and end -1.
    CPatternInstance();
    // Over the whole pattern once (start 0, end = its duration), with a new id.
    explicit CPatternInstance(CPattern* pattern);
    // Copies every field, the id included.
    CPatternInstance(const CPatternInstance& other);
    // As the copy, but with a new id when freshId is set.
    CPatternInstance(const CPatternInstance& other, BOOL freshId);
    CPatternInstance& operator=(const CPatternInstance& other);

    // The running serial that forms the high half of new ids; the song
    // document saves and restores it.
    static DWORD GetInstanceSerial();
    static void SetInstanceSerial(DWORD serial);
    // A new id for an instance of the pattern: the pattern id's 16 bits and
    // the serial's low 16 bits above them. The serial moves on by one; a
    // serial whose low half is 0 is skipped, so an instance id never equals
    // a pattern's clip id.
    static DWORD DrawInstanceId(SHORT patternId);

    CPattern* GetPattern() const { return m_pattern; }
    DWORD GetInstanceId() const { return m_instanceId; }
    // CPattern::kNoPattern without a pattern.
    SHORT GetPatternID() const;
    // 0 without a pattern.
    LONG GetPatternDuration() const;
    // 0 <= start < end.
    bool IsValid() const { return m_start >= 0 && m_start < m_end; }

    LONG GetOffset() const { return m_offset; }
    LONG GetStart() const { return m_start; }
    LONG GetEnd() const { return m_end; }
    WORD GetMidiChannel() const { return m_midiChannel; }
    LONG GetTranspose() const { return m_transpose; }
    LONG GetCursor() const { return m_cursor.load(std::memory_order_relaxed); }
    const CMfxEvent& GetTemplateEvent() const { return m_template; }

    // Each setter that moves the instance resets the cursor; bad values give
    // E_INVALIDARG (E_FAIL for a MIDI channel) and change nothing.
    // 0 <= offset < pattern duration.
    HRESULT SetOffset(LONG offset);
    // Any offset, taken modulo the pattern duration.
    HRESULT SetOffsetWrapped(LONG offset);
    HRESULT SetStart(LONG start);
    // end > start.
    HRESULT SetEnd(LONG end);
    // 0..15 overrides the MIDI channel of every played event but automation;
    // kNoChannel removes the override.
    HRESULT SetMidiChannel(WORD channel);
    HRESULT SetTranspose(LONG semitones);

    // Where song time t falls inside the looping pattern.
    LONG PatternTimeAt(LONG t) const;
    // Audio thread: no allocation, no blocking.
    // Positions the play cursor at the pattern event that plays at or next
    // after t (the first event at that pattern time, else the last before
    // it); 0 outside the instance. S_FALSE with an invalid cursor when the
    // pattern is busy.
    HRESULT SeekTime(LONG t);
    void ResetCursor() { m_cursor.store(kInvalidCursor, std::memory_order_relaxed); }

    // Audio thread: no allocation, no blocking.
    // Appends the events sounding in [from, to) with their song times: notes
    // transposed (keys kept within 0..127) and cut at the end, every event
    // but automation on the override channel, notes of a swing pattern moved
    // by the swing amount (0.0..1.0). Events are appended only within the
    // vector's capacity, which the caller reserves: E_OUTOFMEMORY when they
    // do not fit (those appended stay). An event that carries a data block
    // plays with a copy of its data in a block of `blocks`, so nothing is
    // allocated; the appended event names that block but does not own it (the
    // caller clears the handle before destroying the event). Without `blocks`,
    // or when the ring has no room, such an event is left out. S_FALSE when the pattern is
    // busy, has no duration or no events; E_UNEXPECTED without a song.
    // Nothing plays of a pattern that the recorder is overwriting, nor an
    // automation event of a parameter being touched.
    HRESULT RenderEvents(LONG from, LONG to, std::vector<CMfxEvent>* events, float swing,
                         CMfxBlockRing* blocks = nullptr) const;
    // Merges into the set, for every target, the latest event that is not a
    // note up to t (inclusive, before the end), as played (override channel,
    // song time); a held event of the same target stays when it is later.
    // S_FALSE for a pattern without duration or events. Takes the pattern's
    // lock and may allocate: not for the audio thread.
    HRESULT ChaseEvents(LONG t, CChaseSet* set) const;
    // The template event; for a pattern with a trigger key it comes at the
    // start with that key, lasting the instance (withLength) or 0.
    CMfxEvent GetTriggerEvent(BOOL withLength) const;
    // The pattern's display name, with the transpose as " (+n)" or " (-n)".
    CString GetDisplayName() const;

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    // The note an instance of the pattern presents as its trigger.
    void ResetTemplate();
    // The loop clip kept under the instance id, for an audio pattern.
    ILoopClip* FindClip() const;
    // Gives the clip a position in ticks and, when asked and the song's
    // tempo map can convert it, in frames.
    void GiveClipPosition(HRESULT (ILoopClip::*set)(LONGLONG, int), ILoopClip* clip, LONGLONG ticks,
                          bool frames) const;
    // Where the clip starts playing: the start of the loop the start lies in.
    LONGLONG ClipPlayPosition() const;
    void CopyFields(const CPatternInstance& other);

    LONG m_offset = -1;
    LONG m_start = -1;
    LONG m_end = -1;
    std::atomic<LONG> m_cursor{kInvalidCursor};
    CPattern* m_pattern = nullptr;
    WORD m_midiChannel = kNoChannel;
    CMfxEvent m_template;
    LONG m_transpose = 0;
    DWORD m_instanceId = kNoId;
};
