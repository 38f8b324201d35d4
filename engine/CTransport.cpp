#include "engine/CTransport.h"

#include <algorithm>
#include <cstring>

#include "devices/CAppConfig.h"
#include "devices/CAudioReferenceClock.h"
#include "devices/CAudioRenderer.h"
#include "devices/IAudioDevice.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/CEngineFactory.h"
#include "engine/CSegmentPlanner.h"
#include "engine/CTransportChunks.h"
#include "engine/CTimer.h"
#include "engine/IClipPoolLimits.h"
#include "engine/IDataRenderer.h"
#include "engine/IEngineFactory.h"
#include "engine/IEngineShell.h"
#include "engine/IMfxHostSite.h"
#include "engine/IMfxMeterMap.h"
#include "engine/IMfxTimeConverter.h"
#include "devices/IMidiInputRouter.h"
#include "devices/IMidiSource.h"
#include "devices/IMidiSyncGen.h"
#include "devices/IRewireDevice.h"
#include "engine/ITransportClipboard.h"
#include "engine/ITransportDocument.h"
#include "engine/ITransportRecorder.h"
#include "model/CHeapLockGuard.h"
#include "model/CKelPersistArchive.h"
#include "model/CTempoMap.h"
#include "model/IEngineServices.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/sync/Time.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr UINT kTimerPeriodMs = 10;
constexpr LONG kClipBeatLimit = 256;
constexpr double kClipSecondsLimit = 60.0;
constexpr float kLoadGuardThreshold = 1.01f;
constexpr LONG kTicksPerWholeNote = 3840;
constexpr CHeapLockGuard::TryOnly kTry{};

// The data renderer's locate, stop and start reach the channels' and buses'
// playback state, which belongs to the audio thread. The engine owner makes
// them with its transport lock held, where no buffer can be rendered, so the
// calling thread stands in for the audio thread meanwhile.
template <class Call>
HRESULT AsRenderer(Call call)
{
    mv::ScopedThreadRole role(mv::ThreadRole::Audio);
    return call();
}

// Every part of the engine a program without a factory of its own uses.
CEngineFactory g_engineFactory;

template <class T>
void DeleteAndClear(T*& p)
{
    delete p;
    p = nullptr;
}

template <class T>
void ReleaseAndClear(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

// Zeroes `bytes` of the device buffer from `p`: silence in every integer
// layout and in float.
// Audio thread: no allocation, no blocking.
void Silence(void* p, std::size_t bytes)
{
    if (p && bytes > 0)
        std::memset(p, 0, bytes);
}

// One conversion through the MIDI-effect host site's converter.
// Audio thread: no allocation, no blocking.
template <class From, class To>
HRESULT ConvertMfxTime(IMfxTimeConverter* converter, DWORD fromFormat, From MFX_TIME::*fromField, From value,
                       DWORD toFormat, To MFX_TIME::*toField, To* result)
{
    if (!result)
        return E_POINTER;
    if (!converter)
        return E_FAIL;
    MFX_TIME time{};
    time.format = fromFormat;
    time.*fromField = value;
    HRESULT hr = converter->ConvertTime(&time, toFormat);
    if (FAILED(hr))
        return hr;
    *result = time.*toField;
    return S_OK;
}

void KeepFirstFailure(HRESULT& first, HRESULT hr)
{
    if (FAILED(hr) && SUCCEEDED(first))
        first = hr;
}

}  // namespace

CTransport::CTransport(IEngineFactory* factory, SleepFunction sleep)
    : CKelPersistObject(MakeKelVersionWord(kMajor, 1)),
      m_factory(factory ? factory : &g_engineFactory),
      m_sleep(sleep ? sleep : ::Sleep)
{
}

CTransport::~CTransport()
{
    if (m_timer)
        Shutdown();
}

// ---------------------------------------------------------------- life cycle

void CTransport::ShowProgress(UINT textId)
{
    if (m_shell)
        m_shell->SetStatusText(LoadResString(textId));
}

HRESULT CTransport::Init(BOOL rewireDeviceMode)
{
    MV_ASSERT_UI_THREAD();
    // A second start over a built engine would lose the parts it holds.
    if (m_timer)
        return E_UNEXPECTED;
    m_rewireDeviceMode = rewireDeviceMode ? TRUE : FALSE;
    HRESULT hr = BuildEngine();
    if (FAILED(hr))
        return hr;
    if (m_rewireDeviceMode) {
        IRewireDevice* rewire = m_factory->CreateRewireDevice(this);
        if (!rewire)
            return E_OUTOFMEMORY;
        m_devices.AdoptRewire(rewire);
        ShowProgress(IDS_INIT_REWIRE);
        if (FAILED(hr = m_devices.Open(rewire)))
            return hr;
    } else if (FAILED(hr = m_devices.Probe(m_factory, this, m_shell))) {
        return hr;
    }
    m_initialized = TRUE;
    return S_OK;
}

