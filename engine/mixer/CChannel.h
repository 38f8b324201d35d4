// One track of the song: a soft synth (or none), one output branch per synth
// output, the timeline of pattern instances it plays, its MIDI-effect chain,
// the live-input settings, and the automatable parameters of its outputs.
//
// Parameters. The channel's own group (class kChannelGroupClass, instance
// GUID_NULL) is registered first, so it starts at id 0, with 64 ids per
// output: output n owns first + 64n .. first + 64n + 63. Within an output,
// u = id & 63: 0-7 the volume/pan filter's parameters (5 Mute, 7 the
// solo-mute gain), 8-39 the four aux sends' parameters (send k owns
// 8 + 8k .. 8 + 8k + 7), 40-43 "Enable Aux %d", 44 "Solo", 45-63 "Pad".
// After them each effect of each branch has its own group, and the synth's
// group (keyed by its class and instance) comes last.
//
// Graph. Graph objects exist while the channel is in the document. The
// document's rebuild runs RemoveFromGraph, AddToGraph and ConnectInGraph on
// the UI thread under its graph lock; until it has, the engine finds the
// graph dirty and plays silence, so the audio thread never meets a channel
// half built.
//
// Saved form: major 0x6005, chunks 0-4. A channel without synth saves an
// empty nested object (CEmptyChunk) where the synth goes and loads back
// without synth; a channel with one saves its wrapper, which a load makes
// empty through the wrapper factory and fills from the stream.
//
// Threads: UI thread unless said. The synth and output vectors and the
// parameter table change under the synth and output lock; QueueLiveEvent
// runs on the MIDI input thread under the live lock. In ReWire-device mode
// the host's live notes arrive on the device's worker, the audio thread of
// that mode: there the live input takes its locks by trying only and never
// grows the held-note table, and a message it cannot take is dropped and
// counted.
#pragma once

#include <atomic>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "engine/CTimeline.h"
#include "engine/ITimelineOwner.h"
#include "engine/graph/CNullSynth.h"
#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/CMfxChain.h"
#include "engine/mixer/COutputBranch.h"
#include "engine/mixer/COutputVect.h"
#include "engine/mixer/CSynthVect.h"
#include "engine/mixer/IChannelVectOwner.h"
#include "engine/mixer/IMfxChainOwner.h"
#include "engine/mixer/IOutputBranchOwner.h"
#include "engine/mixer/ISynthWrap.h"
#include "model/CKelPersistObject.h"
#include "model/CMfxBlockRing.h"
#include "model/CMfxDataQueue.h"

class CPattern;
class IChannelDocument;

// {CE8CDEFA-5F28-443A-9EA3-7D8F8C83A238}: the key of the channel's own
// parameters.
MV_DEFINE_GUID(kChannelGroupClass, 0xCE8CDEFA, 0x5F28, 0x443A, 0x9E, 0xA3, 0x7D, 0x8F, 0x8C, 0x83, 0xA2, 0x38);

// One held live note, keyed by MIDI channel (bits 0-3), sounding note
// (bits 8-15) and input port (bits 16 on).
class CNoteInfo {
public:
    virtual ~CNoteInfo() = default;
    WORD playedNote = 0;  // before the input transpose
    WORD velocity = 0;
    DWORD holdCount = 0;
    DWORD resent = 0;  // sent again when playback started
};

