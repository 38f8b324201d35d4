#include "engine/CTransport.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "devices/CAppConfig.h"
#include "devices/CAudioReferenceClock.h"
#include "devices/CAudioRenderer.h"
#include "devices/IAudioDevice.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/CEngineFactory.h"
#include "engine/CTimer.h"
#include "engine/IClipPoolLimits.h"
#include "engine/IDataRenderer.h"
#include "engine/IEngineFactory.h"
#include "engine/IEngineShell.h"
#include "engine/IMfxHostSite.h"
#include "engine/IMfxMeterMap.h"
#include "engine/IMfxTimeConverter.h"
#include "engine/IMidiInputRouter.h"
#include "engine/IMidiSource.h"
#include "engine/IMidiSyncGen.h"
#include "engine/IRewireDevice.h"
#include "engine/ITransportClipboard.h"
#include "engine/ITransportDocument.h"
#include "engine/ITransportRecorder.h"
#include "model/CHeapLockGuard.h"
#include "model/CKelPersistArchive.h"
#include "model/CTempoMap.h"
#include "platform/res/MessageBox.h"
#include "platform/sync/Time.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr UINT kTimerPeriodMs = 10;
constexpr LONG kClipBeatLimit = 256;
constexpr double kClipSecondsLimit = 60.0;
constexpr float kLoadGuardThreshold = 1.01f;
constexpr LONG kTicksPerWholeNote = 3840;
constexpr LONGLONG kNoLoopStart = LLONG_MIN;
constexpr LONGLONG kNoLimit = LLONG_MAX;
constexpr CHeapLockGuard::TryOnly kTry{};

// The formats tried, in order, when the port refuses the configured one.
struct FallbackFormat {
    int rate;
    unsigned short bits;
    unsigned short mode24;
};

constexpr FallbackFormat kFallbackFormats[] = {
    {44100, 16, 0}, {44100, 24, 0}, {44100, 24, 1}, {44100, 24, 2}, {44100, 32, 3}, {44100, 32, 4},
    {48000, 16, 0}, {48000, 24, 0}, {48000, 24, 1}, {48000, 24, 2}, {48000, 32, 3}, {48000, 32, 4},
    {88200, 16, 0}, {88200, 24, 0}, {88200, 24, 1}, {88200, 24, 2}, {88200, 32, 3}, {88200, 32, 4},
    {96000, 16, 0}, {96000, 24, 0}, {96000, 24, 1}, {96000, 24, 2}, {96000, 32, 3}, {96000, 32, 4},
};
static_assert(std::size(kFallbackFormats) == 24);

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

