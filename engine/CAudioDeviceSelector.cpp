#include "engine/CAudioDeviceSelector.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "devices/CAppConfig.h"
#include "devices/CAudioRenderer.h"
#include "devices/IAudioDevice.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/IEngineFactory.h"
#include "engine/IEngineShell.h"
#include "devices/IRewireDevice.h"
#include "platform/res/MessageBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

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

}  // namespace

CAudioDeviceSelector::~CAudioDeviceSelector() { DeleteAll(); }

// ---------------------------------------------------------------- start-up

void CAudioDeviceSelector::AdoptRewire(IRewireDevice* device)
{
    m_rewire = device;
    m_backEnds[kSlotRewire] = device;
    m_current = device;
}

HRESULT CAudioDeviceSelector::Probe(IEngineFactory* factory, IEngineOwner* owner, IEngineShell* shell)
{
    m_backEnds[kSlotDirectSound] = factory->CreateDirectSound(owner);
    m_backEnds[kSlotWDM] = factory->CreateWDMAudio(owner);
    m_backEnds[kSlotAsio] = factory->CreateAsioDevice(owner);
    if (!m_backEnds[kSlotDirectSound] || !m_backEnds[kSlotWDM] || !m_backEnds[kSlotAsio])
        return E_OUTOFMEMORY;

    struct ProbeStep {
        Slot slot;
        UINT progress;
        bool reportOpenFailure;
    };
    const ProbeStep steps[] = {{kSlotDirectSound, IDS_INIT_DIRECTSOUND, true},
                               {kSlotWDM, IDS_INIT_WDM_AUDIO, false},
                               {kSlotAsio, IDS_INIT_ASIO, false}};
    for (const ProbeStep& p : steps) {
        if (shell)
            shell->SetStatusText(LoadResString(p.progress));
        IAudioDevice* device = m_backEnds[p.slot];
        if (FAILED(Open(device))) {
            if (p.reportOpenFailure)
                ReportAudioDeviceErrors(device);
            DeleteBackEnd(p.slot);
            continue;
        }
        if (FAILED(Close(device, TRUE)))
            ReportAudioDeviceErrors(device);
    }
    // A back-end the probe removed must not stay current: take the one a
    // reset would take, or none.
    m_current = ChooseBackEnd(false);
    if (!m_backEnds[kSlotDirectSound] && !m_backEnds[kSlotWDM] && !m_backEnds[kSlotAsio])
        return E_UNEXPECTED;
    return S_OK;
}

void CAudioDeviceSelector::DeleteBackEnd(Slot slot)
{
    if (m_current == m_backEnds[slot])
        m_current = nullptr;
    if (slot == kSlotRewire)
        m_rewire = nullptr;
    delete m_backEnds[slot];
    m_backEnds[slot] = nullptr;
    m_open[slot] = false;
}

void CAudioDeviceSelector::DeleteAll()
{
    // The offline device belongs to whoever renders with it.
    if (IsOffline())
        EndOffline();
    DeleteBackEnd(kSlotDirectSound);
    DeleteBackEnd(kSlotWDM);
    DeleteBackEnd(kSlotAsio);
    DeleteBackEnd(kSlotRewire);
    m_running = FALSE;
}

void CAudioDeviceSelector::SetWindow(HWND window)
{
    for (Slot slot : {kSlotDirectSound, kSlotAsio})
        if (m_backEnds[slot])
            m_backEnds[slot]->SetWindow(window);
}

// ---------------------------------------------------------------- which back-end

IAudioDevice* CAudioDeviceSelector::GetBackEnd(int driverType) const
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

int CAudioDeviceSelector::SlotOf(IAudioDevice* device) const
{
    for (int i = 0; i < kSlotCount; ++i)
        if (device && m_backEnds[i] == device)
            return i;
    return -1;
}

IAudioDevice* CAudioDeviceSelector::ChooseBackEnd(bool storeReplacement)
{
    if (IsOffline())
        return m_backEnds[kSlotOffline];
    const int type = CAppConfig::GetDriverType();
    if (IAudioDevice* device = GetBackEnd(type))
        return device;
    const int replacement = type == kDriverDirectSound ? kDriverWDM : kDriverDirectSound;
    if (storeReplacement)
        CAppConfig::SetDriverType(replacement);
    return GetBackEnd(replacement);
}

IAudioDevice* CAudioDeviceSelector::ChooseCurrent()
{
    m_current = ChooseBackEnd(true);
    return m_current;
}

HRESULT CAudioDeviceSelector::SelectConfigured()
{
    IAudioDevice* chosen = GetBackEnd(CAppConfig::GetDriverType());
    if (!chosen)
        return E_UNEXPECTED;
    if (m_current) {
        m_current->Stop();
        Close(m_current, chosen != m_current);
    }
    m_running = FALSE;
    m_current = chosen;
    return Open(chosen);
}

// ---------------------------------------------------------------- open and close

HRESULT CAudioDeviceSelector::Open(IAudioDevice* device)
{
    const int slot = SlotOf(device);
    if (slot < 0)
        return E_UNEXPECTED;
    HRESULT hr = device->Open();
    // S_FALSE is "already open" from some back-ends and "nothing opened"
    // from others: only what was open already counts as open.
    if (hr == S_FALSE && !m_open[slot])
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        m_open[slot] = true;
    return hr;
}