HRESULT CTransport::BuildEngine()
{
    ShowProgress(IDS_INIT_TRANSPORT);
    if (!(m_timer = m_factory->CreateTimer(kTimerPeriodMs)))
        return E_OUTOFMEMORY;
    if (!(m_timeKeeper = m_factory->CreateTimeKeeper(this)))
        return E_OUTOFMEMORY;
    HRESULT hr = m_timeKeeper->Init();
    if (FAILED(hr))
        return hr;

    if (!(m_audioRenderer = m_factory->CreateAudioRenderer()))
        return E_OUTOFMEMORY;
    hr = S_OK;
    m_referenceClock = m_factory->CreateReferenceClock(m_audioRenderer, &hr);
    if (m_referenceClock)
        m_referenceClock->AddRef();
    if (FAILED(hr))
        return hr;
    if (!m_referenceClock)
        return E_OUTOFMEMORY;
    if (!(m_dataRenderer = m_factory->CreateDataRenderer()))
        return E_OUTOFMEMORY;
    if (!(m_midiInputRouter = m_factory->CreateMidiInputRouter(this)))
        return E_OUTOFMEMORY;
    if (!(m_midiSource = m_factory->CreateMidiSource()))
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_midiSource->Init()))
        return hr;
    if (FAILED(hr = m_midiSource->AddPrioritySink(m_midiInputRouter->GetMidiSink())))
        return hr;

    if (!(m_midiSyncGen = m_factory->CreateMidiSyncGen(this)))
        return E_OUTOFMEMORY;
    // The sync options are the user's; a port this machine does not have
    // leaves the generator silent rather than the engine unbuilt.
    m_midiSyncGen->SetOutputPort(CAppConfig::GetMidiSyncOutputPort());
    m_midiSyncGen->SetStartNeverContinue(CAppConfig::GetSendMidiStartNeverContinue());
    m_midiSyncGen->SetSendSPP(CAppConfig::GetSendMidiSPP());

    ShowProgress(IDS_INIT_FILTER_GRAPH);
    hr = S_OK;
    m_filterGraph = m_factory->CreateFilterGraph(&hr);
    if (FAILED(hr))
        return hr;
    if (!m_filterGraph)
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_filterGraph->SetSyncSource(m_referenceClock)))
        return hr;

    if (FAILED(hr = m_factory->CreateMfxHostSite(this, &m_hostSite)))
        return hr;
    if (!m_hostSite)
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_hostSite->QueryInterface(IID_IMfxTimeConverter, reinterpret_cast<void**>(&m_timeConverter))))
        return hr;
    if (FAILED(hr = m_hostSite->QueryInterface(IID_IMfxMeterMap, reinterpret_cast<void**>(&m_meterMap))))
        return hr;
    if (!(m_recorder = m_factory->CreateRecorder()))
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_midiSource->AddSink(m_recorder->GetMidiSink())))
        return hr;
    if (!(m_clipboard = m_factory->CreateClipboard()))
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_clipboard->CreateHeldPattern()))
        return hr;
    if (!(m_dragDropClipboard = m_factory->CreateDragAndDropClipboard()))
        return E_OUTOFMEMORY;
    if (FAILED(hr = m_dragDropClipboard->CreateHeldPattern()))
        return hr;
    if (!(m_clipPool = m_factory->CreateClipPool()))
        return E_OUTOFMEMORY;
    m_clipPool->SetLimits(kClipBeatLimit, kClipSecondsLimit);
    // Pattern playback asks the recorder whether a take runs on a pattern; a
    // recorder that cannot answer is asked nothing.
    m_services.SetRecorder(dynamic_cast<IRecorder*>(m_recorder));
    SetEngineServices(&m_services);
    m_resetRequested = 1;
    return S_OK;
}

HRESULT CTransport::Shutdown()
{
    MV_ASSERT_UI_THREAD();
    HRESULT first = S_OK;
    // The back-ends first: their threads call back into the parts below.
    m_devices.DeleteAll();

    ReleaseAndClear(m_timeConverter);
    ReleaseAndClear(m_meterMap);
    ReleaseAndClear(m_hostSite);
    DeleteAndClear(m_clipboard);
    DeleteAndClear(m_dragDropClipboard);
    // Model code stops finding the pool before it goes.
    if (GetEngineServices() == &m_services)
        SetEngineServices(nullptr);
    m_services.SetRecorder(nullptr);
    DeleteAndClear(m_clipPool);
    if (m_recorder) {
        if (m_midiSource)
            KeepFirstFailure(first, m_midiSource->RemoveSink(m_recorder->GetMidiSink()));
        DeleteAndClear(m_recorder);
    }
    DeleteAndClear(m_filterGraph);
    ReleaseAndClear(m_referenceClock);
    if (m_midiSource && m_midiInputRouter)
        KeepFirstFailure(first, m_midiSource->RemovePrioritySink(m_midiInputRouter->GetMidiSink()));
    DeleteAndClear(m_midiSource);
    DeleteAndClear(m_midiSyncGen);
    DeleteAndClear(m_midiInputRouter);
    DeleteAndClear(m_dataRenderer);
    DeleteAndClear(m_audioRenderer);
    DeleteAndClear(m_timeKeeper);
    DeleteAndClear(m_timer);
    m_factory->DestroyAsioDriverList();
    m_rendererPrepared = false;
    m_initialized = FALSE;
    return first;
}

HRESULT CTransport::SetDocument(ITransportDocument* document)
{
    MV_ASSERT_UI_THREAD();
    ITransportDocument* const previous = m_document;
    if (previous && !document) {
        HRESULT hr = CloseAudioDevice();
        if (FAILED(hr))
            return hr;
    }
    {
        CHeapLockGuard transport(m_transportLock);
        if (!m_audioRenderer || !m_dataRenderer)
            return E_UNEXPECTED;
        m_audioRenderer->SetDocument(document ? document->GetRenderDocument() : nullptr);
        m_rendererPrepared = false;
        m_dataRenderer->SetDocument(document);
        if (m_hostSite)
            m_hostSite->SetDocument(document);
        if (m_recorder)
            m_recorder->SetDocument(document);
        if (m_clipboard)
            m_clipboard->SetSource(document);
        if (m_dragDropClipboard)
            m_dragDropClipboard->SetSource(document);
        if (m_midiSyncGen)
            m_midiSyncGen->Restart(document);
        m_document = document;
    }
    if (!previous && document) {
        m_resetRequested = 1;
        {
            CHeapLockGuard processing(m_processingLock);
            m_loop.Set(0, kDefaultLoopEnd, FALSE);
            NotifyLoopChanged();
        }
        SetMetronomeOn(FALSE);
    }
    return S_OK;
}

