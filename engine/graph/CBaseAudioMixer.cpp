#include "engine/graph/CBaseAudioMixer.h"

#include <algorithm>
#include <new>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/IAudioProperties.h"
#include "platform/media/AllocatorRequest.h"

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;

// "<at most 10 characters of the prefix>_IPin<n>".
std::u16string InputPinName(LPCWSTR prefix, int n)
{
    std::u16string name(prefix ? prefix : u"");
    if (name.size() > 10)
        name.resize(10);
    name += u"_IPin";
    for (char c : std::to_string(n))
        name += static_cast<char16_t>(c);
    return name;
}

}  // namespace

CBaseAudioMixer::CBaseAudioMixer(const char* name, CDxFilterGraph* graph, IAudioProperties* properties,
                                 REFCLSID clsid, HRESULT* phr)
    : CBaseFilter("CBaseAudioMixer", nullptr, &m_lock, clsid, phr), m_output(this, &m_lock, phr), m_graph(graph),
      m_properties(properties), m_name(name ? name : "")
{
}

CBaseAudioMixer::~CBaseAudioMixer()
{
    for (auto& [n, pin] : m_inputs)
        delete pin;
}

int CBaseAudioMixer::GetPinCount() { return static_cast<int>(m_inputs.size()) + 1; }

CBasePin* CBaseAudioMixer::GetPin(int n)
{
    if (n == GetPinCount() - 1)
        return &m_output;
    return GetInputPin(n);
}

CAudioMixerIPin* CBaseAudioMixer::GetInputPin(int n) const
{
    auto it = m_inputs.find(n);
    return it == m_inputs.end() ? nullptr : it->second;
}

bool CBaseAudioMixer::OwnsPin(IPin* pin)
{
    PIN_INFO info{};
    if (!pin || FAILED(pin->QueryPinInfo(&info)))
        return false;
    if (info.pFilter)
        info.pFilter->Release();
    return info.pFilter == static_cast<IBaseFilter*>(this);
}

HRESULT CBaseAudioMixer::Stop()
{
    CAutoLock lock(&m_lock);
    if (m_State == State_Stopped)
        return S_OK;
    // The queued samples go back before the allocators are decommitted.
    FlushInputs();
    HRESULT hr = CBaseFilter::Stop();
    RecountWaiting();
    return hr;
}

HRESULT CBaseAudioMixer::Pause()
{
    CAutoLock lock(&m_lock);
    if (m_State == State_Paused)
        return S_OK;
    if (m_State == State_Stopped) {
        HRESULT hr = ResetStreamTime();
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = CBaseFilter::Pause();
    RecountWaiting();
    return hr;
}

HRESULT CBaseAudioMixer::Run(REFERENCE_TIME start)
{
    CAutoLock lock(&m_lock);
    if (m_State == State_Running)
        return S_OK;
    m_runStart = start;
    return CBaseFilter::Run(start);
}

HRESULT CBaseAudioMixer::CheckAllFormats()
{
    for (CAudioMixerIPin* pin : m_ordered) {
        if (pin->IsConnected() && !pin->CurrentMediaType().Format())
            return E_FAIL;
    }
    return m_output.CurrentMediaType().Format() ? S_OK : E_FAIL;
}

HRESULT CBaseAudioMixer::IsInputFree(int n)
{
    CAutoLock lock(&m_lock);
    if (n < 0 || n >= GetPinCount() - 1)
        return E_INVALIDARG;
    CAudioMixerIPin* pin = GetInputPin(n);
    return (pin && pin->IsConnected()) ? FALSE : TRUE;
}

HRESULT CBaseAudioMixer::AddInputPin(LPCWSTR prefix, int n)
{
    CAutoLock lock(&m_lock);
    if (m_inputs.count(n))
        return S_FALSE;
    const std::u16string name = InputPinName(prefix, n);
    HRESULT hr = S_OK;
    auto* pin = new (std::nothrow) CAudioMixerIPin(this, &m_lock, &hr, name.c_str(), n, m_graph);
    if (!pin)
        return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pin;
        return hr;
    }
    try {
        m_ordered.reserve(m_ordered.size() + 1);
        m_inputs.emplace(n, pin);
    } catch (const std::bad_alloc&) {
        delete pin;
        return E_OUTOFMEMORY;
    }
    m_ordered.insert(std::upper_bound(m_ordered.begin(), m_ordered.end(), pin,
                                      [](const CAudioMixerIPin* a, const CAudioMixerIPin* b) {
                                          return a->Number() < b->Number();
                                      }),
                     pin);
    return S_OK;
}

CAudioMixerIPin* CBaseAudioMixer::GetFreeInputPin()
{
    CAutoLock lock(&m_lock);
    for (CAudioMixerIPin* pin : m_ordered) {
        if (!pin->IsConnected()) {
            pin->SetUsed(TRUE);
            return pin;
        }
    }
    const int next = m_inputs.empty() ? 0 : m_inputs.rbegin()->first + 1;
    if (FAILED(AddInputPin(u"MainMixIn", next)))
        return nullptr;
    CAudioMixerIPin* pin = GetInputPin(next);
    pin->SetUsed(TRUE);
    return pin;
}

void CBaseAudioMixer::SetAllInputsUsed(BOOL used)
{
    CAutoLock lock(&m_lock);
    for (CAudioMixerIPin* pin : m_ordered)
        pin->SetUsed(used);
}

