#include "devices/CWDMAudio.h"

#include <strings.h>

#include <cstring>

#include "devices/CAppConfig.h"
#include "devices/CPCMAudioFilter.h"
#include "devices/IEngineOwner.h"
#include "platform/sync/Interlocked.h"
#include "platform/sync/Thread.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"

namespace {

constexpr int kPacketCount = 2;
constexpr ULONG kProbeFrames = 1024;
constexpr int kProbeMaximumMs = 2000;
constexpr DWORD kPacketWaitMs = 1000;
constexpr int kFormatBits = 24;
// What a stop that waited in vain reports.
constexpr HRESULT kThreadDidNotEnd = HRESULT_FROM_WIN32(WAIT_TIMEOUT);

CPCMAudioFilter* PcmFilter(const std::unique_ptr<CKsFilter>& f) { return static_cast<CPCMAudioFilter*>(f.get()); }

bool HasPinsOf(const CKsFilter& f, int direction)
{
    return direction == kAudioInput ? !f.CapturePins().empty() : !f.RenderSinkPins().empty();
}

}  // namespace

// What the audio thread uses, shared with it: it holds the pin, so the
// packets it writes into stay while it runs.
struct CWDMAudio::ThreadState {
    IEngineOwner* owner;
    std::shared_ptr<CPCMAudioPin> pin;
    LONG stopCount = 0;
    LONG packetIndex = 0;
};

CWDMAudio::CWDMAudio(IEngineOwner* owner, DWORD threadStopWaitMs)
    : m_owner(owner), m_threadStopWaitMs(threadStopWaitMs)
{
}

CWDMAudio::~CWDMAudio()
{
    Close(0);
    m_pin.reset();
    m_filter = nullptr;
    ReleaseKsLibrary();
}

DWORD CWDMAudio::AudioThread(LPVOID arg)
{
    const std::unique_ptr<std::shared_ptr<ThreadState>> holder(static_cast<std::shared_ptr<ThreadState>*>(arg));
    ThreadState& state = **holder;
    CPCMAudioPin& pin = *state.pin;
    MV_ASSERT_AUDIO_THREAD();
    while (InterlockedCompareExchange(&state.stopCount, 0, 0) == 0) {
        const int index = state.packetIndex;
        if (pin.Wait(index, kPacketWaitMs) != WAIT_OBJECT_0)
            continue;
        if (InterlockedCompareExchange(&state.stopCount, 0, 0) != 0)
            break;
        BYTE* buffer = pin.GetPacketBuffer(index);
        if (state.owner)
            state.owner->ProcessBuffer(buffer, nullptr, pin.GetPacketBytes(), -1);
        else
            std::memset(buffer, 0, pin.GetPacketBytes());
        pin.WritePacket(index);
        state.packetIndex = index == 0 ? 1 : 0;
    }
    return 0;
}

HRESULT CWDMAudio::EnumPorts(IEnumAudioDeviceCallback* callback, int isInput)
{
    if (!m_render) {
        m_errors.AddFormat(IDS_WDM_ENUM_DEVICES);
        return E_UNEXPECTED;
    }
    if (!callback)
        return E_POINTER;
    if (isInput) {
        for (const std::unique_ptr<CKsFilter>& f : *m_capture)
            if (HasPinsOf(*f, kAudioInput))
                callback->AddPort(&GUID_NULL, f->GetText(CKsFilter::kFriendlyName).c_str(), 0,
                                  f->GetText(CKsFilter::kDescription).c_str(), nullptr);
        return S_OK;
    }
    for (std::size_t i = 0; i < m_render->size(); ++i) {
        const CKsFilter& f = *(*m_render)[i];
        if (HasPinsOf(f, kAudioOutput))
            callback->AddPort(&GUID_NULL, f.GetText(CKsFilter::kFriendlyName).c_str(), m_masks[i],
                              f.GetText(CKsFilter::kDescription).c_str(), m_limits[i].data());
    }
    return S_OK;
}