HRESULT CTransport::SetOwnerWindow(HWND window)
{
    MV_ASSERT_UI_THREAD();
    if (!window)
        return E_INVALIDARG;
    if (!m_initialized)
        return E_UNEXPECTED;
    m_devices.SetWindow(window);
    return S_OK;
}

// ---------------------------------------------------------------- getters

IAudioDevice* CTransport::GetBackEnd(int driverType) const { return m_devices.GetBackEnd(driverType); }

HRESULT CTransport::GetReferenceClock(IReferenceClock** clock)
{
    if (!clock)
        return E_POINTER;
    *clock = nullptr;
    if (!m_referenceClock)
        return S_OK;
    return m_referenceClock->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(clock));
}

HRESULT CTransport::GetDocument(ITransportDocument** document)
{
    if (!document)
        return E_POINTER;
    *document = m_document;
    return *document ? S_OK : E_FAIL;
}

IClipPool* CTransport::GetClipPool() const { return m_clipPool ? m_clipPool->GetClipPool() : nullptr; }

int CTransport::GetSampleRate()
{
    IRewireDevice* rewire = m_devices.GetRewire();
    if (m_rewireDeviceMode && rewire)
        return rewire->GetSampleRate();
    return m_devices.GetSampleRate();
}

HRESULT CTransport::ScheduleClockTick(IMidiClockTick* tick, bool on)
{
    if (!m_timer)
        return on ? E_UNEXPECTED : S_FALSE;
    if (!on) {
        const HRESULT hr = m_timer->SetClientInterval(&m_clockTimer, 0);
        m_clockTimer.SetTick(nullptr);  // waits for a tick in progress
        return FAILED(hr) ? hr : S_OK;
    }
    m_clockTimer.SetTick(tick);
    return m_timer->SetClientInterval(&m_clockTimer, m_timer->GetPeriod());
}

LONG CTransport::GetNowTicks(BOOL live)
{
    return m_timeKeeper ? m_timeKeeper->GetNowTicks(live != FALSE) : m_playPosition.load();
}

LONGLONG CTransport::GetDeviceTime(BOOL live) { return m_timeKeeper ? m_timeKeeper->GetDeviceTime(live != FALSE) : 0; }

float CTransport::GetCpuLoad() { return m_timeKeeper ? m_timeKeeper->GetLoad() : 0.0f; }

IAudioProperties* CTransport::GetAudioProperties() { return m_audioRenderer; }

HRESULT CTransport::SamplesToTicks(LONGLONG samples, LONG* ticks)
{
    return ConvertMfxTime(m_timeConverter, MfxTimeSamples, &MFX_TIME::samples, samples, MfxTimeTicks,
                          &MFX_TIME::ticks, ticks);
}

HRESULT CTransport::TicksToSamples(LONG ticks, LONGLONG* samples)
{
    return ConvertMfxTime(m_timeConverter, MfxTimeTicks, &MFX_TIME::ticks, ticks, MfxTimeSamples,
                          &MFX_TIME::samples, samples);
}

// ---------------------------------------------------------------- transport

bool CTransport::HostCallActive() const { return std::atomic_ref<LONG>(g_hostCallCount).load() >= 1; }

HRESULT CTransport::SetPosition(LONG tick)
{
    {
        CHeapLockGuard transport(m_transportLock);
        CHeapLockGuard processing(m_processingLock);
        if (!m_document)
            return E_FAIL;
        if (!m_audioRenderer || !m_timeKeeper || !m_dataRenderer)
            return E_UNEXPECTED;
        LONGLONG samples = 0;
        HRESULT hr = TicksToSamples(tick, &samples);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = m_audioRenderer->SetSamplePosition(samples)))
            return hr;
        m_timeKeeper->SetDeviceTime(samples);
        if (FAILED(hr = AsRenderer([&] { return m_dataRenderer->Locate(tick); })))
            return hr;
        m_renderPosition = tick;
        m_playPosition = tick;
    }
    HRESULT hr = m_midiSyncGen ? m_midiSyncGen->Relocate() : S_OK;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CTransport::ResyncEngine()
{
    if (!HostCallActive())
        MV_ASSERT_UI_THREAD();
    CHeapLockGuard transport(m_transportLock);
    CHeapLockGuard processing(m_processingLock);
    if (!m_audioRenderer || !m_dataRenderer || !m_filterGraph)
        return E_UNEXPECTED;
    CHeapLockGuard renderer(m_audioRenderer->GetLock());
    const LONG position = m_playPosition;
    HRESULT hr = AsRenderer([&] { return m_dataRenderer->Stop(position); });
    if (FAILED(hr))
        return hr;
    if (m_midiSyncGen && FAILED(hr = m_midiSyncGen->SendStop()))
        return hr;
    if (FAILED(hr = m_filterGraph->Stop()))
        return hr;
    if (FAILED(hr = SetPosition(position)))
        return hr;
    if (m_playing && FAILED(hr = AsRenderer([&] { return m_dataRenderer->Start(position); })))
        return hr;
    hr = m_audioRenderer->Prepare();
    m_rendererPrepared = SUCCEEDED(hr);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = m_filterGraph->Run()))
        return hr;
    if (m_playing && m_midiSyncGen && FAILED(hr = m_midiSyncGen->SendPositionAndStart()))
        return hr;
    return S_OK;
}