class CChannel : public CControlParamSet,
                 public CKelPersistObject,
                 public IChannelVectOwner,
                 public IOutputBranchOwner,
                 public ITimelineOwner {
public:
    static constexpr WORD kMajor = 0x6005;
    static constexpr WORD kMinor = 4;
    static constexpr DWORD kIdsPerOutput = 64;
    // The values saved per output: local indices 0..44.
    static constexpr DWORD kSavedPerOutput = 45;
    static constexpr DWORD kMuteIndex = 5;
    static constexpr DWORD kSoloMuteIndex = 7;
    static constexpr DWORD kFirstAuxIndex = 8;
    static constexpr DWORD kEnableAuxIndex = 40;
    static constexpr DWORD kSoloIndex = 44;
    static constexpr WORD kAllPorts = 0xFFFF;
    static constexpr DWORD kAnyPort = 0xFFFFFFFF;
    static constexpr DWORD kNoPort = 0xFFFFFFFE;
    static constexpr DWORD kNoClip = 0xFFFFFFFF;
    static constexpr SHORT kAllPatterns = -1;

    // ---- Life ----
    // S_OK and nothing made for a null document. clsid null: the null
    // synth (CLSID_NullSynth); CLSID_NoSynth: no wrapper. S_FALSE from the factory (no plug-in)
    // shows "An Error Occured Creating %s" and goes on.
    static HRESULT Create(IChannelDocument* document, WORD id, const CLSID* clsid, const char* name,
                          CChannel** channel);
    // The same around an existing wrapper (a clone), which the channel owns
    // from then on, also when this fails.
    static HRESULT CreateDuplicate(IChannelDocument* document, WORD id, ISynthWrap* wrap, CChannel** channel);
    // Releases playback, the synths, the MIDI effects and the branches,
    // deletes the channel and clears the pointer.
    static void Destroy(CChannel*& channel);

    // ---- Virtual slots of the parameter set ----
    HRESULT FormatValue(DWORD id, float value, CString* text) override;
    HRESULT GetParamName(DWORD id, CString* name) override;
    HRESULT SetParamValue(DWORD id, float value) override;
    HRESULT SetParamValueFromUser(DWORD id, double value) override;
    HRESULT BeginTouch(DWORD id, DWORD bits) override;
    HRESULT EndTouch(DWORD id, DWORD bits) override;
    CString GetDisplayName() override;
    HRESULT GetGroupName(CString* name, const GroupKey& key) override;
    HRESULT GetParamTarget(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId,
                           IMediaParams** params) override;
    virtual HRESULT FlushAllEnvelopes();
    virtual BOOL IsChannelParam(DWORD id);
    virtual BOOL IsSynthParam(DWORD id);
    virtual HRESULT ApplyParam(DWORD id, float value, WORD midiChannel);
    virtual HRESULT InvalidateEffectChains();
    virtual HRESULT KeepAlive(IUnknown* object);

    // ---- Synth ----
    ISynthWrap* GetSynthWrap(int n) const;
    IUnknown* GetSynthPlugIn(int n) const;
    // E_INVALIDARG out of range, E_POINTER for a null class out,
    // E_UNEXPECTED for an empty slot.
    HRESULT GetSynthIds(int n, GUID* classId, GUID* instanceId) const;
    int GetSynthCount() const { return m_synths.GetSize(); }
    // Undoable: "Set Track %d Synth to %s".
    HRESULT ChangeSynth(const CLSID* clsid, const char* name);
    HRESULT ShowSynthProperties(int n);

    // ---- Outputs ----
    int GetOutputCount() const { return m_outputs.GetSize(); }
    COutputBranch* GetOutputBranch(int n) const;
    BOOL IsAuxSendEnabled(int output, int aux) const;
    void SetAuxSendEnabled(int output, int aux, BOOL enabled);
    HRESULT OnAuxBusChanged(int aux);

    // ---- Graph ----
    HRESULT CreateGraphObjects();
    HRESULT ReleaseGraphObjects();
    HRESULT AddToGraph();
    HRESULT RemoveFromGraph();
    HRESULT ConnectInGraph();
    bool HasGraphObjects() const { return m_graphObjects != 0; }
    bool IsGraphChanged() const { return m_graphChanged != 0; }

    // ---- Parameters ----
    HRESULT BuildParams();
    HRESULT IsOutputMuted(int output, BOOL* muted);
    HRESULT IsOutputSoloed(int output, BOOL* soloed);
    BOOL IsOutputMuted(int output);
    BOOL IsOutputSoloed(int output);
    HRESULT SetOutputMute(int output, BOOL on);
    HRESULT SetOutputSolo(int output, BOOL on);
    HRESULT ApplySoloMute();
    // The channel group's first id (0 in practice); kNoGroup without it.
    DWORD GetFirstChannelId() const;
    static constexpr DWORD kNoGroup = 0xFFFFFFFF;

    // ---- Document life ----
    HRESULT OnInsertedIntoDocument();
    HRESULT OnRemovedFromDocument();

    // ---- Timeline ----
    CTimeline& GetTimeline() { return m_timeline; }
    HRESULT AddPatternInstance(const CPatternInstance& instance, BOOL createCommand, CMvCommand* command);
    HRESULT DeletePatternInstance(DWORD id, BOOL createCommand, CMvCommand* command);
    HRESULT GetPatternInstance(DWORD id, CPatternInstance** instance);
    void SelectAllPatternInstances(BOOL selected);
    HRESULT SelectPatternInstance(DWORD id, BOOL selected);
    HRESULT ToggleSelectPatternInstance(DWORD id, BOOL* state);
    // Appends (instance id, channel id) for every selected instance.
    HRESULT CollectSelectedInstances(std::vector<std::pair<DWORD, WORD>>* selected);
    // Resets the play cursor of every timeline and preview instance of the
    // pattern (kAllPatterns: all).
    void InvalidatePatternInstances(SHORT patternId);
    HRESULT RegisterLoopClip(CPatternInstance* instance);
    // The clips of removed instances that playback must stop.
    const std::vector<DWORD>& GetClipsToStop() const { return m_clipsToStop; }
    bool NeedsClipStates() const { return m_sendClipStates.load(std::memory_order_acquire) != FALSE; }

    // ---- Playback ----
    // The automation pattern ("Automation", endless) and its instance, and
    // the span buffer; E_OUTOFMEMORY. ReleasePlayback: E_UNEXPECTED when
    // there is nothing to release.
    HRESULT InitPlayback();
    HRESULT ReleasePlayback();
    CPattern* GetAutomationPattern() const { return m_automationPattern; }
    // Audio thread: no allocation, no blocking.
    // Seeks every timeline, preview and automation instance to the time and
    // has the loop-clip states sent again; the first failure.
    HRESULT OnLocate(LONG t);

    // Transport start at t: the chase of the timeline and the automation up
    // to t, the stored programs and the held live notes reach the synth;
    // S_FALSE when there is nothing to chase. E_UNEXPECTED without synth.
    // Runs on the thread that changes the transport, under its locks.
    HRESULT OnStart(LONG t);
    // Transport stop: effects and synth stopped, parameters' envelopes
    // reset, then controllers 1 and 64 and the pitch wheel reset on every
    // MIDI channel.
    HRESULT OnStop(LONG t);
    // Playback jumped from the loop end back to the loop start.
    HRESULT OnLoop(LONG loopStart, LONG loopEnd);
    // Audio thread: no allocation, no blocking.
    // The events of [from, to) of the previews (while recording), the
    // timeline and the automation (while playing), through the MIDI-effect
    // chain to the synth. S_FALSE when the channel has nothing to play.
    HRESULT RenderSpan(LONG from, LONG to);
    // Audio thread: no allocation, no blocking.
    // The input queue through the MIDI-effect chain to the synth. A synth
    // busy on another thread (E_PENDING) keeps the chain's output for the
    // next span rather than losing a note-off.
    HRESULT FlushToSynth(LONG from, LONG to);
    // Queues, as direct messages, controller 1 = 0, controller 64 = 0 and
    // the pitch wheel's centre on every MIDI channel.
    HRESULT ResetControllers();
    // Events playback dropped: a span fuller than the span buffer, or a
    // full event queue. Any thread.
    DWORD GetDroppedEvents() const;
    // The step sequencer previews through the MIDI-effect host.
    void SetStepSeqPreview(BOOL on) { m_stepPreview = on ? TRUE : FALSE; }

    // ---- Previews (UI thread; the list changes under the timeline lock) ----
    // An endless instance of the pattern from time 0; a loop-clip pattern's
    // clip is first registered with the synth's clip host for preview.
    HRESULT PreviewPattern(CPattern* pattern);
    // An endless copy, with an id of its own, of the timeline instance;
    // E_UNEXPECTED when no instance has the id.
    HRESULT PreviewPatternInstance(DWORD id);
    // Unregisters the previews' clips and drops every preview.
    HRESULT StopPreviews();
    int GetPreviewCount() const { return static_cast<int>(m_previews.size()); }
    const CPatternInstance* GetPreview(int n) const;

    // ---- Live input ----
    // The held notes the audio thread can enter without allocating.
    static constexpr size_t kHeldNoteCapacity = 256;

    // Any thread: under the live lock. E_FAIL when the queue is full or
    // absent. On the audio thread the lock is only tried: S_FALSE, nothing
    // queued, when it is busy.
    HRESULT QueueLiveEvent(const MfxData& event, BOOL second);
    // The first or second live queue, no reference added; the reader holds
    // the live lock.
    CMfxDataQueue* GetLiveQueue(BOOL second) const { return second ? m_liveQueue2 : m_liveQueue1; }
    CHeapCriticalSection& GetLiveLock() { return m_liveLock; }
    DWORD GetInputPort() const { return m_inputPort; }
    void SetInputPort(DWORD port) { m_inputPort = port; }
    WORD GetInputChannelMask() const { return m_inputChannels; }
    void SetInputChannelMask(WORD mask) { m_inputChannels = mask; }
    DWORD IsArmed() const { return m_armed; }
    void SetArmed(DWORD armed) { m_armed = armed ? 1 : 0; }
    // Exclusive arming disarms every channel first; the document is marked
    // modified and told.
    HRESULT SetArmed(DWORD armed, BOOL exclusive);
    WORD GetMidiChannel() const { return m_midiChannel; }
    void SetMidiChannel(WORD channel) { m_midiChannel = channel & 15; }
    void GetKeyRange(WORD* low, WORD* high) const;
    void SetKeyRange(WORD low, WORD high);
    void GetVelocityRange(WORD* low, WORD* high) const;
    void SetVelocityRange(WORD low, WORD high);
    SHORT GetInputTranspose() const { return m_inputTranspose; }
    // Clamped to -127..127; every held note is released and sounded again
    // at its new pitch.
    void SetInputTranspose(SHORT transpose);

    // One short message (status | data1 << 8 | data2 << 16) from an input
    // port. A note-off of a held note always passes; anything else passes
    // when the channel accepts it. In ReWire-device mode a message from the
    // ReWire port goes into the second live queue stamped with the
    // transport's current tick; anything else into the first at time 0.
    // MIDI input thread, or the audio thread (the ReWire device's worker):
    // there no allocation, no blocking, and a busy lock or a full held-note
    // table drops the message (counted, S_FALSE).
    HRESULT OnMidiInput(DWORD message, DWORD time, DWORD port);
    // Live messages dropped on the audio thread since the channel was made.
    DWORD GetLiveDropCount() const { return m_liveDrops.load(std::memory_order_relaxed); }
    bool AcceptsMidiInput(const CMfxEvent& event, bool isNoteOn, DWORD port);
    // Audio thread: no allocation, no blocking. Drains the first live queue
    // and, in ReWire-device mode, the second through the MIDI-effect chain to
    // the synth; S_FALSE when the live lock is busy (the queues wait for the
    // next buffer). The second queue's ticks become offsets from `time`,
    // the span's start, as the synth takes live events.
    HRESULT ProcessLiveInput(LONG time);
    // Runs the MIDI-effect chain over the first live queue and delivers the
    // result now, under the live lock; S_FALSE while the channel's graph is
    // being rebuilt. Not the audio thread (it waits for the lock).
    HRESULT PumpMfxChain();
    // The step sequencers' shuffle (0.0..1.0); E_INVALIDARG outside it.
    HRESULT SetShuffle(double amount);
    // The held-note map emptied (the document's reset).
    void ClearHeldNotes();
    int GetHeldNoteCount();
    // A port below the open port count, kNoPort or kAnyPort; a MIDI
    // channel 0..15 or kAllPorts (omni). Other values leave the setting.
    HRESULT SetMidiInput(DWORD port, WORD channel);
    HRESULT GetMidiInput(DWORD* port, WORD* channel) const;

    // ---- Direct messages (queued live at time 0; nothing for channel -1;
    // E_FAIL without live queue) ----
    HRESULT SendNoteOn(int channel, int note, int velocity);
    HRESULT SendProgramChange(int channel, int patch);
    // Methods 0 (controllers 0 and 32), 1 (controller 0), 2 (controller 32)
    // and 3 (a program change of bank + 100); nothing for bank -1.
    HRESULT SendBankSelect(int channel, LONG bank, int method);
    // Controllers 101/100 (registered) or 99/98, then 6 and 38;
    // E_INVALIDARG out of range.
    HRESULT SendParameterNumberValue(int channel, int number, int value, BOOL registered);
    // The next (direction >= 1) or previous program of the first synth on the
    // channel's MIDI channel, walking the synth's bank list: past a bank's
    // last patch into the next bank, past the last bank to no program. Sends
    // the bank select (method 0) and program change and stores both in the
    // wrapper; E_UNEXPECTED without a synth.
    HRESULT StepPatch(int direction);
    CMfxChain& GetMfxChain() { return m_mfxChain; }

    // ---- IChannelVectOwner ----
    CHeapCriticalSection* GetSynthOutputLock() override { return &m_synthOutputLock; }
    HRESULT MarkGraphDirty() override;
    HRESULT OnRoutingChanged() override;
    HRESULT BuildOutputParams() override;
    HRESULT RefreshChannelParams() override;
    int GetCurrentOutput() override;
    HRESULT SetCurrentOutput(int output) override;
    HRESULT RegisterAllLoopClips() override;
    CControlParamSet* GetParamSet() override { return this; }
    HRESULT NotifySynthChanged(IUnknown* synthFilter) override;
    HRESULT KeepObjectAlive(IUnknown* object) override { return KeepAlive(object); }
    HRESULT CloseSynthPropertyPage(ISynthWrap* wrap) override;

    // ---- IOutputBranchOwner ----
    SHORT GetChannelId() override { return static_cast<SHORT>(m_id); }
    IUnknown* GetChannelObject(LONG index) override;

    // ---- ITimelineOwner ----
    HRESULT OnInstanceInserted(DWORD instanceId) override;
    HRESULT OnInstanceRemoved(DWORD instanceId, DWORD clipId) override;
    int GetTrackIndex() override;
    ILoopClipHost* GetLoopClipHost() override;

    WORD GetId() const { return m_id; }
    IChannelDocument* GetChannelDocument() const { return m_document; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    // The MIDI-effect chain's view of the channel.
    class MfxOwner final : public IMfxChainOwner {
    public:
        explicit MfxOwner(CChannel* channel) : m_channel(channel) {}
        CString GetDisplayName() override { return m_channel->GetDisplayName(); }
        WORD GetChannelId() override { return m_channel->m_id; }
        IUnknown* GetFirstSynthFilter() override;
        double GetShuffleAmount() override;
        ICommandDocument* GetCommandDocument() override;
        HRESULT CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap) override;
        HRESULT UpdateStepPreview() override;
        HRESULT ShowPropertyPage(IMfxFilterWrap* wrap, HWND parent) override;
        HRESULT ClosePropertyPage(IMfxFilterWrap* wrap) override;
        CHeapCriticalSection* GetChainLock() override { return &m_channel->m_synthOutputLock; }

    private:
        CChannel* m_channel;
    };

    CChannel(IChannelDocument* document, WORD id);
    ~CChannel() override;

    // The output and local index of a channel-group id; false outside it.
    bool ChannelLocal(DWORD id, int* output, DWORD* local) const;
    // Native value of a parameter from its normalised value.
    static float Native(const MP_PARAMINFO& info, float value);
    HRESULT CreateBranches(int count);
    HRESULT PersistChunk0(CKelPersistArchive* archive);
    HRESULT PersistChunk1(CKelPersistArchive* archive);
    HRESULT PersistOutputValues(CKelPersistArchive* archive, int output);
    HRESULT SetRCRegistered(BOOL registered);
    CString TrackName() const;
    ISynthPlayer* Player() const;
    // Trigger events of the loop-clip instances that enter the span, and
    // after a start, stop, loop, locate or removal the full set (stops of
    // removed clips, state 0 of those outside the span). Audio thread: no
    // allocation, no blocking (S_FALSE while an edit holds the timeline).
    HRESULT UpdateLoopClipStates(LONG from, LONG to);
    // Room for a trigger state per instance of the timeline. UI thread.
    void ReserveClipStates();
    // Both clip switches of the synth from the transport's state.
    void UpdateClipSwitches();
    // The recorded automation points waiting in the parameter table go to
    // the plug-ins their parameters belong to, after what those already hold
    // up to the span's start; the waiting lists are emptied. E_INVALIDARG for
    // points of an unknown parameter. Audio thread: no allocation, no
    // blocking (an edit holding the table defers them to the next span).
    HRESULT SendPendingEnvelopes(LONG from);
    // The queue through the MIDI-effect chain's live processing to the
    // synth, then emptied; the chain may swap it with the live output
    // buffer. Caller holds the live lock; no allocation.
    HRESULT DrainLiveQueue(CMfxDataQueue*& queue);
    // Hands the chain's live output to the synth; what the synth cannot
    // take on the audio thread is dropped and counted.
    HRESULT DeliverLiveOutput(ISynthPlayer* player);
    // Empties the span buffer; the data blocks its events name stay with the
    // block ring. Audio thread: no allocation, no blocking.
    void ClearSpan();
    // Into the input queue, the activity meter lit; a full queue drops it.
    void QueueEvent(const CMfxEvent& event);
    // An automation event of the span: applied to its parameter, or turned
    // into the controller event it targets (true: queue `event`).
    bool ConvertAutomation(CMfxEvent& event);
    // The stored program of the MIDI channel, when there is one.
    bool HasStoredProgram(int midiChannel);
    // The patch event is the program stored for its MIDI channel.
    bool IsStoredProgram(const CMfxEvent& event);
    // A short message into the first live queue (or the second, stamped).
    HRESULT QueueShortMessage(DWORD message, BOOL second = FALSE, DWORD time = 0);
    // The second queue's ticks made offsets from the span's start, in the
    // live output buffer, which then changes places with the queue. Caller
    // holds the live lock; no allocation.
    void RebaseLiveQueue(CMfxDataQueue*& queue, LONG spanTick);
    using HeldNotes = std::vector<std::pair<DWORD, CNoteInfo>>;
    // Where the key's note is or would go; the held note of the key, or
    // the end. Caller holds the held-note lock.
    HeldNotes::iterator HeldNotePlace(DWORD key);
    HeldNotes::iterator FindHeldNote(DWORD key);
    // Caller holds the held-note lock. False, nothing entered, when the
    // audio thread would have to grow the table.
    bool EnterHeldNote(DWORD key, const CNoteInfo& info, bool audio);

    // In the order the channel keeps them.
    CTimeline m_timeline;
    std::vector<CPatternInstance> m_previews;
    std::vector<CMfxEvent> m_span;
    // Copies of the span's system-exclusive and text data.
    CMfxBlockRing m_spanBlocks;
    CPattern* m_automationPattern = nullptr;
    CPatternInstance* m_automationInstance = nullptr;
    WORD m_id;
    CString m_displayNameCache;
    CSynthVect<ISynthWrap*> m_synths;
    BOOL m_graphChanged = TRUE;
    BOOL m_graphObjects = FALSE;
    CHeapCriticalSection m_synthOutputLock;
    WORD m_inputChannels = kAllPorts;
    DWORD m_inputPort = kAnyPort;
    DWORD m_armed = 0;
    CMfxDataQueue* m_liveQueue1 = nullptr;
    CMfxDataQueue* m_liveQueue2 = nullptr;
    CMfxDataQueue* m_liveOutput = nullptr;
    MfxOwner m_mfxOwner;
    CMfxChain m_mfxChain;
    // Loop-clip instance id and the last trigger state sent; room is made on
    // the UI thread, so the audio thread never allocates.
    std::vector<std::pair<DWORD, DWORD>> m_loopClipStates;
    std::vector<DWORD> m_clipsToStop;
    // Sorted by key; room for kHeldNoteCapacity made up front.
    HeldNotes m_heldNotes;
    CHeapCriticalSection m_liveLock;
    WORD m_midiChannel = 0;
    COutputVect<COutputBranch*> m_outputs;
    DWORD m_currentOutput = 0;
    WORD m_keyLow = 0;
    WORD m_keyHigh = 127;
    WORD m_velocityLow = 0;
    WORD m_velocityHigh = 127;
    SHORT m_inputTranspose = 0;
    // Set by the UI thread (instance removal) and the transport's thread,
    // taken by the audio thread.
    std::atomic<BOOL> m_sendClipStates{FALSE};
    // The output queue holds events the synth could not take yet.
    bool m_synthOwed = false;
    IChannelDocument* m_document;
    CMfxEventQueue* m_inputQueue = nullptr;
    CMfxEventQueue* m_outputQueue = nullptr;
    CChaseSet m_chase;
    BOOL m_stepPreview = FALSE;
    std::atomic<DWORD> m_spanDrops{0};
    std::atomic<DWORD> m_liveDrops{0};
    // Guards the held notes; the audio thread only tries it.
    CHeapCriticalSection m_heldLock;
};