HRESULT CWDMAudio::ProbeDevices()
{
    m_masks.clear();
    m_limits.clear();
    for (const std::unique_ptr<CKsFilter>& f : *m_render) {
        CPCMAudioFilter* filter = PcmFilter(f);
        unsigned mask = 0;
        LimitTable limits{};
        for (int i = 0; i < kFormatBits; ++i) {
            FormatRecord record{};
            const HRESULT hr = DescribeFormat(1u << i, &record.wave);
            if (FAILED(hr))
                return hr;
            limits[kBufferLimitMinimum + i] = limits[kBufferLimitMaximum + i] = limits[kBufferLimitGranularity + i] = 0;
            if (filter->CreateRenderPin(&record.wave, kPacketCount, kProbeFrames, kProbeFrames, false, 0)) {
                mask |= 1u << i;
                const ULONG frameSize = filter->GetRenderPin()->ReadAllocatorFrameSize();
                const int minimum = static_cast<int>(frameSize / record.wave.nBlockAlign);
                limits[kBufferLimitMinimum + i] = minimum;
                limits[kBufferLimitMaximum + i] = kProbeMaximumMs * static_cast<int>(record.wave.nSamplesPerSec) / 1000;
                limits[kBufferLimitGranularity + i] = minimum;
            }
            filter->ReleaseRenderPin();
        }
        m_masks.push_back(mask);
        m_limits.push_back(limits);
    }
    return S_OK;
}

int CWDMAudio::FindPort(const CString& name, int direction) const
{
    const KsFilterList* list = direction == kAudioInput ? m_capture : m_render;
    if (!list)
        return -1;
    for (std::size_t i = 0; i < list->size(); ++i) {
        const CKsFilter& f = *(*list)[i];
        if (strcasecmp(f.GetText(CKsFilter::kFriendlyName).c_str(), name.Str().c_str()) == 0 && HasPinsOf(f, direction))
            return static_cast<int>(i);
    }
    return -1;
}

HRESULT CWDMAudio::Open()
{
    MV_ASSERT_UI_THREAD();
    if (m_open)
        return S_FALSE;
    if (!InitKsLibrary())
        return E_FAIL;
    KsFilterList* render = nullptr;
    const HRESULT hr = GetRenderFilters(&render);
    // Without render devices there is nothing to open; without capture
    // devices there are no input ports, and output works as it is.
    if (FAILED(hr))
        return hr;
    GetCaptureFilters(&m_capture);
    m_render = render;
    if (!m_probed) {
        const HRESULT probe = ProbeDevices();
        if (FAILED(probe))
            return probe;
        m_probed = true;
    }
    m_outputName = CString(CAppConfig::GetWDMOutput());
    m_inputName = CString(CAppConfig::GetWDMInput());
    int chosen = FindPort(m_outputName, kAudioOutput);
    if (chosen < 0) {
        chosen = 0;
        m_outputName = CString((*m_render)[0]->GetText(CKsFilter::kFriendlyName).c_str());
    }
    m_filter = PcmFilter((*m_render)[static_cast<std::size_t>(chosen)]);
    m_filterMask = m_masks[static_cast<std::size_t>(chosen)];
    m_open = true;
    return S_OK;
}

HRESULT CWDMAudio::Close(int)
{
    MV_ASSERT_UI_THREAD();
    if (!m_open)
        return S_FALSE;
    if (m_pin) {
        const HRESULT hr = StopAndReleaseBuffers(*this);
        if (FAILED(hr))
            return hr;
    }
    m_open = false;
    return S_OK;
}

HRESULT CWDMAudio::SetWindow(HWND) { return S_OK; }

HRESULT CWDMAudio::SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames)
{
    MV_ASSERT_UI_THREAD();
    if (m_pin)
        return S_OK;
    m_bufferFrames = bufferFrames;
    m_format = {};
    m_format.wave = MakeDeviceFormat(sampleRate, bitsPerSample, m_mode24);
    const ULONG frames = static_cast<ULONG>(bufferFrames);
    if (!m_filter || !m_filter->CreateRenderPin(&m_format.wave, kPacketCount, frames, frames, false, 0)) {
        m_errors.AddFormat(IDS_WDM_CREATE_RENDER_PIN, m_outputName.Str().c_str());
        if (m_filter)
            m_filter->ReleaseRenderPin();
        return E_FAIL;
    }
    m_pin = m_filter->GetRenderPin();
    return m_pin ? S_OK : E_FAIL;
}

HRESULT CWDMAudio::Set24BitMode(unsigned short mode)
{
    m_mode24 = mode;
    return S_OK;
}

HRESULT CWDMAudio::ReleaseBuffers()
{
    MV_ASSERT_UI_THREAD();
    // Never leave a pin running for a thread that outlives it here.
    if (m_pin && m_pin->GetState() != KSSTATE_STOP)
        Stop();
    if (m_filter)
        m_filter->ReleaseRenderPin();
    m_pin.reset();
    return S_OK;
}

