// A pattern: the unit of musical content. A named, numbered, coloured list of
// MIDI events in time order (events with equal times keep the order they were
// inserted in) with a duration in ticks, the length of one loop. The song
// document owns every pattern under its 16-bit id; pattern instances place it
// on channel timelines and play it. A MIDI pattern's events are played; an
// audio pattern (kind 1) carries a loop clip that the clip pool keeps under
// the pattern's clip id.
//
// Every change of the events goes through the four container slots, so an
// edit, its undo and its redo behave alike; the event edits below make those
// changes as undoable steps of a project command under the texts the undo
// history shows ("Insert Event into %s", ...).
//
// Threads: the UI thread edits, loads and saves. The audio thread reads the
// events, the duration and the swing flag while it renders an instance, under
// the pattern's lock taken with a try. Every slot and every setter of a field
// the renderer reads holds the lock while it writes, so the renderer never
// sees the vector half-changed, also when the history undoes or redoes an
// edit (which calls the slots directly).
//
// Persisted as a chunk of six sub-chunks (major 0x6003, minor 5).
#pragma once

#include <set>
#include <vector>

#include "model/CKelPersistObject.h"
#include "model/CMfxEvent.h"
#include "model/CSelectableObject.h"
#include "model/CUndoPtrTraits.h"
#include "model/CUndoVector.h"
#include "platform/win/CString.h"
#include "uikit/core/CHeapCriticalSection.h"

class CMvCommand;
class ILoopClip;

