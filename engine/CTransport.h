// The engine owner: the one process-wide object that builds the audio engine
// at start-up, owns its parts for the whole run and tears them down at exit.
// It keeps the transport state (playing, record and play modes, song
// position, loop range, metronome and count-in), selects, opens and resets
// the audio device, answers every device buffer (ProcessBuffer), collects
// engine error texts for the main window and saves two chunks of its own in
// the project file.
//
// Locks, always taken in this order: the transport lock, the processing
// lock, the audio renderer's lock. The audio thread only tries them
// (ProcessBuffer); the UI thread enters them. Both critical sections are
// recursive, so Play may Locate and Locate may re-seek while holding them.
//
// Threads: the open back-end's thread calls ProcessBuffer; the ReWire-device
// worker also calls Stop, Play and Locate with the host-call counter raised;
// the UI thread calls everything else. Getters of flags and positions may be
// called from any thread. Checked builds assert the UI thread where it is
// the only caller, and the audio thread at ProcessBuffer.
//
// Its parts: the back-ends and their format (CAudioDeviceSelector), the loop
// values (CLoopState), where a buffer is cut (CSegmentPlanner) and the
// layout of its two chunks (CTransportChunks).
#pragma once

#include <atomic>
#include <vector>

#include "devices/IEngineOwner.h"
#include "devices/IMidiSyncHost.h"
#include "engine/CMidiClockTimer.h"
#include "engine/CAudioDeviceSelector.h"
#include "engine/CEngineServices.h"
#include "engine/CLoopState.h"
#include "engine/CTimeKeeper.h"
#include "engine/IDocumentEngine.h"
#include "engine/IEngineShell.h"
#include "engine/IMfxSiteEngine.h"
#include "model/CKelPersistObject.h"
#include "platform/win/CString.h"
#include "uikit/core/CHeapCriticalSection.h"

class CAudioReferenceClock;
class CAudioRenderer;
class CDxFilterGraph;
class CTimer;
class IAudioDevice;
class IClipPoolLimits;
class IDataRenderer;
class IEngineFactory;
class IEngineShell;
class IMidiInputRouter;
class IMidiSource;
class IMidiSyncGen;
class IRewireDevice;
class ITransportClipboard;
class ITransportDocument;
class ITransportRecorder;
struct IMfxHostSite;
struct IMfxMeterMap;
struct IMfxTimeConverter;
struct IReferenceClock;

// Raised (InterlockedIncrement) by the ReWire-device back-end around every
// transport change it makes for the host, and lowered after. While it is
// above 0 the engine owner acts locally and sends nothing back to the host.
// Read with a plain load.
inline LONG g_hostCallCount = 0;