// a + b > limit without overflow, for the loop and count-in bounds that
// stand at the ends of the 64-bit range when unused.
bool Exceeds(LONGLONG a, LONGLONG b, LONGLONG limit)
{
    return static_cast<__int128>(a) + b > limit;
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
    // A second start over a built engine would lose the parts it holds.
    if (m_timer)
        return E_UNEXPECTED;
    m_rewireDeviceMode = rewireDeviceMode ? TRUE : FALSE;
    HRESULT hr = BuildEngine();
    if (FAILED(hr))
        return hr;
    if (m_rewireDeviceMode) {
        m_rewire = m_factory->CreateRewireDevice(this);
        if (!m_rewire)
            return E_OUTOFMEMORY;
        m_backEnds[kSlotRewire] = m_rewire;
        m_currentDevice = m_rewire;
        ShowProgress(IDS_INIT_REWIRE);
        if (FAILED(hr = OpenBackEnd(m_rewire)))
            return hr;
    } else if (FAILED(hr = ProbeBackEnds())) {
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

    if (!(m_midiSyncGen = m_factory->CreateMidiSyncGen()))
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

    if (FAILED(hr = m_factory->CreateMfxHostSite(&m_hostSite)))
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
    m_resetRequested = 1;
    return S_OK;
}

HRESULT CTransport::ProbeBackEnds()
{
    m_backEnds[kSlotDirectSound] = m_factory->CreateDirectSound(this);
    m_backEnds[kSlotWDM] = m_factory->CreateWDMAudio(this);
    m_backEnds[kSlotAsio] = m_factory->CreateAsioDevice(this);
    if (!m_backEnds[kSlotDirectSound] || !m_backEnds[kSlotWDM] || !m_backEnds[kSlotAsio])
        return E_OUTOFMEMORY;

    struct Probe {
        BackEndSlot slot;
        UINT progress;
        bool reportOpenFailure;
    };
    const Probe probes[] = {{kSlotDirectSound, IDS_INIT_DIRECTSOUND, true},
                            {kSlotWDM, IDS_INIT_WDM_AUDIO, false},
                            {kSlotAsio, IDS_INIT_ASIO, false}};
    for (const Probe& p : probes) {
        ShowProgress(p.progress);
        IAudioDevice* device = m_backEnds[p.slot];
        if (FAILED(OpenBackEnd(device))) {
            if (p.reportOpenFailure)
                ReportAudioDeviceErrors(device);
            DeleteBackEnd(p.slot);
            continue;
        }
        if (FAILED(CloseBackEnd(device, TRUE)))
            ReportAudioDeviceErrors(device);
    }
    // A back-end the probe removed must not stay current: take the one a
    // reset would take, or none.
    m_currentDevice = ChooseBackEnd(false);
    if (!m_backEnds[kSlotDirectSound] && !m_backEnds[kSlotWDM] && !m_backEnds[kSlotAsio])
        return E_UNEXPECTED;
    return S_OK;
}

void CTransport::DeleteBackEnd(BackEndSlot slot)
{
    if (m_currentDevice == m_backEnds[slot])
        m_currentDevice = nullptr;
    if (slot == kSlotRewire)
        m_rewire = nullptr;
    DeleteAndClear(m_backEnds[slot]);
    m_backEndOpen[slot] = false;
}

HRESULT CTransport::Shutdown()
{
    HRESULT first = S_OK;
    DeleteBackEnd(kSlotDirectSound);
    DeleteBackEnd(kSlotWDM);
    DeleteBackEnd(kSlotAsio);
    DeleteBackEnd(kSlotRewire);
    m_deviceRunning = FALSE;

    ReleaseAndClear(m_timeConverter);
    ReleaseAndClear(m_meterMap);
    ReleaseAndClear(m_hostSite);
    DeleteAndClear(m_clipboard);
    DeleteAndClear(m_dragDropClipboard);
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
            SetLoopFields(0, kDefaultLoopEnd, FALSE);
            NotifyLoopChanged();
        }
        SetMetronomeOn(FALSE);
    }
    return S_OK;
}

HRESULT CTransport::SetOwnerWindow(HWND window)
{
    if (!window)
        return E_INVALIDARG;
    if (!m_initialized)
        return E_UNEXPECTED;
    for (BackEndSlot slot : {kSlotDirectSound, kSlotAsio})
        if (m_backEnds[slot])
            m_backEnds[slot]->SetWindow(window);
    return S_OK;
}

// ---------------------------------------------------------------- getters

IAudioDevice* CTransport::GetBackEnd(int driverType) const
{
    switch (driverType) {
    case kDriverWDM:
        return m_backEnds[kSlotWDM];
    case kDriverDirectSound:
        return m_backEnds[kSlotDirectSound];
    case kDriverAsio:
        return m_backEnds[kSlotAsio];
    default:
        return nullptr;
    }
}

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