HRESULT CTransport::Play()
{
    // The ReWire worker calls in for the host with the counter raised.
    if (!HostCallActive())
        MV_ASSERT_UI_THREAD();
    // The transport lock first, as everywhere: Play re-seeks the engine,
    // which takes it, and must not wait for it holding the processing lock.
    CHeapLockGuard transport(m_transportLock);
    CHeapLockGuard processing(m_processingLock);
    HRESULT hr = S_OK;
    if (IsLoopOn(false) && m_playPosition >= GetLoopEnd(false) && FAILED(hr = Locate(GetLoopStart(false))))
        return hr;
    if (m_rewireDeviceMode) {
        IRewireDevice* rewire = m_devices.GetRewire();
        if (!rewire)
            return E_UNEXPECTED;
        if (FAILED(hr = rewire->SendHostPlay()))
            return hr;
        // The host plays and calls back with the counter raised.
        if (!HostCallActive())
            return S_OK;
    } else if (ITransportDocument* doc = m_document) {
        doc->CommitLiveTempo(TRUE);
    }
    if (!m_devices.GetCurrent() || !m_filterGraph)
        return E_FAIL;
    if (m_playMode == 0 && m_recordMode == 0)
        m_playMode = 1;
    m_playing = 1;
    hr = ResyncEngine();
    if (m_timeKeeper)
        m_timeKeeper->ForgetPreviousBuffer();
    if (m_countInOn && m_metronomeOn && m_countInBeats != 0)
        m_countInActive = 1;
    return hr;
}

HRESULT CTransport::Stop()
{
    if (!HostCallActive())
        MV_ASSERT_UI_THREAD();
    bool commitLiveTempo = false;
    {
        CHeapLockGuard processing(m_processingLock);
        HRESULT hr = S_OK;
        if (m_rewireDeviceMode) {
            IRewireDevice* rewire = m_devices.GetRewire();
            if (!rewire)
                return E_UNEXPECTED;
            if (FAILED(hr = rewire->SendHostStop()))
                return hr;
        }
        if (!m_rewireDeviceMode || HostCallActive()) {
            m_playing = 0;
            SetRecordMode(0);
            SetPlayMode(0);
            if (m_recorder && m_recorder->IsRecording() && FAILED(hr = m_recorder->EndTake()))
                return hr;
            commitLiveTempo = !m_rewireDeviceMode && m_document != nullptr;
        }
    }
    // Committing a live tempo locates, which takes the transport lock before
    // the processing lock: it runs once the processing lock is let go, so
    // the one lock order holds.
    if (commitLiveTempo)
        if (ITransportDocument* doc = m_document)
            doc->CommitLiveTempo(TRUE);
    HRESULT hr = S_OK;
    if (m_midiSyncGen && FAILED(hr = m_midiSyncGen->SendStop()))
        return hr;
    if (m_dataRenderer) {
        CHeapLockGuard transport(m_transportLock);
        if (FAILED(hr = AsRenderer([&] { return m_dataRenderer->Stop(m_playPosition); })))
            return hr;
    }
    m_countInActive = 0;
    return S_OK;
}

HRESULT CTransport::Locate(LONG tick)
{
    if (!HostCallActive())
        MV_ASSERT_UI_THREAD();
    IRewireDevice* const rewire = m_devices.GetRewire();
    if (m_rewireDeviceMode && !HostCallActive())
        return rewire ? rewire->SendHostReposition(tick) : E_UNEXPECTED;
    if (!m_rewireDeviceMode && m_recorder && m_recorder->IsRecording())
        return E_UNEXPECTED;
    const DWORD recordMode = m_recordMode;
    const LONG playMode = m_playMode;
    const LONG savedPosition = m_savedPosition;
    const bool wasPlaying = m_playing != 0;
    HRESULT hr = S_OK;
    if (wasPlaying && FAILED(hr = Stop()))
        return hr;
    if (FAILED(hr = SetPosition(tick)) || FAILED(hr = ResyncEngine()))
        return hr;
    if (wasPlaying) {
        SetPlayMode(playMode);
        SetRecordMode(recordMode);
        // Recording goes on: leaving record mode later still returns to where
        // it was entered, not to this locate.
        m_savedPosition = savedPosition;
        if (FAILED(hr = Play()))
            return hr;
    }
    m_countInActive = 0;
    if (m_rewireDeviceMode && rewire)
        rewire->SendHostReposition(tick);
    return S_OK;
}