class CTransport : public CKelPersistObject,
                   public ITimeKeeperSite,
                   public IEngineOwner,
                   public IMidiSyncHost,
                   public IDocumentEngine,
                   public IMfxSiteEngine {
public:
    using SleepFunction = void (*)(DWORD milliseconds);

    static constexpr WORD kMajor = 0x6018;
    static constexpr LONG kMinLoopTicks = CLoopState::kMinLoopTicks;
    static constexpr LONG kDefaultLoopEnd = CLoopState::kDefaultLoopEnd;
    // Posted to the main window when the transport changed the loop range.
    static constexpr UINT kLoopChangedMessage = WM_APP + 7;

    // Driver types of the settings table.
    static constexpr int kDriverWDM = CAudioDeviceSelector::kDriverWDM;
    static constexpr int kDriverDirectSound = CAudioDeviceSelector::kDriverDirectSound;
    static constexpr int kDriverAsio = CAudioDeviceSelector::kDriverAsio;

    // `factory` makes the engine's parts (null: the program's own); `sleep`
    // is how the audio thread waits when the engine is overloaded.
    explicit CTransport(IEngineFactory* factory = nullptr, SleepFunction sleep = nullptr);
    // Shuts down what is still built.
    ~CTransport() override;
    CTransport(const CTransport&) = delete;
    CTransport& operator=(const CTransport&) = delete;

    // ---- Life cycle ----
    // Builds the engine: timer service, time keeper, audio renderer, reference
    // clock, data renderer, MIDI input router, MIDI source, MIDI sync
    // generator, filter graph, MIDI-effect host site, recorder, clipboards,
    // clip pool, then the back-ends, each probed by opening and closing it.
    // E_OUTOFMEMORY for a part that cannot be made, a failing call's HRESULT,
    // E_UNEXPECTED when no back-end survives the probe (or when the engine is
    // already built); what was built stays for Shutdown.
    HRESULT Init(BOOL rewireDeviceMode);
    // Deletes everything Init made, back-ends first. Goes on past a failing
    // step and returns the first failure.
    HRESULT Shutdown();
    // Null detaches (closing the running device first). Attaching the first
    // document resets loop and metronome and requests an audio reset.
    HRESULT SetDocument(ITransportDocument* document) override;
    // E_INVALIDARG for null, E_UNEXPECTED before Init.
    HRESULT SetOwnerWindow(HWND window);
    // The splash and main window; null shows and posts nothing.
    void SetShell(IEngineShell* shell) { m_shell = shell; }
    // Through the shell; nothing without one.
    void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (m_shell != nullptr)
            m_shell->PostToMainWindow(message, wParam, lParam);
    }

    // ---- Getters (no reference taken unless said) ----
    CTimer* GetTimer() const { return m_timer; }
    CTimeKeeper* GetTimeKeeper() const { return m_timeKeeper; }
    CAudioRenderer* GetAudioRenderer() const { return m_audioRenderer; }
    IDataRenderer* GetDataRenderer() const { return m_dataRenderer; }
    IMidiInputRouter* GetMidiInputRouter() const override { return m_midiInputRouter; }
    IMidiSource* GetMidiSource() const override { return m_midiSource; }
    CDxFilterGraph* GetFilterGraph() const override { return m_filterGraph; }
    IMidiSyncGen* GetMidiSyncGen() const override { return m_midiSyncGen; }
    // The current back-end, null when none is usable.
    IAudioDevice* GetAudioDriver() const { return m_devices.GetCurrent(); }
    IMfxHostSite* GetMfxHostSite() const override { return m_hostSite; }
    ITransportRecorder* GetRecorder() const { return m_recorder; }
    ITransportClipboard* GetClipboard() const { return m_clipboard; }
    ITransportClipboard* GetDragDropClipboard() const { return m_dragDropClipboard; }
    // The loop-clip pool, null before Init and after Shutdown.
    IClipPool* GetClipPool() const;
    // The back-end of a driver type, null when it is not there.
    IAudioDevice* GetBackEnd(int driverType) const;
    IRewireDevice* GetRewireDevice() const { return m_devices.GetRewire(); }
    // With a reference added; null when there is no clock.
    HRESULT GetReferenceClock(IReferenceClock** clock);
    // E_POINTER for null, E_FAIL without a document.
    HRESULT GetDocument(ITransportDocument** document);
    // The ReWire host's rate in ReWire-device mode, else the engine's.
    // Audio thread: no allocation, no blocking.
    int GetSampleRate();
    LONG GetNowTicks(BOOL live) override;
    LONGLONG GetDeviceTime(BOOL live);
    float GetCpuLoad();
    BOOL IsInitialized() const { return m_initialized; }
    BOOL IsRewireDeviceMode() const { return m_rewireDeviceMode; }
    DWORD GetRecordMode() const override { return m_recordMode; }
    LONG GetPlayMode() const override { return m_playMode; }
    LONG GetRenderPosition() const { return m_renderPosition; }
    LONG GetLatency() const { return m_devices.GetLatency(); }
    unsigned short GetBitsPerSample() const { return m_devices.GetBitsPerSample(); }
    unsigned short Get24BitMode() const { return m_devices.Get24BitMode(); }
    BOOL IsDeviceRunning() const { return m_devices.IsRunning(); }
    // 0 none, 1 staged, 2 committed in ReWire-device mode.
    LONG GetLoopChangePending() const { return m_loop.GetChangePending(); }
    CHeapCriticalSection& GetTransportLock() { return m_transportLock; }
    CHeapCriticalSection& GetProcessingLock() { return m_processingLock; }

    // ---- Transport ----
    HRESULT Play() override;
    HRESULT Stop() override;
    HRESULT Locate(LONG tick) override;
    // Locate(0), returning only a failure.
    HRESULT RewindToZero();
    HRESULT ToggleRecord();
    // Bit 0: recording. Entering a record mode while stopped saves the play
    // position; leaving it restores it.
    HRESULT SetRecordMode(DWORD bits) override;
    HRESULT SetPlayMode(LONG flag) override;
    // Moves the renderer, the time keeper and the data renderer to the tick.
    HRESULT SetPosition(LONG tick);
    // Stops the graph, re-seeks everything to the play position, prepares
    // the renderer and runs the graph again, under all three locks.
    HRESULT ResyncEngine() override;

    // ---- Loop ----
    // The stored values, or the staged ones when asked and a change is
    // staged. The stored end is never less than start + 960.
    // Audio thread: no allocation, no blocking (these three).
    bool IsLoopOn(bool usePending) override;
    LONG GetLoopStart(bool usePending);
    LONG GetLoopEnd(bool usePending);
    HRESULT SetLoopOn(BOOL on, BOOL restart);
    HRESULT SetLoopStart(LONG tick, BOOL restart);
    HRESULT SetLoopEnd(LONG tick, BOOL restart);
    HRESULT SetLoop(LONG start, LONG end, BOOL on);
    HRESULT SetPendingLoopStart(LONG tick);
    HRESULT SetPendingLoopEnd(LONG tick);
    HRESULT SetPendingLoop(LONG start, LONG end, BOOL on);
    // S_FALSE when nothing is staged.
    HRESULT CommitPendingLoop();
    HRESULT CancelPendingLoop();
    // The stored loop start and end in samples. E_POINTER, E_FAIL without a
    // host site. Audio thread: no allocation, no blocking.
    HRESULT GetLoopTimes(LONGLONG* startSamples, LONGLONG* endSamples) override;
    // With the processing lock held: clears the staged mark, tells the graph
    // and posts the loop change to the main window.
    void NotifyLoopChanged();
    // While playing a loop with the play position outside it: Locate(loop
    // start) and true.
    bool WrapIfPastLoop();

    // ---- Metronome and count-in ----
    void SetMetronomeOn(BOOL on);
    BOOL IsMetronomeOn() const { return m_metronomeOn; }
    void SetCountInOn(BOOL on) { m_countInOn = on ? 1 : 0; }
    BOOL IsCountInOn() const { return m_countInOn; }
    void SetCountInBeats(BYTE beats) { m_countInBeats = beats; }
    BYTE GetCountInBeats() const { return static_cast<BYTE>(m_countInBeats.load()); }

    // ---- Device ----
    HRESULT RequestAudioReset() override;
    // S_OK when a reset is requested or the document's graph is dirty;
    // S_FALSE otherwise and when the transport lock is busy; E_UNEXPECTED
    // without a document.
    // Audio thread: no allocation, no blocking (it only tries the lock).
    HRESULT NeedsAudioReset();
    // Re-reads the audio settings and reopens the device when a reset is
    // requested (a device that opens at another rate or block length has the
    // whole graph connected again); rebuilds a dirty graph. S_FALSE when a
    // lock is busy.
    HRESULT ApplyAudioReset();
    // Switches to the back-end of the configured driver type and opens it.
    // E_UNEXPECTED, nothing changed, when that back-end is not there.
    HRESULT SelectAudioDriver();
    // Opens, formats, sizes and starts the current back-end; the latency it
    // gives in ms (-1 until it is known).
    HRESULT OpenAudioDevice(int* latencyMs);
    HRESULT CloseAudioDevice();

    // ---- Offline rendering ----
    // A file-writing device takes the sound card's place: the running device
    // is closed and the engine reset to the device's rate, format and block
    // length (floats when floatOutput, else the integer layout of bits and
    // mode24), just as a reset opens a sound card; the device then calls
    // ProcessBuffer as a back-end does, and no overload guard sleeps.
    // E_UNEXPECTED without a document or in ReWire-device mode, or when an
    // offline render runs already; the reset's failure, after which the
    // render is ended again.
    HRESULT BeginOfflineRender(IAudioDevice* device, int rate, unsigned short bits, unsigned short mode24,
                               bool floatOutput, int blockFrames);
    // Stops playback, lets the device go and asks for an audio reset, which
    // reopens the sound card with the user's settings.
    HRESULT EndOfflineRender();
    bool IsOfflineRender() const { return m_devices.IsOffline(); }

    // ---- Engine errors ----
    void AddEngineError(const char* text) override;
    HRESULT GetEngineErrors(std::vector<CString>* errors);
    void ClearEngineErrors();

    // ---- Per buffer ----
    // Renders one device buffer: try-locks the transport, processing and
    // renderer locks in this order and writes silence when one is busy, when
    // there is no document, when a reset is due or the graph is dirty; splits
    // the buffer at the loop end and at the end of a count-in; drives the
    // data renderer and the recorder; keeps the time keeper and the load.
    // On a failure the rest of the buffer is silence.
    // Audio thread: no allocation, no blocking on a lock. One wait by design:
    // when the measured load is above 1.01 outside ReWire-device mode, the
    // thread sleeps a tenth of the configured latency (at least 1 ms) before
    // each segment, with the three locks held, so that an overloaded engine
    // gives the machine back some time. In ReWire-device mode the host paces
    // the calls and it never sleeps.
    HRESULT ProcessBuffer(void* out, void* in, UINT outBytes, LONG frames) override;

    // ---- Persistence: chunk 0 transport state, chunk 1 metronome and sync ----
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    // ---- ITimeKeeperSite ----
    bool IsPlaying() override { return m_playing != 0; }

    // IMidiSyncHost: the live position, the play state and the program's
    // timer for the MIDI sync clock.
    LONG GetSyncNowTicks() override { return GetNowTicks(TRUE); }
    bool IsSyncPlaying() override { return m_playing != 0; }
    HRESULT ScheduleClockTick(IMidiClockTick* tick, bool on) override;
    bool IsCountInActive() override { return m_countInActive != 0; }
    LONG GetPlayPosition() override { return m_playPosition; }
    IAudioProperties* GetAudioProperties() override;
    // Audio thread: no allocation, no blocking (both conversions).
    HRESULT SamplesToTicks(LONGLONG samples, LONG* ticks) override;
    HRESULT TicksToSamples(LONG ticks, LONGLONG* samples);

    // IMfxSiteEngine: the host site's pulse registers with the engine's timer
    // service and converts at the engine's rate.
    CTimer* GetSiteTimer() override { return m_timer; }
    // Audio thread: no allocation, no blocking.
    int GetSiteSampleRate() override { return GetSampleRate(); }

