// A channel's timeline: the pattern instances placed on one track, held by
// value and kept in order (InstanceLess: earlier start first; on equal
// starts the longer first; on equal start and end the larger id first). It
// finds the instances at a time, makes the undoable edits that add, delete
// and change instances ("Add Pattern %s to Track %d", ...), tells its channel
// when an instance enters or leaves, renders the instances' events for a span
// of playback, and saves its instances with the state of their loop clips.
//
// An instance covers the times start <= t <= end (the end included) for the
// searches; it plays [start, end).
//
// Threads: the UI thread edits, searches and persists. The audio thread
// renders spans. Every change of the vector is made under the timeline's
// lock, and rendering only tries the lock: while an edit holds it, the span
// renders nothing rather than wait or read a vector being moved. The
// operations that look an instance up by id run on the UI thread without the
// lock, as only that thread changes the vector; whoever moves an instance in
// place (its start, end or offset, through a pointer from
// GetPatternInstance) holds GetLock() while doing so.
//
// Rendering finds its first instance by bisection over the running latest
// end of the instances in order, so a span costs a logarithmic search plus
// the instances that can sound in it, wherever playback stands and whatever
// was edited or looped before; no index carried from span to span can skip
// an instance.
//
// Persisted as a chunk of two sub-chunks (major 0x600A, minor 1).
#pragma once

#include <set>
#include <vector>

#include "model/CKelPersistObject.h"
#include "model/CPatternInstance.h"
#include "model/CUndoInsertPatInstStep.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoVector.h"
#include "uikit/core/CHeapCriticalSection.h"

class CMvCommand;
class ITimelineOwner;