HRESULT CWDMAudio::GetBufferBytes(unsigned* bytes)
{
    if (!bytes)
        return E_POINTER;
    if (!m_pin)
        return E_FAIL;
    *bytes = m_pin->GetPacketBytes();
    return S_OK;
}

HRESULT CWDMAudio::Start()
{
    MV_ASSERT_UI_THREAD();
    if (!m_filter || !m_pin) {
        m_errors.AddFormat(IDS_WDM_PLAY_UNEXPECTED);
        return E_FAIL;
    }
    if (m_pin->GetState() == KSSTATE_RUN)
        return S_FALSE;
    // Two threads must never be inside the per-buffer entry at once.
    if (m_thread.StillRunning()) {
        m_errors.AddFormat(IDS_WDM_CREATE_THREAD);
        return E_FAIL;
    }
    m_pin->SetState(KSSTATE_ACQUIRE);
    m_pin->SetState(KSSTATE_PAUSE);
    for (int i = 0; i < m_pin->GetPacketCount(); ++i) {
        std::memset(m_pin->GetPacketBuffer(i), 0, m_pin->GetPacketBytes());
        m_pin->WritePacket(i);
    }
    auto state = std::make_shared<ThreadState>();
    state->owner = m_owner;
    state->pin = m_pin;
    if (!m_thread.Create(AudioThread, state)) {
        m_errors.AddFormat(IDS_WDM_CREATE_THREAD);
        m_pin->SetState(KSSTATE_STOP);
        return E_FAIL;
    }
    m_threadState = state;
    state->packetIndex = 0;
    m_pin->SetState(KSSTATE_RUN);
    m_thread.Resume();
    return S_OK;
}

HRESULT CWDMAudio::Stop()
{
    MV_ASSERT_UI_THREAD();
    if (!m_filter || !m_pin) {
        m_errors.AddFormat(IDS_WDM_STOP_UNEXPECTED);
        return E_FAIL;
    }
    if (m_pin->GetState() == KSSTATE_STOP)
        return S_FALSE;
    HRESULT result = S_OK;
    if (!m_thread.Stop(m_threadState, m_threadStopWaitMs)) {
        // Still inside the per-buffer entry: the thread keeps its handle
        // and its share of the pin until it returns.
        m_errors.AddFormat(IDS_WDM_STOP_UNEXPECTED);
        result = kThreadDidNotEnd;
    }
    m_pin->SetState(KSSTATE_STOP);
    return result;
}

HRESULT CWDMAudio::Pause()
{
    if (!m_filter || !m_pin) {
        m_errors.AddFormat(IDS_WDM_PAUSE_UNEXPECTED);
        return E_FAIL;
    }
    if (m_pin->GetState() != KSSTATE_RUN)
        return S_FALSE;
    return m_pin->SetState(KSSTATE_PAUSE) ? S_OK : E_FAIL;
}

HRESULT CWDMAudio::Resume()
{
    if (!m_filter || !m_pin) {
        m_errors.AddFormat(IDS_WDM_RESUME_UNEXPECTED);
        return E_FAIL;
    }
    if (m_pin->GetState() != KSSTATE_PAUSE)
        return S_FALSE;
    return m_pin->SetState(KSSTATE_RUN) ? S_OK : E_FAIL;
}

WAVEFORMATEX* CWDMAudio::GetWaveFormat() { return &m_format.wave; }

HRESULT CWDMAudio::GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits)
{
    if (!id && !name)
        return E_INVALIDARG;
    const bool input = direction == kAudioInput;
    if (id)
        *id = GUID_NULL;
    if (name)
        *name = input ? m_inputName : m_outputName;
    const int port = FindPort(input ? m_inputName : m_outputName, direction);
    if (port < 0)
        return S_OK;
    if (mask)
        *mask = input ? 0 : m_masks[static_cast<std::size_t>(port)];
    if (limits && !input)
        std::memcpy(limits, m_limits[static_cast<std::size_t>(port)].data(), sizeof(LimitTable));
    return S_OK;
}

HRESULT CWDMAudio::SetPort(const GUID*, const char* name, int direction)
{
    if (direction == kAudioInput) {
        m_inputName = CString(name ? name : "");
        CAppConfig::SetWDMInput(name);
    } else {
        m_outputName = CString(name ? name : "");
        CAppConfig::SetWDMOutput(name);
    }
    return S_OK;
}

HRESULT CWDMAudio::GetErrorList(std::vector<CString>* errors) { return m_errors.Take(errors); }