class CPattern : public CUndoVector<CMfxEvent>, public CSelectableObject, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6003;
    static constexpr WORD kMinor = 5;

    static constexpr DWORD kKindMidi = 0;
    static constexpr DWORD kKindLoopClip = 1;
    // The id that stands for no pattern wherever an id is passed.
    static constexpr SHORT kNoPattern = -1;
    // A duration that makes the pattern endless (its length follows its
    // events and the song).
    static constexpr LONG kEndless = 0x7FFFFFFF;
    static constexpr int kMaxNameLength = 80;
    static constexpr LONG kNoteLane = 128;
    static constexpr LONG kDefaultLaneKind = 4;
    static constexpr LONG kNoTriggerKey = -1;
    static constexpr DWORD kNoClip = 0xFFFFFFFF;
    // GetSelectedEventIndices of every kind.
    static constexpr DWORD kAnyKind = 0xFFFFFFFF;

    // Swing, derived from the ticks per quarter note: notes that fall in
    // [window start, window end) of a quarter are moved toward the target.
    static constexpr LONG kTicksPerQuarter = 960;
    static constexpr LONG kSwingWindowStart = kTicksPerQuarter / 2 - kTicksPerQuarter / 8;
    static constexpr LONG kSwingWindowEnd = 2 * kTicksPerQuarter / 3;
    static constexpr LONG kSwingTarget = 2 * kTicksPerQuarter / 3;
    // The least length of an endless pattern: 16 measures of 4/4.
    static constexpr LONG kEndlessMinLength = 16 * 4 * kTicksPerQuarter;

    // View hint of the event edits.
    static constexpr DWORD kEventEditHint = 0x0102;

    // Palette colour of an id (0x00BBGGRR): one of the 15 pattern colours of
    // the colour scheme, chosen by the id modulo 15.
    static DWORD GetPaletteColor(SHORT id);

    // Container slots, each under the pattern lock. Remove also has the song
    // document reset the play cursors of this pattern's instances and returns
    // its error.
    HRESULT Insert(const int& index, const CMfxEvent& event) override;
    HRESULT Set(const int& index, const CMfxEvent& event) override;
    HRESULT Remove(const int& index) override;
    HRESULT Get(const int& index, CMfxEvent* out) override;
    // As Get, but S_FALSE when the pattern is empty.
    HRESULT PeekAt(int index, CMfxEvent* out);
    // Takes the events over at the end, without undo and under the pattern
    // lock, for a pattern that is being built (a MIDI file import): they
    // must be in time order and not before the last event already held,
    // else E_INVALIDARG and nothing changes. An empty pattern takes the
    // vector whole; `events` is left empty on success.
    HRESULT AppendEvents(std::vector<CMfxEvent>&& events);

    // Event edits. With a command the steps join it and it stays open; without
    // one and with openCommand set the edit runs in a command of its own
    // (committed on success, abandoned on failure); otherwise the change is
    // made directly and cannot be undone. E_OUTOFMEMORY when no command can
    // be opened.
    //
    // Inserts after every event at the same or an earlier time. With replace,
    // an event that is not a note replaces the event of the same target at the
    // same time, if there is one.
    HRESULT InsertEvent(const CMfxEvent& event, BOOL openCommand, CMvCommand* command, BOOL replace);
    HRESULT DeleteEvent(int index, BOOL openCommand, CMvCommand* command);
    HRESULT ChangeEvent(int index, const CMfxEvent& event, BOOL openCommand, CMvCommand* command);
    // Removes the events with from <= time <= to that have the match event's
    // target (every event when match is null).
    HRESULT ClearMatchingEvents(LONG from, LONG to, const CMfxEvent* match, BOOL openCommand, CMvCommand* command);
    HRESULT ClearAllEvents(BOOL openCommand, CMvCommand* command);

    // The last event whose time is not after the time; -1 when there is none.
    int FindLastEventAtOrBefore(LONG time) const;
    // S_FALSE when no event time t has from <= t < to, else S_OK.
    HRESULT IsRangeEmpty(LONG from, LONG to) const;
    // The events that play: those at or after time 0 and before the
    // duration, as indices [*begin, *end).
    void GetPlayableRange(int* begin, int* end) const;
    void SelectAllEvents(BOOL selected);
    // Appends the indices of the selected events (of one kind, unless
    // kAnyKind). E_POINTER for null, E_INVALIDARG for a vector that is not
    // empty, S_FALSE for an empty pattern.
    HRESULT GetSelectedEventIndices(std::vector<int>* indices, DWORD kind = kAnyKind) const;
    // Fill an empty set with the distinct automation parameters, controller
    // numbers or event kinds. E_POINTER for null, E_INVALIDARG when not empty.
    HRESULT GetAutomatedParams(std::set<DWORD>* params) const;
    HRESULT GetUsedControllers(std::set<int>* controllers) const;
    HRESULT GetUsedEventKinds(std::set<DWORD>* kinds) const;

    // The duration, or the latest event end (a note ends after its duration)
    // when that is later; with selectedOnly only selected events count. An
    // endless pattern is at least as long as its last event's time, the song
    // and kEndlessMinLength.
    LONG CalcLength(BOOL selectedOnly) const;

    const std::vector<CMfxEvent>& GetEvents() const { return Items(); }
    // The events' times, index for index: what searches by time read.
    const std::vector<LONG>& GetEventTimes() const { return m_times; }
    // The lock that guards the events against the audio thread.
    CHeapCriticalSection& GetLock() const { return m_eventLock; }

    DWORD GetKind() const { return m_kind; }
    SHORT GetId() const { return m_id; }
    // The id the clip pool keeps this pattern's loop clip under: the 16-bit
    // id for an audio pattern, kNoClip for a MIDI pattern.
    DWORD GetClipId() const;

    LONG GetDuration() const { return m_duration; }
    // An audio pattern's clip gets the new length too.
    void SetDuration(LONG ticks);
    const CString& GetName() const { return m_name; }
    // Cut to its first kMaxNameLength bytes, never inside a character.
    void SetName(const char* name);
    // The name, or "Pat %d" with the id + 1 when it is empty.
    CString GetDisplayName() const;
    DWORD GetColor() const { return m_color; }
    void SetColor(DWORD color) { m_color = color; }
    LONG GetLaneTarget() const { return m_laneTarget; }
    void SetLaneTarget(LONG target) { m_laneTarget = target; }
    LONG GetLaneKind() const { return m_laneKind; }
    void SetLaneKind(LONG kind) { m_laneKind = kind; }
    LONG GetTriggerKey() const { return m_triggerKey; }
    void SetTriggerKey(LONG key) { m_triggerKey = key; }
    const CString& GetClipFile() const { return m_clipFile; }
    void SetClipFile(const char* path) { m_clipFile = path; }
    DWORD GetSwing() const { return m_swing; }
    void SetSwing(DWORD swing);
    LONG GetEditMarker() const { return m_editMarker; }
    void SetEditMarker(LONG ticks) { m_editMarker = ticks; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    friend HRESULT CreatePattern(SHORT id, CPattern** pattern, DWORD kind);
    friend void DestroyPattern(CPattern* pattern);

    CPattern(SHORT id, DWORD kind);
    ~CPattern() override;
    CPattern(const CPattern&) = delete;
    CPattern& operator=(const CPattern&) = delete;

    // The loop clip the pool keeps for an audio pattern, or null.
    ILoopClip* FindClip() const;
    // The event edits' own command name: the resource text with the display name.
    CString EditName(UINT textId) const;
    HRESULT PersistEventList(CKelPersistArchive* archive);

    DWORD m_kind;
    SHORT m_id;
    LONG m_duration = 1;
    CString m_name;
    DWORD m_color;
    LONG m_laneTarget = kNoteLane;
    LONG m_laneKind = kDefaultLaneKind;
    LONG m_triggerKey = kNoTriggerKey;
    mutable CHeapCriticalSection m_eventLock;
    CString m_clipFile;
    DWORD m_swing = 0;
    LONG m_editMarker = 0;
    // The event times beside the events, so that a search by time reads a
    // few cache lines rather than whole events; every slot keeps it in step.
    std::vector<LONG> m_times;
};

// E_POINTER for a null out-parameter, E_OUTOFMEMORY when the pattern cannot
// be allocated.
HRESULT CreatePattern(SHORT id, CPattern** pattern, DWORD kind);
// Releases an audio pattern's loop clip, then deletes the pattern.
void DestroyPattern(CPattern* pattern);

template <>
struct CUndoPtrTraits<CPattern> {
    static void Destroy(CPattern* p) { DestroyPattern(p); }
};