class CTimeline : public CUndoVector<CPatternInstance>, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x600A;
    static constexpr WORD kMinor = 1;
    static constexpr DWORD kNoInstance = 0xFFFFFFFF;
    // InvalidatePatternInstances of every pattern.
    static constexpr SHORT kAllPatterns = -1;
    static constexpr DWORD kPlacementHint = 0x0101;
    static constexpr DWORD kAttributeHint = 0x0003;

    // The owner may be null (no notifications, no loop-clip host).
    explicit CTimeline(ITimelineOwner* owner);

    static bool InstanceLess(const CPatternInstance& a, const CPatternInstance& b);

    // Container slots, each under the lock. Insert and Remove tell the owner
    // afterwards; when it fails, the change is taken back and its error
    // returned, so a failed slot leaves the timeline as it was. Set refuses
    // (E_INVALIDARG) a value that would leave the order, as it does not move
    // the instance. Insert makes the first instance of an empty current id
    // the current one; Remove clears the current id of the instance it takes.
    HRESULT Insert(const int& index, const CPatternInstance& instance) override;
    HRESULT Set(const int& index, const CPatternInstance& instance) override;
    HRESULT Remove(const int& index) override;
    HRESULT Get(const int& index, CPatternInstance* out) override;

    // Where the instance keeps the order: after every instance that does not
    // sort after it.
    int FindInsertPosition(const CPatternInstance& instance) const;
    // The instance covering the time, preferring the current one, else the
    // latest in the order; S_FALSE with null when none covers it.
    HRESULT GetInstanceAt(LONG time, CPatternInstance** instance);
    // Appends every instance covering the time, latest first; S_FALSE when
    // the vector is still empty.
    HRESULT GetInstancesAt(LONG time, std::vector<CPatternInstance*>* instances);

    // Undoable edits under the rules of every edit: with a command the steps
    // join it; else, with createCommand, in a command of their own; else made
    // directly. E_OUTOFMEMORY when no command or step can be made.
    //
    // Places a copy of the instance (E_INVALIDARG without a pattern).
    HRESULT AddPatternInstance(const CPatternInstance& instance, BOOL createCommand, CMvCommand* command);
    // E_UNEXPECTED on an empty timeline, E_INVALIDARG for an unknown id. An
    // instance that is the document's active one stops being active first.
    HRESULT DeletePatternInstance(DWORD id, BOOL createCommand, CMvCommand* command);
    // Changes the attributes given (null pointers are left alone) as one
    // removal and one re-insertion at the new place. E_INVALIDARG for
    // kNoInstance, no attribute, a value a setter refuses or an invalid
    // result; E_UNEXPECTED for an unknown id. A refused edit changes nothing.
    HRESULT SetPatternInstanceAttributes(DWORD id, BOOL createCommand, const LONG* start, const LONG* end,
                                         const LONG* offset, const WORD* midiChannel, const LONG* transpose,
                                         CMvCommand* command);

    // The instance inside the timeline (instance may be null to test for
    // it); S_FALSE when absent. Valid until the next insertion or removal.
    HRESULT GetPatternInstance(DWORD id, CPatternInstance** instance);
    HRESULT CountPatternInstances(SHORT patternId, int* count) const;
    // Adds every instance's pattern id; S_FALSE on an empty timeline.
    HRESULT CollectUsedPatternIds(std::set<SHORT>* ids) const;
    // Appends each instance's pattern id and the instance.
    HRESULT CollectPatternRefs(std::vector<SHORT>* ids, std::vector<CPatternInstance*>* refs);
    // Every instance in order, into an empty vector: E_POINTER for null,
    // E_UNEXPECTED when not empty, S_FALSE on an empty timeline.
    HRESULT GetPatternInstances(std::vector<CPatternInstance*>* instances);
    void SelectAllPatternInstances(BOOL selected);
    // Sets the flag and makes the instance the current one; S_FALSE when absent.
    HRESULT SelectPatternInstance(DWORD id, BOOL selected);
    // Inverts the flag; *state (when given) is the new one. S_FALSE when absent.
    HRESULT ToggleSelectPatternInstance(DWORD id, BOOL* state);
    // Resets the play cursors of the instances of a pattern (kAllPatterns: all).
    void InvalidatePatternInstances(SHORT patternId);
    // Audio thread: no allocation, no blocking.
    // Seeks every instance's play cursor to the time; the first failure.
    // S_FALSE, nothing sought, when an edit holds the lock.
    HRESULT SeekInstances(LONG t);

    DWORD GetCurrentInstanceId() const { return m_currentId; }
    CHeapCriticalSection& GetLock() const { return m_instancesLock; }
    // Whether any instance plays a loop clip, kept with every change (a
    // pattern's kind is fixed when it is made). Read under the lock.
    // Audio thread: no allocation, no blocking.
    bool HoldsLoopClips() const { return m_loopClipCount > 0; }

    // Audio thread: no allocation, no blocking.
    // Appends the events of every instance sounding in [from, to), instance
    // after instance in the order, within the vector's reserved capacity
    // (CPatternInstance::RenderEvents). S_FALSE when the lock is busy: nothing
    // is rendered for the span. E_OUTOFMEMORY when the events do not fit,
    // E_UNEXPECTED without a song.
    // Data blocks of events are copied into `blocks` (see RenderEvents).
    HRESULT RenderSpan(LONG from, LONG to, std::vector<CMfxEvent>* events, float swing,
                       CMfxBlockRing* blocks = nullptr);

    // Chunk 0: u32 count and each instance as a nested object; loading
    // appends them (in order: a stream out of order is sorted). Chunk 1: the
    // saved state of the loop clip of each loop-clip instance, while the
    // owner's synth has a loop-clip host; loading registers a clip for each
    // with the host and gives it the loaded settings.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    int FindIndex(DWORD id) const;
    // Recomputes the running latest end from the index on, and counts the
    // loop-clip instances again. Under the lock.
    void UpdateReach(int from);
    // The undo text of a placement edit, with the pattern and the track.
    CString PlacementName(UINT textId, const CPatternInstance& instance) const;
    HRESULT PersistInstances(CKelPersistArchive* archive);
    HRESULT PersistClipStates(CKelPersistArchive* archive);

    ITimelineOwner* m_owner;
    DWORD m_currentId = kNoInstance;
    // m_reach[i]: the latest end of the instances 0..i.
    std::vector<LONG> m_reach;
    std::size_t m_loopClipCount = 0;
    mutable CHeapCriticalSection m_instancesLock;
};