HRESULT CTransport::RewindToZero()
{
    HRESULT hr = Locate(0);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CTransport::SetRecordMode(DWORD bits)
{
    const DWORD old = m_recordMode;
    if (!m_playing) {
        if (old == 0 && bits != 0)
            m_savedPosition = m_playPosition;
        else if (old != 0 && bits == 0)
            m_playPosition = m_savedPosition;
    }
    if (((old ^ bits) & 1) != 0 && m_dataRenderer)
        m_dataRenderer->SetRecording(bits != 0);
    m_recordMode = bits;
    return S_OK;
}

HRESULT CTransport::SetPlayMode(LONG flag)
{
    m_playMode = flag;
    return S_OK;
}

HRESULT CTransport::ToggleRecord()
{
    MV_ASSERT_UI_THREAD();
    if (m_playing) {
        if (m_playMode == 0 && m_recordMode == 1)
            return Stop();
        return SetRecordMode(m_recordMode ^ 1u);
    }
    ITransportDocument* doc = m_document;
    if (!doc)
        return E_UNEXPECTED;
    SetRecordMode(1);
    LONG start = 0;
    const WORD active = doc->GetActivePatternId();
    LONG marker = 0, duration = 0;
    if (active != ITransportDocument::kNoPattern && SUCCEEDED(doc->GetPatternTimes(active, &marker, &duration)) &&
        marker < duration)
        start = marker;
    HRESULT hr = Locate(start);
    if (FAILED(hr))
        return hr;
    return Play();
}

// ---------------------------------------------------------------- loop

bool CTransport::IsLoopOn(bool usePending) { return m_loop.IsOn(usePending); }

LONG CTransport::GetLoopStart(bool usePending) { return m_loop.GetStart(usePending); }

LONG CTransport::GetLoopEnd(bool usePending) { return m_loop.GetEnd(usePending); }

HRESULT CTransport::SendLoopToHost(LONG start, LONG end, BOOL on)
{
    if (!m_rewireDeviceMode)
        return S_OK;
    IRewireDevice* rewire = m_devices.GetRewire();
    if (!rewire)
        return E_UNEXPECTED;
    HRESULT hr = rewire->SendHostLoop(start, end, on);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CTransport::RestartAfterLoopChange(BOOL restart, bool requireLoopOn)
{
    if (!restart || m_countInActive || (requireLoopOn && !IsLoopOn(false)))
        return S_OK;
    if (WrapIfPastLoop() || !m_playing)
        return S_OK;
    return ResyncEngine();
}

HRESULT CTransport::SetLoopStart(LONG tick, BOOL restart)
{
    MV_ASSERT_UI_THREAD();
    HRESULT hr = SendLoopToHost(tick, m_loop.GetStoredEnd(), m_loop.GetStoredOn());
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loop.SetStart(tick);
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(restart, true);
}

HRESULT CTransport::SetLoopEnd(LONG tick, BOOL restart)
{
    MV_ASSERT_UI_THREAD();
    HRESULT hr = SendLoopToHost(m_loop.GetStoredStart(), tick, m_loop.GetStoredOn());
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loop.SetEnd(tick);
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(restart, true);
}

HRESULT CTransport::SetLoop(LONG start, LONG end, BOOL on)
{
    // The ReWire worker follows the host's loop with the counter raised.
    if (!HostCallActive())
        MV_ASSERT_UI_THREAD();
    HRESULT hr = SendLoopToHost(start, end, on);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loop.Set(start, end, on);
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(TRUE, false);
}

HRESULT CTransport::SetLoopOn(BOOL on, BOOL restart)
{
    // The ReWire worker follows the host's loop with the counter raised.
    if (!HostCallActive())
        MV_ASSERT_UI_THREAD();
    const LONG flag = on ? 1 : 0;
    if (flag == m_loop.GetStoredOn())
        return S_OK;
    HRESULT hr = SendLoopToHost(m_loop.GetStoredStart(), m_loop.GetStoredEnd(), flag);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loop.SetOn(flag);
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(restart, false);
}

bool CTransport::WrapIfPastLoop()
{
    if (!m_playing || !IsLoopOn(false))
        return false;
    const LONG position = m_playPosition;
    const LONG start = GetLoopStart(false);
    if (position >= start && position < GetLoopEnd(false))
        return false;
    Locate(start);
    return true;
}

HRESULT CTransport::SetPendingLoopStart(LONG tick)
{
    MV_ASSERT_UI_THREAD();
    m_loop.StageStart(tick);
    return S_OK;
}

HRESULT CTransport::SetPendingLoopEnd(LONG tick)
{
    MV_ASSERT_UI_THREAD();
    m_loop.StageEnd(tick);
    return S_OK;
}

HRESULT CTransport::SetPendingLoop(LONG start, LONG end, BOOL on)
{
    MV_ASSERT_UI_THREAD();
    m_loop.Stage(start, end, on);
    return S_OK;
}

HRESULT CTransport::CancelPendingLoop()
{
    MV_ASSERT_UI_THREAD();
    m_loop.SetChangePending(CLoopState::kNothingStaged);
    return S_OK;
}

HRESULT CTransport::CommitPendingLoop()
{
    MV_ASSERT_UI_THREAD();
    // Committing with nothing staged would apply values left from an
    // earlier drag.
    if (m_loop.GetChangePending() == CLoopState::kNothingStaged)
        return S_FALSE;
    const LONG start = m_loop.GetStagedStart(), end = m_loop.GetStagedEnd(), on = m_loop.GetStagedOn();
    if (!m_rewireDeviceMode)
        return SetLoop(start, end, on);
    m_loop.Set(start, end, on);
    m_loop.SetChangePending(CLoopState::kCommittedForHost);
    return SendLoopToHost(GetLoopStart(false), GetLoopEnd(false), m_loop.GetStoredOn());
}

void CTransport::NotifyLoopChanged()
{
    m_loop.SetChangePending(CLoopState::kNothingStaged);
    LONGLONG start = 0, end = 0;
    const bool on = IsLoopOn(false);
    if (on && FAILED(GetLoopTimes(&start, &end)))
        start = end = 0;
    if (m_filterGraph)
        m_filterGraph->SetLoop(on ? 1 : 0, start, end);
    if (m_shell)
        m_shell->PostToMainWindow(kLoopChangedMessage, 1, 0);
}

HRESULT CTransport::GetLoopTimes(LONGLONG* startSamples, LONGLONG* endSamples)
{
    if (!startSamples || !endSamples)
        return E_POINTER;
    if (!m_hostSite)
        return E_FAIL;
    HRESULT hr = TicksToSamples(GetLoopStart(false), startSamples);
    if (SUCCEEDED(hr))
        hr = TicksToSamples(GetLoopEnd(false), endSamples);
    return FAILED(hr) ? hr : S_OK;
}

// ---------------------------------------------------------------- metronome

void CTransport::SetMetronomeOn(BOOL on)
{
    MV_ASSERT_UI_THREAD();
    m_metronomeOn = on ? 1 : 0;
    if (ITransportDocument* doc = m_document)
        doc->SetMetronomeOn(on ? TRUE : FALSE);
}

// ---------------------------------------------------------------- errors

void CTransport::AddEngineError(const char* text)
{
    MV_ASSERT_UI_THREAD();
    m_engineErrors.emplace_back(text ? text : "");
}

HRESULT CTransport::GetEngineErrors(std::vector<CString>* errors)
{
    MV_ASSERT_UI_THREAD();
    if (!errors)
        return E_POINTER;
    *errors = m_engineErrors;
    return S_OK;
}

void CTransport::ClearEngineErrors()
{
    MV_ASSERT_UI_THREAD();
    m_engineErrors.clear();
}

// ---------------------------------------------------------------- device

HRESULT CTransport::RequestAudioReset()
{
    m_resetRequested = 1;
    return S_OK;
}

HRESULT CTransport::NeedsAudioReset()
{
    CHeapLockGuard transport(m_transportLock, kTry);
    if (!transport.OwnsLock())
        return S_FALSE;
    ITransportDocument* doc = m_document;
    if (!doc)
        return E_UNEXPECTED;
    return m_resetRequested || doc->GetGraphDirty() ? S_OK : S_FALSE;
}

HRESULT CTransport::SelectAudioDriver()
{
    MV_ASSERT_UI_THREAD();
    return m_devices.SelectConfigured();
}

HRESULT CTransport::CloseAudioDevice()
{
    MV_ASSERT_UI_THREAD();
    return m_devices.CloseCurrent();
}

HRESULT CTransport::OpenAudioDevice(int* latencyMs)
{
    MV_ASSERT_UI_THREAD();
    return m_devices.OpenCurrent(m_audioRenderer, m_filterGraph, latencyMs);
}

HRESULT CTransport::ApplyAudioReset()
{
    MV_ASSERT_UI_THREAD();
    CHeapLockGuard transport(m_transportLock, kTry);
    if (!transport.OwnsLock())
        return S_FALSE;
    ITransportDocument* doc = m_document;
    if (!doc || !m_audioRenderer)
        return E_UNEXPECTED;
    // The graph rebuild at the end resyncs the engine, which takes the
    // processing lock; taken here, between the other two, it is never waited
    // for while the renderer's lock is held, and every path keeps the one
    // order transport, processing, renderer.
    CHeapLockGuard processing(m_processingLock, kTry);
    if (!processing.OwnsLock())
        return S_FALSE;
    CHeapLockGuard renderer(m_audioRenderer->GetLock(), kTry);
    if (!renderer.OwnsLock())
        return S_FALSE;
    m_audioRenderer->ResetRenderers();

    if (m_resetRequested) {
        const int rate = m_filterGraph ? m_filterGraph->GetSampleRate() : 0;
        const int block = m_filterGraph ? m_filterGraph->GetBlockFrames() : 0;
        CloseAudioDevice();
        m_devices.ReadSettings(m_rewireDeviceMode != FALSE);
        if (!m_rewireDeviceMode && !m_devices.ChooseCurrent())
            return E_UNEXPECTED;
        int latency = -1;
        OpenAudioDevice(&latency);
        if (latency != -1 && latency != m_devices.GetLatency())
            m_devices.SetLatency(latency);
        if (m_timeKeeper)
            m_timeKeeper->SetBufferPeriod(static_cast<float>(m_devices.GetLatency()));
        doc->ConnectAllContainers();
        // The plug-ins took the rate and the buffers their block length
        // when they connected: a device that opened otherwise needs them
        // all connected again.
        if (m_filterGraph &&
            (m_filterGraph->GetSampleRate() != rate || m_filterGraph->GetBlockFrames() != block)) {
            const HRESULT hr = doc->InvalidateGraph();
            if (FAILED(hr))
                return hr;
        }
        m_resetRequested = 0;
    }
    // The device time starts again from the renderer's position, so that the
    // per-buffer entry and the clock go on from there.
    if (m_timeKeeper)
        m_timeKeeper->ResetDeviceTime();
    HRESULT hr = doc->RebuildGraph();
    m_audioRenderer->ResetRenderers();
    return hr;
}

// ---------------------------------------------------------------- offline

HRESULT CTransport::BeginOfflineRender(IAudioDevice* device, int rate, unsigned short bits, unsigned short mode24,
                                       bool floatOutput, int blockFrames)
{
    MV_ASSERT_UI_THREAD();
    if (!device)
        return E_INVALIDARG;
    if (!m_document || m_rewireDeviceMode || m_devices.IsOffline() || !m_audioRenderer)
        return E_UNEXPECTED;
    HRESULT hr = Stop();
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard transport(m_transportLock);
        CHeapLockGuard processing(m_processingLock);
        CHeapLockGuard renderer(m_audioRenderer->GetLock());
        if (FAILED(hr = m_devices.BeginOffline(device, rate, bits, mode24, blockFrames)))
            return hr;
        m_floatOutput = floatOutput;
        m_resetRequested = 1;
    }
    // The same reset that opens a sound card opens the file device.
    // (No other thread holds the locks now: S_FALSE is the graph's answer.)
    hr = ApplyAudioReset();
    if (SUCCEEDED(hr) && !m_devices.IsRunning())
        hr = E_FAIL;
    if (FAILED(hr) || FAILED(hr = ResyncEngine())) {
        EndOfflineRender();
        return hr;
    }
    return S_OK;
}

HRESULT CTransport::EndOfflineRender()
{
    MV_ASSERT_UI_THREAD();
    if (!m_devices.IsOffline())
        return S_FALSE;
    HRESULT first = Stop();
    {
        CHeapLockGuard transport(m_transportLock);
        CHeapLockGuard processing(m_processingLock);
        KeepFirstFailure(first, m_devices.EndOffline());
        m_floatOutput = false;
        m_resetRequested = 1;
    }
    return first;
}

// ---------------------------------------------------------------- per buffer

bool CTransport::FixedTempoAfterLoopStart()
{
    ITransportDocument* doc = m_document;
    CTempoMap* map = doc ? doc->GetTempoMap() : nullptr;
    LONG tick = 0;
    return map && map->GetFixedTempo(&tick, nullptr, nullptr) == S_OK && tick > GetLoopStart(false);
}

HRESULT CTransport::ProcessBuffer(void* out, void* in, UINT outBytes, LONG frames)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!out)
        return E_POINTER;
    CHeapLockGuard transport(m_transportLock, kTry);
    if (!transport.OwnsLock() || !m_document || NeedsAudioReset() == S_OK) {
        Silence(out, outBytes);
        return S_OK;
    }
    CHeapLockGuard processing(m_processingLock, kTry);
    if (!processing.OwnsLock() || !m_timeKeeper || !m_audioRenderer || !m_dataRenderer || !m_recorder ||
        !m_filterGraph) {
        Silence(out, outBytes);
        return S_OK;
    }
    m_timeKeeper->StampBuffer();
    HRESULT hr = S_OK;
    {
        CHeapLockGuard renderer(m_audioRenderer->GetLock(), kTry);
        if (!renderer.OwnsLock() || !m_rendererPrepared)
            Silence(out, outBytes);
        else
            hr = RenderSegments(static_cast<BYTE*>(out), static_cast<BYTE*>(in), outBytes, frames);
    }
    if (FAILED(hr))
        return hr;
    return m_timeKeeper->EndBuffer();
}