int CTransport::GetSampleRate()
{
    if (m_rewireDeviceMode && m_rewire)
        return m_rewire->GetSampleRate();
    return m_sampleRate;
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
        if (FAILED(hr = m_dataRenderer->Locate(tick)))
            return hr;
        m_renderPosition = tick;
        m_playPosition = tick;
    }
    HRESULT hr = m_midiSyncGen ? m_midiSyncGen->Relocate() : S_OK;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CTransport::ResyncEngine()
{
    CHeapLockGuard transport(m_transportLock);
    CHeapLockGuard processing(m_processingLock);
    if (!m_audioRenderer || !m_dataRenderer || !m_filterGraph)
        return E_UNEXPECTED;
    CHeapLockGuard renderer(m_audioRenderer->GetLock());
    const LONG position = m_playPosition;
    HRESULT hr = m_dataRenderer->Stop(position);
    if (FAILED(hr))
        return hr;
    if (m_midiSyncGen && FAILED(hr = m_midiSyncGen->SendStop()))
        return hr;
    if (FAILED(hr = m_filterGraph->Stop()))
        return hr;
    if (FAILED(hr = SetPosition(position)))
        return hr;
    if (m_playing && FAILED(hr = m_dataRenderer->Start(position)))
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
    // The transport lock first, as everywhere: Play re-seeks the engine,
    // which takes it, and must not wait for it holding the processing lock.
    CHeapLockGuard transport(m_transportLock);
    CHeapLockGuard processing(m_processingLock);
    HRESULT hr = S_OK;
    if (IsLoopOn(false) && m_playPosition >= GetLoopEnd(false) && FAILED(hr = Locate(GetLoopStart(false))))
        return hr;
    if (m_rewireDeviceMode) {
        if (!m_rewire)
            return E_UNEXPECTED;
        if (FAILED(hr = m_rewire->SendHostPlay()))
            return hr;
        // The host plays and calls back with the counter raised.
        if (!HostCallActive())
            return S_OK;
    } else if (ITransportDocument* doc = m_document) {
        doc->CommitLiveTempo(TRUE);
    }
    if (!m_currentDevice || !m_filterGraph)
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
    {
        CHeapLockGuard processing(m_processingLock);
        HRESULT hr = S_OK;
        if (m_rewireDeviceMode) {
            if (!m_rewire)
                return E_UNEXPECTED;
            if (FAILED(hr = m_rewire->SendHostStop()))
                return hr;
        }
        if (!m_rewireDeviceMode || HostCallActive()) {
            m_playing = 0;
            SetRecordMode(0);
            SetPlayMode(0);
            if (m_recorder && m_recorder->IsRecording() && FAILED(hr = m_recorder->EndTake()))
                return hr;
            ITransportDocument* doc = m_document;
            if (!m_rewireDeviceMode && doc)
                doc->CommitLiveTempo(TRUE);
        }
    }
    HRESULT hr = S_OK;
    if (m_midiSyncGen && FAILED(hr = m_midiSyncGen->SendStop()))
        return hr;
    if (m_dataRenderer && FAILED(hr = m_dataRenderer->Stop(m_playPosition)))
        return hr;
    m_countInActive = 0;
    return S_OK;
}