HRESULT CBaseAudioMixer::CheckInput(int n, const CMediaType* mt) { return CheckInputType(n, mt); }

HRESULT CBaseAudioMixer::CheckOutput(const CMediaType* mt)
{
    HRESULT hr = CheckOutputType(mt);
    if (hr != S_OK)
        return hr;
    IPin* downstream = m_output.GetConnected();
    if (downstream && downstream->QueryAccept(mt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

void CBaseAudioMixer::OnOutputTypeSet(const CMediaType& mt)
{
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    if (!wfx || mt.cbFormat < sizeof(WAVEFORMATEX))
        return;
    m_outChannels = wfx->nChannels;
    m_outBlockAlign = wfx->nBlockAlign;
    m_outRate = wfx->nSamplesPerSec;
}

void CBaseAudioMixer::RecountWaiting()
{
    m_waiting = static_cast<int>(std::count_if(m_ordered.begin(), m_ordered.end(), Waits));
}

int CBaseAudioMixer::PositionRate() const
{
    const int rate = m_properties ? m_properties->GetSampleRate() : 0;
    return rate > 0 ? rate : static_cast<int>(m_outRate);
}

HRESULT CBaseAudioMixer::ProduceOutput(IMediaSample** out)
{
    *out = nullptr;
    if (m_waiting > 0)
        return S_FALSE;
    HRESULT hr = Mix(out);
    if (FAILED(hr) || !*out)
        return hr;
    REFERENCE_TIME start = m_streamTime;
    (*out)->SetTime(&start, nullptr);
    (*out)->SetSyncPoint(FALSE);
    return hr;
}

HRESULT CBaseAudioMixer::Process()
{
    IMediaSample* out = nullptr;
    HRESULT hr = ProduceOutput(&out);
    if (hr == S_FALSE || FAILED(hr))
        return hr;
    if (out && m_outBlockAlign && m_outRate) {
        const LONGLONG frames = out->GetActualDataLength() / m_outBlockAlign;
        m_streamTime += frames * kUnitsPerSecond / m_outRate;
    }
    for (CAudioMixerIPin* pin : m_ordered) {
        if (pin->Fifo().Empty())
            continue;
        pin->Fifo().Pop();
        if (pin->Fifo().Empty()) {
            if (pin->IsEnded())
                InputEnded(pin->Number());
            else if (pin->IsConnected())
                ++m_waiting;
        }
    }
    if (!out)
        return S_OK;
    REFERENCE_TIME start = 0, stop = 0;
    hr = out->GetTime(&start, &stop);
    if (SUCCEEDED(hr))
        hr = m_output.Deliver(out);
    out->Release();
    return hr;
}

HRESULT CBaseAudioMixer::ResetStreamTime()
{
    const int rate = m_properties ? m_properties->GetSampleRate() : 0;
    m_streamTime = rate > 0 ? m_properties->GetSamplePosition() * kUnitsPerSecond / rate : 0;
    m_eosSent = FALSE;
    return S_OK;
}

void CBaseAudioMixer::FlushInputs()
{
    for (CAudioMixerIPin* pin : m_ordered)
        pin->Fifo().Flush();
    RecountWaiting();
}

void CBaseAudioMixer::FlushInputsLocked()
{
    CAutoLock lock(&m_lock);
    FlushInputs();
}

HRESULT CBaseAudioMixer::BeginFlushAll()
{
    if (FAILED(CheckAllFormats()))
        return E_FAIL;
    FlushInputsLocked();
    return m_output.DeliverBeginFlush();
}

HRESULT CBaseAudioMixer::EndFlushAll()
{
    if (FAILED(CheckAllFormats()))
        return E_FAIL;
    {
        CAutoLock lock(&m_lock);
        m_streamTime = m_runStart;
    }
    return m_output.DeliverEndFlush();
}

void CBaseAudioMixer::InputEnded(int)
{
    if (m_eosSent)
        return;
    // One input that runs out must not end the whole mix: the others still
    // carry sound.
    for (CAudioMixerIPin* pin : m_ordered) {
        if (pin->IsConnected() && !(pin->IsEnded() && pin->Fifo().Empty()))
            return;
    }
    m_eosSent = TRUE;
    m_output.DeliverEndOfStream();
}

HRESULT CBaseAudioMixer::DecideOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    if (!allocator || !props)
        return E_POINTER;
    IMemAllocator* model = nullptr;
    for (CAudioMixerIPin* pin : m_ordered) {
        if (pin->IsConnected() && pin->PeekAllocator()) {
            model = pin->PeekAllocator();
            break;
        }
    }
    ALLOCATOR_PROPERTIES request = *props;
    if (!model) {
        if (!m_graph)
            return E_UNEXPECTED;
        request.cBuffers = 16;
        request.cbBuffer = m_graph->GetBlockFrames() * 8 + 32;
        if (request.cbAlign < 1)
            request.cbAlign = 1;
    } else {
        ALLOCATOR_PROPERTIES first{};
        HRESULT hr = model->GetProperties(&first);
        if (FAILED(hr))
            return hr;
        request.cbBuffer = first.cbBuffer;
        request.cbPrefix = first.cbPrefix;
        request.cBuffers = 32 * static_cast<LONG>(m_inputs.size());
        request.cbAlign = 16;
    }
    return RequestBuffers(allocator, request);
}