private:
    HRESULT BuildEngine();
    void ShowProgress(UINT textId);
    HRESULT RestartAfterLoopChange(BOOL restart, bool requireLoopOn);
    HRESULT SendLoopToHost(LONG start, LONG end, BOOL on);
    bool HostCallActive() const;
    // Audio thread: no allocation, no blocking (these six; the load guard's
    // sleep in RenderSegments is the one wait the design asks for, as
    // ProcessBuffer says).
    bool FixedTempoAfterLoopStart();
    // Where the running count-in ends: its beats of the meter at tick 0 from
    // the play position, in samples.
    HRESULT CountInEndSamples(LONGLONG* samples);
    // The count-in is over: the song and the data renderer start from the
    // play position, whose sample time goes to `samplePos`.
    HRESULT EndCountIn(LONGLONG* samplePos);
    // The loop wraps: the live tempo is re-applied, the loop re-read in
    // samples, the render position goes to the loop start (and the data
    // renderer restarts there under a fixed tempo).
    HRESULT WrapLoop(ITransportDocument* doc, bool fixedTempo, LONGLONG* loopStart, LONGLONG* loopEnd);
    // What the song's partners hear of one segment: the cursors and the
    // recorder after a jump, the live-input span, and while playing past the
    // count-in the rendered ticks (and the loop, when the segment ends there).
    HRESULT DriveSongSpan(ITransportDocument* doc, LONG startTick, bool playing, bool wrapped, bool fixedTempo,
                          bool endsAtLoopEnd);
    HRESULT RenderSegments(BYTE* out, BYTE* in, UINT outBytes, LONG frames);
    HRESULT PersistTransportState(CKelPersistArchive* archive);
    HRESULT PersistMetronome(CKelPersistArchive* archive);

    IEngineFactory* m_factory;
    SleepFunction m_sleep;
    IEngineShell* m_shell = nullptr;

    CTimer* m_timer = nullptr;
    CMidiClockTimer m_clockTimer;
    CTimeKeeper* m_timeKeeper = nullptr;
    CAudioDeviceSelector m_devices;
    CAudioRenderer* m_audioRenderer = nullptr;
    CAudioReferenceClock* m_referenceClock = nullptr;
    IDataRenderer* m_dataRenderer = nullptr;
    IMidiInputRouter* m_midiInputRouter = nullptr;
    IMidiSource* m_midiSource = nullptr;
    IMidiSyncGen* m_midiSyncGen = nullptr;
    CDxFilterGraph* m_filterGraph = nullptr;
    std::atomic<ITransportDocument*> m_document{nullptr};
    IMfxHostSite* m_hostSite = nullptr;
    IMfxTimeConverter* m_timeConverter = nullptr;
    IMfxMeterMap* m_meterMap = nullptr;
    ITransportRecorder* m_recorder = nullptr;
    ITransportClipboard* m_clipboard = nullptr;
    ITransportClipboard* m_dragDropClipboard = nullptr;
    IClipPoolLimits* m_clipPool = nullptr;
    // What model code reaches of the engine, registered while the pool lives.
    CEngineServices m_services{*this};

    BOOL m_initialized = FALSE;
    std::atomic<LONG> m_playing{0};
    BOOL m_rewireDeviceMode = FALSE;
    CLoopState m_loop;
    std::atomic<LONG> m_renderPosition{0};
    std::atomic<LONG> m_playPosition{0};
    LONG m_savedPosition = 0;
    std::atomic<DWORD> m_recordMode{0};
    std::atomic<LONG> m_playMode{0};
    std::atomic<LONG> m_resetRequested{1};
    // Prepare of the audio renderer succeeded for the current document.
    std::atomic<bool> m_rendererPrepared{false};
    CHeapCriticalSection m_transportLock;
    CHeapCriticalSection m_processingLock;
    std::atomic<LONG> m_metronomeOn{0};
    std::atomic<LONG> m_countInOn{0};
    std::atomic<LONG> m_countInBeats{0};
    std::atomic<LONG> m_countInActive{0};
    // The device takes floats (the ReWire host, an offline float render).
    std::atomic<bool> m_floatOutput{false};
    std::vector<CString> m_engineErrors;
};

// ReportAudioDeviceErrors(device), which shows a back-end's errors, comes
// with CAudioDeviceSelector.h.