HRESULT CTransport::Locate(LONG tick)
{
    if (m_rewireDeviceMode && !HostCallActive())
        return m_rewire ? m_rewire->SendHostReposition(tick) : E_UNEXPECTED;
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
    if (m_rewireDeviceMode && m_rewire)
        m_rewire->SendHostReposition(tick);
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

bool CTransport::IsLoopOn(bool usePending)
{
    if (usePending && m_loopChangePending != 0)
        return m_pendingLoopOn != 0;
    return m_loopOn != 0;
}

LONG CTransport::GetLoopStart(bool usePending)
{
    if (usePending && m_loopChangePending != 0)
        return m_pendingLoopStart;
    return m_loopStart;
}

LONG CTransport::GetLoopEnd(bool usePending)
{
    if (usePending && m_loopChangePending != 0)
        return m_pendingLoopEnd;
    const LONG start = m_loopStart;
    const LONG end = m_loopEnd;
    // A loop is never shorter than a quarter note.
    if (static_cast<LONGLONG>(end) - kMinLoopTicks < start)
        return static_cast<LONG>(std::min<LONGLONG>(static_cast<LONGLONG>(start) + kMinLoopTicks, LONG_MAX));
    return end;
}

void CTransport::SetLoopFields(LONG start, LONG end, BOOL on)
{
    m_loopStart = start;
    m_loopEnd = end;
    m_loopOn = on ? 1 : 0;
}

HRESULT CTransport::SendLoopToHost(LONG start, LONG end, BOOL on)
{
    if (!m_rewireDeviceMode)
        return S_OK;
    if (!m_rewire)
        return E_UNEXPECTED;
    HRESULT hr = m_rewire->SendHostLoop(start, end, on);
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
    HRESULT hr = SendLoopToHost(tick, m_loopEnd, m_loopOn);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loopStart = tick;
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(restart, true);
}

HRESULT CTransport::SetLoopEnd(LONG tick, BOOL restart)
{
    HRESULT hr = SendLoopToHost(m_loopStart, tick, m_loopOn);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loopEnd = tick;
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(restart, true);
}

HRESULT CTransport::SetLoop(LONG start, LONG end, BOOL on)
{
    HRESULT hr = SendLoopToHost(start, end, on);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        SetLoopFields(start, end, on);
        NotifyLoopChanged();
    }
    return RestartAfterLoopChange(TRUE, false);
}

