// The recorder: records live MIDI input and parameter movements into the
// song, one undoable edit ("Record New Events") per take. Three modes:
// 1 pattern recording into the active pattern of the active channel (a new
// pattern when none is active), looping over the pattern's length while the
// transport plays; 2 step recording, each note or chord placed at the step
// position with the step length, the position then moving on; 3 arrangement
// recording, each armed channel into a new pattern that grows with the take
// and is placed on its timeline at the take start, and parameter movements
// into the automation patterns.
//
// Threads. Live messages arrive on the MIDI input thread (OnShortMsg) and
// loop wraps on the audio thread (WrapAtPatternEnd, CommitTouches); both
// only pair notes in the pending-note table and queue finished events and
// pass ends into a queue whose room is made at construction. Everything that
// allocates or makes undo steps (the take patterns, the song's patterns and
// instances, the take's command) runs on the UI thread, which drains that
// queue whenever it calls the recorder and at every poll of
// FetchNewEventsFlag (the main window's 40 ms timer). The pending-note table,
// the step position and the queue's producer side are guarded by the note
// lock, which the audio thread only tries (a busy lock puts a wrap off to
// the next buffer) and the MIDI thread takes by trying until it gets it,
// never waiting in the kernel. What pattern playback asks on the audio
// thread (IsRecordingPattern, IsParamTouched) is answered from lock-free
// copies that the UI thread keeps.
//
// A failed commit of the take resets the recorder to idle and returns the
// failure; nothing of the take is applied then.
#pragma once

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "devices/CMidiSink.h"
#include "devices/CNrpnContext.h"
#include "engine/ITransportRecorder.h"
#include "engine/hosting/IPatternRecordControls.h"
#include "model/CMfxEvent.h"
#include "model/IRecorder.h"
#include "uikit/core/CHeapCriticalSection.h"

class CMidiDoc;
class CMvCommand;
class CPattern;
class CRecBuffer;
class IDocumentEngine;