HRESULT CTransport::CountInEndSamples(LONGLONG* samples)
{
    LONG meterTick = 0, numerator = 4, denominator = 2;
    const LONG index = m_meterMap->GetMeterIndexAt(0);
    HRESULT hr = m_meterMap->GetMeterAt(index, &meterTick, &numerator, &denominator);
    if (FAILED(hr))
        return hr;
    const LONG beatTicks = kTicksPerWholeNote >> std::clamp<LONG>(denominator, 0, 30);
    const LONG endTick = static_cast<LONG>(GetCountInBeats()) * beatTicks + m_playPosition;
    return TicksToSamples(endTick, samples);
}

HRESULT CTransport::EndCountIn(LONGLONG* samplePos)
{
    // Playback starts from the play position, the data renderer with it.
    m_renderPosition = m_playPosition.load();
    HRESULT hr = TicksToSamples(m_renderPosition, samplePos);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = m_dataRenderer->Stop(m_renderPosition)) || FAILED(hr = m_dataRenderer->Start(m_renderPosition)))
        return hr;
    m_countInActive = 0;
    return S_OK;
}

HRESULT CTransport::WrapLoop(ITransportDocument* doc, bool fixedTempo, LONGLONG* loopStart, LONGLONG* loopEnd)
{
    HRESULT hr = doc->OnBufferTempoHook(GetLoopStart(false), GetLoopEnd(false));
    if (FAILED(hr) || FAILED(hr = GetLoopTimes(loopStart, loopEnd)))
        return hr;
    m_renderPosition = GetLoopStart(false);
    if (fixedTempo &&
        (FAILED(hr = m_dataRenderer->Stop(m_renderPosition)) || FAILED(hr = m_dataRenderer->Start(m_renderPosition))))
        return hr;
    return S_OK;
}