HRESULT CTransport::SetLoopOn(BOOL on, BOOL restart)
{
    const LONG flag = on ? 1 : 0;
    if (flag == m_loopOn)
        return S_OK;
    HRESULT hr = SendLoopToHost(m_loopStart, m_loopEnd, flag);
    if (FAILED(hr))
        return hr;
    {
        CHeapLockGuard processing(m_processingLock);
        m_loopOn = flag;
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
    m_pendingLoopOn = m_loopOn.load();
    m_pendingLoopEnd = m_loopEnd.load();
    m_pendingLoopStart = tick;
    m_loopChangePending = 1;
    return S_OK;
}

HRESULT CTransport::SetPendingLoopEnd(LONG tick)
{
    m_pendingLoopOn = m_loopOn.load();
    m_pendingLoopStart = m_loopStart.load();
    m_pendingLoopEnd = tick;
    m_loopChangePending = 1;
    return S_OK;
}

HRESULT CTransport::SetPendingLoop(LONG start, LONG end, BOOL on)
{
    m_pendingLoopOn = on ? 1 : 0;
    m_pendingLoopStart = start;
    m_pendingLoopEnd = end;
    m_loopChangePending = 1;
    return S_OK;
}

HRESULT CTransport::CancelPendingLoop()
{
    m_loopChangePending = 0;
    return S_OK;
}

HRESULT CTransport::CommitPendingLoop()
{
    // Committing with nothing staged would apply values left from an
    // earlier drag.
    if (m_loopChangePending == 0)
        return S_FALSE;
    if (!m_rewireDeviceMode)
        return SetLoop(m_pendingLoopStart, m_pendingLoopEnd, m_pendingLoopOn);
    SetLoopFields(m_pendingLoopStart, m_pendingLoopEnd, m_pendingLoopOn);
    m_loopChangePending = 2;
    return SendLoopToHost(GetLoopStart(false), GetLoopEnd(false), m_loopOn);
}

void CTransport::NotifyLoopChanged()
{
    m_loopChangePending = 0;
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
    m_metronomeOn = on ? 1 : 0;
    if (ITransportDocument* doc = m_document)
        doc->SetMetronomeOn(on ? TRUE : FALSE);
}

// ---------------------------------------------------------------- errors

void CTransport::AddEngineError(const char* text) { m_engineErrors.emplace_back(text ? text : ""); }

HRESULT CTransport::GetEngineErrors(std::vector<CString>* errors)
{
    if (!errors)
        return E_POINTER;
    *errors = m_engineErrors;
    return S_OK;
}

void CTransport::ClearEngineErrors() { m_engineErrors.clear(); }

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

int CTransport::SlotOf(IAudioDevice* device) const
{
    for (int i = 0; i < kSlotCount; ++i)
        if (device && m_backEnds[i] == device)
            return i;
    return -1;
}

HRESULT CTransport::OpenBackEnd(IAudioDevice* device)
{
    const int slot = SlotOf(device);
    if (slot < 0)
        return E_UNEXPECTED;
    HRESULT hr = device->Open();
    // S_FALSE is "already open" from some back-ends and "nothing opened"
    // from others: only what was open already counts as open.
    if (hr == S_FALSE && !m_backEndOpen[slot])
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        m_backEndOpen[slot] = true;
    return hr;
}

HRESULT CTransport::CloseBackEnd(IAudioDevice* device, int unload)
{
    const int slot = SlotOf(device);
    if (slot < 0)
        return E_UNEXPECTED;
    m_backEndOpen[slot] = false;
    return device->Close(unload);
}

IAudioDevice* CTransport::ChooseBackEnd(bool storeReplacement)
{
    const int type = CAppConfig::GetDriverType();
    if (IAudioDevice* device = GetBackEnd(type))
        return device;
    const int replacement = type == kDriverDirectSound ? kDriverWDM : kDriverDirectSound;
    if (storeReplacement)
        CAppConfig::SetDriverType(replacement);
    return GetBackEnd(replacement);
}

HRESULT CTransport::SelectAudioDriver()
{
    IAudioDevice* chosen = GetBackEnd(CAppConfig::GetDriverType());
    if (!chosen)
        return E_UNEXPECTED;
    if (m_currentDevice) {
        m_currentDevice->Stop();
        CloseBackEnd(m_currentDevice, chosen != m_currentDevice);
    }
    m_deviceRunning = FALSE;
    m_currentDevice = chosen;
    return OpenBackEnd(chosen);
}

HRESULT CTransport::CloseAudioDevice()
{
    HRESULT hr = S_OK;
    if (m_deviceRunning && m_currentDevice) {
        hr = CloseBackEnd(m_currentDevice, FALSE);
        if (FAILED(hr))
            ReportAudioDeviceErrors(m_currentDevice);
    }
    m_deviceRunning = FALSE;
    return hr;
}

HRESULT CTransport::NegotiateFormat(unsigned mask)
{
    if (IsAudioFormatSupported(m_sampleRate, m_bitsPerSample, m_24BitMode, mask) == S_OK)
        return S_OK;
    for (const FallbackFormat& f : kFallbackFormats) {
        const unsigned short mode = f.bits > 16 ? f.mode24 : m_24BitMode;
        if (IsAudioFormatSupported(f.rate, f.bits, mode, mask) != S_OK)
            continue;
        m_sampleRate = f.rate;
        m_bitsPerSample = f.bits;
        m_24BitMode = mode;
        CAppConfig::SetSampleRate(f.rate);
        CAppConfig::SetBitDepth(f.bits);
        if (f.bits > 16)
            CAppConfig::Set24BitMode(mode);
        return S_OK;
    }
    // No format works: the user's settings stay as they are for a device
    // that may take them next time.
    AfxMessageBox(IDS_AUDIO_INIT_FAILED, MB_OK);
    return E_FAIL;
}

HRESULT CTransport::OpenAudioDevice(int* latencyMs)
{
    if (!latencyMs)
        return E_POINTER;
    *latencyMs = -1;
    if (m_deviceRunning)
        CloseAudioDevice();
    IAudioDevice* device = m_currentDevice;
    if (!device || !m_audioRenderer || !m_filterGraph)
        return E_UNEXPECTED;
    HRESULT hr = OpenBackEnd(device);
    if (FAILED(hr)) {
        ReportAudioDeviceErrors(device);
        return hr;
    }
    unsigned mask = 0;
    int limits[kBufferLimitEntries] = {};
    CString name;
    device->GetPortInfo(nullptr, &name, kAudioOutput, &mask, limits);
    if (FAILED(hr = NegotiateFormat(mask)))
        return hr;

    const int rate = m_sampleRate;
    const unsigned short bits = m_bitsPerSample;
    const unsigned short mode = m_24BitMode;
    const int latency = m_latency;
    int frames = static_cast<int>(static_cast<LONGLONG>(latency) * rate / 1000);
    if (device == m_backEnds[kSlotWDM] || device == m_backEnds[kSlotAsio])
        frames = ComputeBufferFrames(latency, rate, bits, mode != 0, limits);
    else
        frames = std::max(frames, rate / 100);

    m_audioRenderer->SetSampleRate(rate);
    m_audioRenderer->SetBitDepth(bits);
    m_audioRenderer->Set24BitMode(mode);
    device->Set24BitMode(mode);
    if (FAILED(hr = device->SetFormat(rate, bits, frames))) {
        ReportAudioDeviceErrors(device);
        return hr;
    }
    unsigned bytes = 0;
    if (FAILED(hr = device->GetBufferBytes(&bytes)))
        return hr;
    frames = static_cast<int>(bytes / static_cast<unsigned>(DeviceFrameBytes(bits, mode)));
    if (FAILED(hr = m_filterGraph->SetSampleRate(rate)) || FAILED(hr = m_filterGraph->SetBlockFrames(frames)))
        return hr;
    *latencyMs = static_cast<int>(static_cast<double>(frames) / rate * 1000.0 + 0.5);
    if (FAILED(hr = device->Start())) {
        ReportAudioDeviceErrors(device);
        return hr;
    }
    m_deviceRunning = TRUE;
    return S_OK;
}

HRESULT CTransport::ApplyAudioReset()
{
    CHeapLockGuard transport(m_transportLock, kTry);
    if (!transport.OwnsLock())
        return S_FALSE;
    ITransportDocument* doc = m_document;
    if (!doc || !m_audioRenderer)
        return E_UNEXPECTED;
    CHeapLockGuard renderer(m_audioRenderer->GetLock(), kTry);
    if (!renderer.OwnsLock())
        return S_FALSE;
    m_audioRenderer->ResetRenderers();

    if (m_resetRequested) {
        CloseAudioDevice();
        m_latency = CAppConfig::GetBufferMsec();
        m_sampleRate = m_rewireDeviceMode && m_rewire ? m_rewire->GetSampleRate() : CAppConfig::GetSampleRate();
        m_bitsPerSample = static_cast<unsigned short>(CAppConfig::GetBitDepth());
        m_24BitMode = static_cast<unsigned short>(CAppConfig::Get24BitMode());
        if (!m_rewireDeviceMode) {
            m_currentDevice = ChooseBackEnd(true);
            if (!m_currentDevice)
                return E_UNEXPECTED;
        }
        int latency = -1;
        OpenAudioDevice(&latency);
        if (latency != -1 && latency != m_latency)
            m_latency = latency;
        if (m_timeKeeper)
            m_timeKeeper->SetBufferPeriod(static_cast<float>(m_latency));
        doc->ConnectAllContainers();
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

void ReportAudioDeviceErrors(IAudioDevice* device)
{
    std::vector<CString> errors;
    if (device)
        device->GetErrorList(&errors);
    CString message;
    for (const CString& e : errors) {
        message += e;
        message += '\n';
    }
    if (errors.empty()) {
        message += LoadResString(IDS_AUDIO_UNSPECIFIED_ERROR);
        message += '\n';
    }
    message += '\n';
    message += LoadResString(IDS_SOUNDCARD_IN_USE);
    AfxMessageBox(message, MB_OK);
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

    LONGLONG loopStart = 0, loopEnd = 0;
    HRESULT hr = GetLoopTimes(&loopStart, &loopEnd);
    if (FAILED(hr))
        return fail(hr);
    if (!IsLoopOn(false)) {
        loopStart = kNoLoopStart;
        loopEnd = kNoLimit;
    }

    LONGLONG countInEnd = kNoLimit;
    if (m_countInActive) {
        LONG meterTick = 0, numerator = 4, denominator = 2;
        const LONG index = m_meterMap->GetMeterIndexAt(0);
        if (FAILED(hr = m_meterMap->GetMeterAt(index, &meterTick, &numerator, &denominator)))
            return fail(hr);
        const LONG beatTicks = kTicksPerWholeNote >> std::clamp<LONG>(denominator, 0, 30);
        const LONG endTick = static_cast<LONG>(GetCountInBeats()) * beatTicks + m_playPosition;
        if (FAILED(hr = TicksToSamples(endTick, &countInEnd)))
            return fail(hr);
    }

    if (frames < 0)
        frames = m_filterGraph->GetBlockFrames();
    const int frameBytes = m_rewireDeviceMode ? 8 : DeviceFrameBytes(m_bitsPerSample, m_24BitMode);
    // Never more frames than the buffer holds.
    frames = std::min<LONG>(frames, static_cast<LONG>(outBytes / static_cast<UINT>(frameBytes)));
    const int rate = GetSampleRate();
    if (rate > 0)
        m_timeKeeper->SetBufferPeriod(static_cast<float>(frames) / static_cast<float>(rate) * 1000.0f);
    m_audioRenderer->BeginBuffer(frames);

    LONG remaining = frames;
    while (remaining > 0) {
        if (!m_rewireDeviceMode && m_timeKeeper->GetLoad() > kLoadGuardThreshold)
            m_sleep(static_cast<DWORD>(std::max(1, static_cast<int>(m_latency * 0.1))));

        LONGLONG samplePos = m_audioRenderer->GetSamplePosition();
        LONGLONG segment = remaining;
        bool wrapped = false, loopWrap = false, endsAtLoopEnd = false;
        bool fixedTempo = FixedTempoAfterLoopStart();
        const bool playing = m_playing != 0;

        if (playing && m_countInActive) {
            if (samplePos >= countInEnd) {
                // The count-in ends here: playback starts from the play position.
                m_renderPosition = m_playPosition.load();
                if (FAILED(hr = TicksToSamples(m_renderPosition, &samplePos)))
                    return fail(hr);
                wrapped = true;
                if (FAILED(hr = m_dataRenderer->Stop(m_renderPosition)) ||
                    FAILED(hr = m_dataRenderer->Start(m_renderPosition)))
                    return fail(hr);
                fixedTempo = true;
                m_countInActive = 0;
            } else if (Exceeds(samplePos, remaining, countInEnd)) {
                segment = countInEnd - samplePos;
            }
        }
        if (playing && !m_countInActive) {
            if (samplePos >= loopEnd) {
                if (FAILED(hr = doc->OnBufferTempoHook(GetLoopStart(false), GetLoopEnd(false))) ||
                    FAILED(hr = GetLoopTimes(&loopStart, &loopEnd)))
                    return fail(hr);
                samplePos = loopStart;
                m_renderPosition = GetLoopStart(false);
                wrapped = loopWrap = true;
                if (fixedTempo && (FAILED(hr = m_dataRenderer->Stop(m_renderPosition)) ||
                                   FAILED(hr = m_dataRenderer->Start(m_renderPosition))))
                    return fail(hr);
            }
            if (Exceeds(samplePos, remaining, loopEnd))
                segment = loopEnd - samplePos;
            endsAtLoopEnd = !Exceeds(samplePos, segment, loopEnd) && samplePos + segment == loopEnd;
        }
        // A bound behind the position (a tempo change moved the loop under
        // it) must not stall the buffer.
        if (segment < 1)
            segment = remaining;
        const int seg = static_cast<int>(segment);

        m_audioRenderer->BeginSegment(seg, remaining);
        const LONG startTick = m_renderPosition;
        LONG segmentEndTick = 0;
        if (FAILED(hr = SamplesToTicks(samplePos + segment, &segmentEndTick)))
            return fail(hr);
        m_renderPosition = segmentEndTick + 1;

        if (wrapped) {
            if (FAILED(hr = doc->ResetInstanceCursors(ITransportDocument::kAllPatterns)))
                return fail(hr);
            if (!fixedTempo && FAILED(hr = m_recorder->CommitTouches(GetLoopStart(false), GetLoopEnd(false))))
                return fail(hr);
        }
        if (FAILED(hr = m_dataRenderer->BeginSpan(startTick)))
            return fail(hr);
        if (playing) {
            LONG endTick = m_renderPosition;
            if (IsLoopOn(false) && endTick >= GetLoopEnd(true))
                endTick = GetLoopEnd(true);
            if (!m_countInActive) {
                if (FAILED(hr = m_recorder->WrapAtPatternEnd(startTick)) ||
                    FAILED(hr = m_dataRenderer->Render(startTick, endTick)))
                    return fail(hr);
                m_playPosition = m_renderPosition.load();
                if (endsAtLoopEnd && FAILED(hr = m_dataRenderer->Loop(GetLoopStart(false), GetLoopEnd(false))))
                    return fail(hr);
            }
        }
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
        hr = m_audioRenderer->RenderBuffer(out, in, seg, &done, remaining, m_rewireDeviceMode);
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
        m_timeKeeper->AdvanceSamples(segment);
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
    const bool saving = archive->IsSaving() != FALSE;
    BYTE reserved = 0;
    LONG playPosition = m_playPosition, renderPosition = m_renderPosition;
    BOOL loopOn = m_loopOn != 0;
    LONG loopStart = m_loopStart, loopEnd = m_loopEnd;
    DWORD spare[4] = {};
    HRESULT hr = archive->PersistBytes(1, &reserved);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &playPosition);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &renderPosition);
    if (SUCCEEDED(hr))
        hr = archive->PersistBool(&loopOn);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &loopStart);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &loopEnd);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof spare, spare);
    if (FAILED(hr) || saving)
        return hr;
    m_playPosition = playPosition;
    m_renderPosition = renderPosition;
    SetLoopStart(loopStart, FALSE);
    SetLoopEnd(loopEnd, FALSE);
    SetLoopOn(loopOn, FALSE);
    return S_OK;
}