class CRecorder : public CMidiSink,
                  public CNrpnContext,
                  public ITransportRecorder,
                  public IRecorder,
                  public IPatternRecordControls {
public:
    static constexpr int kNoteSlots = 2048;
    static constexpr LONG kFreeSlot = -1;
    static constexpr DWORD kStepCount = 16;
    static constexpr DWORD kDefaultStepSize = 2;
    static constexpr BYTE kFixedVelocity = 100;
    // Earlier automation points of a parameter closer than this to a later
    // one are thinned out of a take.
    static constexpr LONG kThinTicks = 72;
    // Finished events and pass ends waiting for the UI thread.
    static constexpr int kQueueSize = 4096;
    // Patterns and touched parameters that playback may ask about.
    static constexpr int kMaxTargets = 128;
    static constexpr int kMaxTouches = 64;
    // Posted to the main window (both parameters 0).
    static constexpr UINT kEventsWrittenMessage = WM_APP + 3;
    static constexpr UINT kTakeCommittedMessage = WM_APP + 5;
    // The name of a take's undo step.
    static constexpr UINT kTakeNameId = 16479;

    CRecorder();
    ~CRecorder() override;
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // The program's default length of a new pattern (7680 ticks at first).
    static LONG GetDefaultPatternLength();
    static void SetDefaultPatternLength(LONG ticks);

    // ---- ITransportRecorder ----
    CMidiSink* GetMidiSink() override { return this; }
    // Discards any take; a document that is not the song document leaves
    // the recorder without one (takes are refused then). UI thread.
    HRESULT SetDocument(ITransportDocument* document) override;
    // Audio thread too: no allocation, no blocking.
    BOOL IsRecording() override { return m_recording.load() != 0 ? TRUE : FALSE; }
    // Closes the notes still held at the take's end, writes the take and
    // commits it as one undo step. E_UNEXPECTED without a take; a failed
    // commit leaves the recorder idle and returns the failure. UI thread.
    HRESULT EndTake() override;
    // Playback wrapped from the loop end to the loop start: in arrangement
    // recording the held notes end at the loop end and the pass is queued
    // for writing. Audio thread: no allocation, no blocking.
    HRESULT CommitTouches(LONG loopStart, LONG loopEnd) override;
    // In pattern recording with the transport's record mode set: once the
    // song passes the end of the pattern's current pass the held notes end
    // at its last tick and the pass is queued for writing. S_FALSE when a
    // wrap is due but cannot run now (a pattern without length, the note
    // lock busy: then the next buffer tries again).
    // Audio thread: no allocation, no blocking.
    HRESULT WrapAtPatternEnd(LONG now) override;

    // ---- IRecorder (pattern playback) ----
    // Audio thread: no allocation, no blocking (these three).
    BOOL IsRecordingPattern(SHORT patternId) override;
    BOOL IsParamTouched(DWORD paramId) override;
    DWORD GetOverwriteRecordMode() override { return m_replace.load(); }

    // ---- IPatternRecordControls and the record commands (UI thread) ----
    // E_UNEXPECTED while a take runs or without a document (or, in modes 1
    // and 2, without an active channel; in mode 3 without an armed
    // channel), E_INVALIDARG for another mode, E_OUTOFMEMORY when the undo
    // command cannot be made; a failed pattern creation is passed on with
    // nothing left behind.
    HRESULT BeginTake(DWORD mode) override;
    BOOL GetReplace() override { return m_replace.load() != 0 ? TRUE : FALSE; }
    void SetReplace(BOOL replace) override { m_replace = replace ? 1 : 0; }
    void SetFixedVelocity() override { m_fixedVelocity = m_fixedVelocity.load() ? 0 : 1; }
    BOOL GetFixedVelocity() override { return m_fixedVelocity.load() != 0 ? TRUE : FALSE; }
    void SetStepSize(DWORD index) override { m_stepSize = index <= 7 ? index : kDefaultStepSize; }
    DWORD GetStepSize() override { return m_stepSize.load(); }
    void SetStepModifier(DWORD modifier) override { m_stepModifier = modifier; }
    DWORD GetStepModifier() override { return m_stepModifier.load(); }
    HRESULT StepForward() override;
    HRESULT SetTakeDuration(SHORT patternId, LONG ticks) override;

    // The length of a step at the tick: index 1..7 give 1920 .. 30 ticks,
    // index 0 a bar of the meter in force there; dotted adds a half, triplet
    // takes two thirds. E_POINTER, E_UNEXPECTED for an index above 7 or, at
    // index 0, without a document. MIDI thread too: no allocation, no
    // blocking.
    HRESULT GetStepDuration(LONG tick, LONG* duration);
    // Arranging every armed channel's automation too. E_UNEXPECTED while
    // recording.
    HRESULT SetGlobalArm(BOOL on);
    BOOL GetGlobalArm() const { return m_allTracks; }
    // Any thread: where step recording places the next note.
    LONG GetStepPosition() const { return m_stepPosition.load(); }
    DWORD GetMode() const { return m_mode.load(); }

    // Drains what the MIDI and audio threads queued into the take, writing
    // the passes that ended, and returns and clears the new-events flag.
    // The main window polls it. UI thread.
    BOOL FetchNewEventsFlag();
    // Messages and events that found the queue full and were dropped.
    DWORD GetDroppedCount() const { return m_dropped.load(); }

    // The take buffer of a target pattern or of a container's automation.
    // E_POINTER, S_FALSE when not recording; E_UNEXPECTED for a pattern
    // that is no target; S_FALSE with null for a container without one.
    HRESULT FindRecordTarget(SHORT patternId, CRecBuffer** buffer);
    HRESULT FindTakeBuffer(SHORT containerId, CRecBuffer** buffer);

    // Parameter gestures of channels, aux buses and the master bus. S_FALSE
    // when not recording. UI thread.
    HRESULT BeginParamTouch(DWORD paramId, SHORT containerId);
    HRESULT EndParamTouch(DWORD paramId, SHORT containerId);
    HRESULT RecordParamValue(DWORD paramId, SHORT containerId, float value);

    // ---- CMidiSink: one live message; never consumed ----
    // MIDI input thread: no allocation, no blocking.
    int OnShortMsg(DWORD message, DWORD time, int port) override;

    // The recorder feeds no parameter numbers: controllers are recorded as
    // they come.
    void OnNrpnComplete(DWORD, int, int, int, int) override {}

private:
    struct NoteSlot {
        LONG start = kFreeSlot;
        BYTE velocity = 0;
    };
    struct QueueItem {
        enum Kind : DWORD { kEvent, kPassEnd, kLoopWrap, kWriteTakes };
        DWORD kind = kEvent;
        // Pass ends and loop wraps: where the touches of the pass end.
        LONG time = 0;
        CMfxEvent event;
    };
    struct TouchEntry {
        LONG start = 0;
        LONG end = -1;
        DWORD active = 1;
    };
    struct Target {
        SHORT patternId;
        SHORT channelId;
        // Arrangement recording: the instance the take placed, none yet.
        DWORD instanceId;
        CRecBuffer* buffer;
    };

    // The record time of a live message now; false when there is none (no
    // target, a pattern without length). Caller holds the note lock.
    bool RecordTime(LONG* now);
    // Caller holds the note lock (these four).
    void Queue(DWORD kind, LONG time, const CMfxEvent* event);
    void EndHeldNotesLocked(LONG t, bool clampToTake);
    void ClearNotesLocked();
    // Moves the step position on; true when it went back to 0.
    bool AdvanceStepLocked();
    // The MIDI thread gets the note lock by trying, never waiting in the
    // kernel: the other holders keep it for a few microseconds.
    void LockNotesSpinning();

    // ---- UI thread ----
    void Drain();
    HRESULT AddEvent(CMfxEvent event, SHORT containerId);
    HRESULT AddToTarget(Target& target, CMfxEvent event, bool first);
    HRESULT WriteTakes();
    HRESULT WriteBuffer(CRecBuffer* buffer, CPattern* real);
    void EndPass(LONG touchEnd);
    HRESULT BeginTakeTargets(DWORD mode);
    HRESULT AddAutomationBuffer(SHORT containerId);
    CPattern* ContainerAutomation(SHORT containerId);
    DWORD ParamClass(SHORT containerId, DWORD paramId);
    // When a container's parameter event happens: -1 when it has no place.
    LONG ContainerTime(SHORT containerId);
    void PublishTargets();
    void PublishTouches();
    void ReleaseTake();
    // Discards the take (undoing what it prepared) and lets go of the
    // document.
    void LeaveDocument();
    void Post(UINT message);

    std::array<NoteSlot, kNoteSlots> m_notes{};
    std::atomic<DWORD> m_replace{0};
    std::atomic<DWORD> m_stepModifier{0};
    std::atomic<DWORD> m_stepSize{kDefaultStepSize};
    std::atomic<LONG> m_stepPosition{0};
    CMvCommand* m_command = nullptr;
    std::atomic<DWORD> m_recording{0};
    BOOL m_allTracks = FALSE;
    CMidiDoc* m_doc = nullptr;
    std::atomic<IDocumentEngine*> m_engine{nullptr};
    std::atomic<LONG> m_takeStart{0};
    std::atomic<DWORD> m_mode{0};
    DWORD m_noteCount = 0;
    std::map<DWORD, TouchEntry> m_touches;
    std::vector<Target> m_targets;
    std::map<SHORT, CRecBuffer*> m_automation;
    std::atomic<DWORD> m_fixedVelocity{0};
    std::atomic<DWORD> m_newEvents{0};
    CHeapCriticalSection m_noteLock;

    // The first target's take length (the pattern-recording loop) and where
    // its current pass began; a loop wrap that found the note lock busy.
    std::atomic<LONG> m_takeDuration{0};
    std::atomic<LONG> m_passStart{0};
    std::atomic<LONG> m_pendingLoopEnd;
    // Single consumer (the UI thread); producers hold the note lock.
    std::unique_ptr<QueueItem[]> m_queue;
    std::atomic<int> m_queueHead{0};
    std::atomic<int> m_queueTail{0};
    std::atomic<DWORD> m_dropped{0};
    // Lock-free copies for pattern playback.
    std::array<std::atomic<SHORT>, kMaxTargets> m_rtTargets;
    std::atomic<int> m_rtTargetCount{0};
    std::array<std::atomic<DWORD>, kMaxTouches> m_rtTouches;
};