HRESULT CTransport::DriveSongSpan(ITransportDocument* doc, LONG startTick, bool playing, bool wrapped,
                                  bool fixedTempo, bool endsAtLoopEnd)
{
    HRESULT hr = S_OK;
    if (wrapped) {
        if (FAILED(hr = doc->ResetInstanceCursors(ITransportDocument::kAllPatterns)))
            return hr;
        if (!fixedTempo && FAILED(hr = m_recorder->CommitTouches(GetLoopStart(false), GetLoopEnd(false))))
            return hr;
    }
    if (FAILED(hr = m_dataRenderer->BeginSpan(startTick)))
        return hr;
    if (!playing || m_countInActive)
        return S_OK;
    LONG endTick = m_renderPosition;
    if (IsLoopOn(false) && endTick >= GetLoopEnd(true))
        endTick = GetLoopEnd(true);
    if (FAILED(hr = m_recorder->WrapAtPatternEnd(startTick)) || FAILED(hr = m_dataRenderer->Render(startTick, endTick)))
        return hr;
    m_playPosition = m_renderPosition.load();
    if (endsAtLoopEnd && FAILED(hr = m_dataRenderer->Loop(GetLoopStart(false), GetLoopEnd(false))))
        return hr;
    return S_OK;
}

HRESULT CTransport::RenderSegments(BYTE* out, BYTE* in, UINT outBytes, LONG frames)
{
    BYTE* const outStart = out;
    // Whatever goes wrong part-way, the device plays silence for the rest of
    // the buffer rather than what it held before.
    auto fail = [&](HRESULT hr) {
        Silence(out, outBytes - static_cast<std::size_t>(out - outStart));
        return hr;
    };
    ITransportDocument* const doc = m_document;

    CSegmentPlanner planner;
    LONGLONG loopStart = 0, loopEnd = 0;
    HRESULT hr = GetLoopTimes(&loopStart, &loopEnd);
    if (FAILED(hr))
        return fail(hr);
    if (IsLoopOn(false))
        planner.SetLoop(loopStart, loopEnd);
    if (m_countInActive) {
        LONGLONG countInEnd = 0;
        if (FAILED(hr = CountInEndSamples(&countInEnd)))
            return fail(hr);
        planner.SetCountInEnd(countInEnd);
    }

    if (frames < 0)
        frames = m_filterGraph->GetBlockFrames();
    const bool floatOutput = m_rewireDeviceMode || m_floatOutput;
    const int frameBytes = floatOutput ? 8 : DeviceFrameBytes(GetBitsPerSample(), Get24BitMode());
    // Never more frames than the buffer holds.
    frames = std::min<LONG>(frames, static_cast<LONG>(outBytes / static_cast<UINT>(frameBytes)));
    const int rate = GetSampleRate();
    if (rate > 0)
        m_timeKeeper->SetBufferPeriod(static_cast<float>(frames) / static_cast<float>(rate) * 1000.0f);
    m_audioRenderer->BeginBuffer(frames);

    LONG remaining = frames;
    while (remaining > 0) {
        if (!m_rewireDeviceMode && !m_devices.IsOffline() && m_timeKeeper->GetLoad() > kLoadGuardThreshold)
            m_sleep(static_cast<DWORD>(std::max(1, static_cast<int>(GetLatency() * 0.1))));

        LONGLONG samplePos = m_audioRenderer->GetSamplePosition();
        bool wrapped = false, loopWrap = false;
        bool fixedTempo = FixedTempoAfterLoopStart();
        const bool playing = m_playing != 0;
        planner.SetTransport(playing, m_countInActive != 0);

        if (planner.MoveAt(samplePos) == CSegmentPlanner::Move::CountInEnds) {
            if (FAILED(hr = EndCountIn(&samplePos)))
                return fail(hr);
            wrapped = true;
            fixedTempo = true;
            planner.EndCountIn();
        }
        if (planner.MoveAt(samplePos) == CSegmentPlanner::Move::LoopWraps) {
            if (FAILED(hr = WrapLoop(doc, fixedTempo, &loopStart, &loopEnd)))
                return fail(hr);
            // The hook may have moved the tempo, and the loop's samples with it.
            planner.SetLoop(loopStart, loopEnd);
            samplePos = loopStart;
            wrapped = loopWrap = true;
        }
        const CSegmentPlanner::Segment segment = planner.SegmentFrom(samplePos, remaining);
        const int seg = segment.frames;

        m_audioRenderer->BeginSegment(seg, remaining);
        const LONG startTick = m_renderPosition;
        LONG segmentEndTick = 0;
        if (FAILED(hr = SamplesToTicks(samplePos + seg, &segmentEndTick)))
            return fail(hr);
        m_renderPosition = segmentEndTick + 1;
        if (FAILED(hr = DriveSongSpan(doc, startTick, playing, wrapped, fixedTempo, segment.endsAtLoopEnd)))
            return fail(hr);
        if (wrapped) {
            if (FAILED(hr = m_audioRenderer->SetSamplePosition(samplePos)))
                return fail(hr);
            if (fixedTempo) {
                if (loopWrap)
                    m_timeKeeper->SetDeviceTime(samplePos);
                else
                    m_timeKeeper->SetDeviceTimeKeepOffset(samplePos);
            }
        }

        int done = 0;
        hr = m_audioRenderer->RenderBuffer(out, in, seg, &done, remaining, floatOutput);
        if (FAILED(hr)) {
            fail(hr);
            break;
        }
        // A block the graph left silent still counts: the device plays
        // silence for it and the buffer moves on.
        if (done <= 0) {
            Silence(out, static_cast<std::size_t>(seg) * static_cast<std::size_t>(frameBytes));
            done = seg;
        }
        m_timeKeeper->AdvanceSamples(seg);
        if (FAILED(hr = m_timeKeeper->AdvanceDeviceTime(done)))
            return fail(hr);
        out += static_cast<std::size_t>(done) * static_cast<std::size_t>(frameBytes);
        if (in)
            in += static_cast<std::size_t>(done) * static_cast<std::size_t>(frameBytes);
        remaining -= done;
    }
    return S_OK;
}