HRESULT CTransport::PersistMetronome(CKelPersistArchive* archive)
{
    constexpr ULONG kFixedBytes = 4 + 4 + 1 + 16;
    const bool saving = archive->IsSaving() != FALSE;
    HRESULT hr = S_OK;
    IPersistStreamInit* sync = m_midiSyncGen ? m_midiSyncGen->GetPersistObject() : nullptr;
    if (saving) {
        if (sync)
            hr = archive->PersistObject(sync);
    } else if (SUCCEEDED(archive->CheckRemaining(kFixedBytes + 1))) {
        // The chunk holds the generator's object: it was saved by an engine
        // that had one, whether or not this one has.
        if (sync) {
            hr = archive->PersistObject(sync);
        } else {
            ULONGLONG length = 0;
            hr = archive->PersistBytes(sizeof length, &length);
            if (SUCCEEDED(hr) && length > sizeof length)
                hr = archive->CheckRemaining(length - sizeof length);
            for (ULONGLONG left = length > sizeof length ? length - sizeof length : 0; SUCCEEDED(hr) && left > 0;) {
                BYTE scratch[256];
                const ULONG n = static_cast<ULONG>(std::min<ULONGLONG>(left, sizeof scratch));
                hr = archive->PersistBytes(n, scratch);
                left -= n;
            }
        }
    }
    DWORD metronome = m_metronomeOn, countIn = m_countInOn;
    BYTE beats = GetCountInBeats();
    DWORD spare[4] = {};
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &metronome);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &countIn);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(1, &beats);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof spare, spare);
    if (FAILED(hr) || saving)
        return hr;
    m_countInOn = countIn != 0 ? 1 : 0;
    SetMetronomeOn(metronome != 0);
    SetCountInBeats(beats);
    return S_OK;
}