HRESULT CAudioDeviceSelector::Close(IAudioDevice* device, int unload)
{
    const int slot = SlotOf(device);
    if (slot < 0)
        return E_UNEXPECTED;
    m_open[slot] = false;
    return device->Close(unload);
}

HRESULT CAudioDeviceSelector::CloseCurrent()
{
    HRESULT hr = S_OK;
    if (m_running && m_current) {
        hr = Close(m_current, FALSE);
        if (FAILED(hr))
            ReportAudioDeviceErrors(m_current);
    }
    m_running = FALSE;
    return hr;
}

void CAudioDeviceSelector::ReadSettings(bool rewireDeviceMode)
{
    // An offline render keeps the format it was begun with.
    if (IsOffline())
        return;
    m_latency = CAppConfig::GetBufferMsec();
    m_sampleRate = rewireDeviceMode && m_rewire ? m_rewire->GetSampleRate() : CAppConfig::GetSampleRate();
    m_bitsPerSample = static_cast<unsigned short>(CAppConfig::GetBitDepth());
    m_24BitMode = static_cast<unsigned short>(CAppConfig::Get24BitMode());
}

HRESULT CAudioDeviceSelector::NegotiateFormat(unsigned mask)
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

HRESULT CAudioDeviceSelector::OpenCurrent(CAudioRenderer* renderer, CDxFilterGraph* graph, int* latencyMs)
{
    if (!latencyMs)
        return E_POINTER;
    *latencyMs = -1;
    if (m_running)
        CloseCurrent();
    IAudioDevice* device = m_current;
    if (!device || !renderer || !graph)
        return E_UNEXPECTED;
    HRESULT hr = Open(device);
    if (FAILED(hr)) {
        ReportAudioDeviceErrors(device);
        return hr;
    }
    unsigned mask = 0;
    int limits[kBufferLimitEntries] = {};
    CString name;
    const bool offline = device == m_backEnds[kSlotOffline];
    if (!offline) {
        device->GetPortInfo(nullptr, &name, kAudioOutput, &mask, limits);
        if (FAILED(hr = NegotiateFormat(mask)))
            return hr;
    }

    const int rate = m_sampleRate;
    const unsigned short bits = m_bitsPerSample;
    const unsigned short mode = m_24BitMode;
    const int latency = m_latency;
    int frames = static_cast<int>(static_cast<LONGLONG>(latency) * rate / 1000);
    if (offline)
        frames = m_offlineFrames;
    else if (device == m_backEnds[kSlotWDM] || device == m_backEnds[kSlotAsio])
        frames = ComputeBufferFrames(latency, rate, bits, mode != 0, limits);
    else
        frames = std::max(frames, rate / 100);

    renderer->SetSampleRate(rate);
    renderer->SetBitDepth(bits);
    renderer->Set24BitMode(mode);
    device->Set24BitMode(mode);
    if (FAILED(hr = device->SetFormat(rate, bits, frames))) {
        ReportAudioDeviceErrors(device);
        return hr;
    }
    unsigned bytes = 0;
    if (FAILED(hr = device->GetBufferBytes(&bytes)))
        return hr;
    frames = static_cast<int>(bytes / static_cast<unsigned>(DeviceFrameBytes(bits, mode)));
    if (FAILED(hr = graph->SetSampleRate(rate)) || FAILED(hr = graph->SetBlockFrames(frames)))
        return hr;
    *latencyMs = static_cast<int>(static_cast<double>(frames) / rate * 1000.0 + 0.5);
    if (FAILED(hr = device->Start())) {
        ReportAudioDeviceErrors(device);
        return hr;
    }
    m_running = TRUE;
    return S_OK;
}

// ---------------------------------------------------------------- offline

HRESULT CAudioDeviceSelector::BeginOffline(IAudioDevice* device, int rate, unsigned short bits,
                                           unsigned short mode24, int frames)
{
    if (!device || rate < 1 || bits < 1 || frames < 1)
        return E_INVALIDARG;
    if (IsOffline())
        return E_UNEXPECTED;
    HRESULT hr = CloseCurrent();
    if (FAILED(hr))
        return hr;
    m_beforeOffline = Saved{m_current, m_sampleRate, m_bitsPerSample, m_24BitMode, m_latency};
    m_backEnds[kSlotOffline] = device;
    m_open[kSlotOffline] = false;
    m_current = device;
    m_sampleRate = rate;
    m_bitsPerSample = bits;
    m_24BitMode = mode24;
    m_offlineFrames = frames;
    // The latency a block of the render stands for, for the time keeper.
    m_latency = std::max<LONG>(1, static_cast<LONG>(static_cast<LONGLONG>(frames) * 1000 / rate));
    return S_OK;
}

HRESULT CAudioDeviceSelector::EndOffline()
{
    if (!IsOffline())
        return S_FALSE;
    IAudioDevice* device = m_backEnds[kSlotOffline];
    HRESULT hr = S_OK;
    if (m_open[kSlotOffline])
        hr = Close(device, FALSE);
    m_backEnds[kSlotOffline] = nullptr;
    m_open[kSlotOffline] = false;
    m_current = std::exchange(m_beforeOffline.current, nullptr);
    m_sampleRate = m_beforeOffline.rate;
    m_bitsPerSample = m_beforeOffline.bits;
    m_24BitMode = m_beforeOffline.mode24;
    m_latency = m_beforeOffline.latency;
    m_running = FALSE;
    m_offlineFrames = 0;
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