// ---------------------------------------------------------------- persistence

STDMETHODIMP CTransport::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    MV_ASSERT_UI_THREAD();
    if (!archive)
        return E_POINTER;
    if (KelVersionMajor(versionWord) != kMajor)
        return KELPERSIST_E_UNKNOWNCHUNK;
    switch (KelVersionIndex(versionWord)) {
    case 0:
        return PersistTransportState(archive);
    case 1:
        return PersistMetronome(archive);
    default:
        return KELPERSIST_E_UNKNOWNCHUNK;
    }
}

HRESULT CTransport::PersistTransportState(CKelPersistArchive* archive)
{
    CTransportChunks::TransportState state;
    state.playPosition = m_playPosition;
    state.renderPosition = m_renderPosition;
    state.loopOn = m_loop.GetStoredOn() != 0;
    state.loopStart = m_loop.GetStoredStart();
    state.loopEnd = m_loop.GetStoredEnd();
    HRESULT hr = CTransportChunks::PersistTransportState(archive, &state);
    if (FAILED(hr) || archive->IsSaving())
        return hr;
    m_playPosition = state.playPosition;
    m_renderPosition = state.renderPosition;
    SetLoopStart(state.loopStart, FALSE);
    SetLoopEnd(state.loopEnd, FALSE);
    SetLoopOn(state.loopOn, FALSE);
    return S_OK;
}

HRESULT CTransport::PersistMetronome(CKelPersistArchive* archive)
{
    CTransportChunks::MetronomeState state;
    state.metronomeOn = m_metronomeOn;
    state.countInOn = m_countInOn;
    state.countInBeats = GetCountInBeats();
    IPersistStreamInit* sync = m_midiSyncGen ? m_midiSyncGen->GetPersistObject() : nullptr;
    HRESULT hr = CTransportChunks::PersistMetronome(archive, sync, &state);
    if (FAILED(hr) || archive->IsSaving())
        return hr;
    m_countInOn = state.countInOn != 0 ? 1 : 0;
    SetMetronomeOn(state.metronomeOn != 0);
    SetCountInBeats(state.countInBeats);
    return S_OK;
}
