#include "plugins/synthframework/CFilter.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/media/MediaTypes.h"
#include "platform/sync/ThreadAffinity.h"
#include "plugins/synthframework/DeferZeroFill.h"
#include "plugins/synthframework/PlugInServer.h"

namespace mvsynth {

namespace {
// Output pin ids of this loaded library: never reused.
std::atomic<DWORD> g_nextPinId{1};

const WAVEFORMATEX* WaveFormat(const AM_MEDIA_TYPE* mt)
{
    return mt && mt->cbFormat >= sizeof(WAVEFORMATEX) && mt->pbFormat
               ? reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat)
               : nullptr;
}

void SetPending(IMediaSample* sample, DWORD* pending)
{
    IDeferZeroFill* dzf = nullptr;
    if (SUCCEEDED(sample->QueryInterface(IID_IDeferZeroFill, reinterpret_cast<void**>(&dzf)))) {
        dzf->SetZeroFillPending(TRUE);
        dzf->Release();
    }
    *pending = 1;
}
}  // namespace

CFilter::CFilter(const SynthClass& cls, CDXi* instrument, IUnknown* outer, HRESULT* phr)
    : CInstrumentHolder(instrument),
      CSoftSynth(instrument, cls.instrumentName, phr),
      CSynthFilterBase("CFilter", outer, instrument, *cls.clsid, phr),
      m_class(cls),
      m_input(this, instrument, phr)
{
    LockModule();
    m_outputs.reserve(kMaxOutputs);
    m_outBuffers.reserve(kMaxOutputs);
    m_changePoints.reserve(kReservedChangePoints);
    if (FAILED(*phr))
        return;
    // The automation object also cuts the slices, so it is made even for a
    // filter that does not offer it to the host.
    HRESULT hr = CMediaParams::Create(GetOwner(), cls.params, cls.paramCount, &m_params);
    if (FAILED(hr)) {
        *phr = hr;
        return;
    }
    m_instrument->SetMediaParams(m_params);
    DWORD id = 0;
    if ((cls.ownOutputPin && FAILED(hr = AddOutputPin(nullptr, &id))) || FAILED(hr = m_instrument->Initialize()))
        *phr = hr;
}

CFilter::~CFilter()
{
    RemoveAllOutputPins();
    // A connected output cannot be removed while the graph holds it; at
    // destruction nothing does any more.
    for (CFilterOutputPin* pin : m_outputs)
        delete pin;
    m_outputs.clear();
    if (m_instrument)
        m_instrument->SetMediaParams(nullptr);
    if (m_params)
        m_params->Release();
    UnlockModule();
}

HRESULT CFilter::CreateInstance(const SynthClass& cls, IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualGUID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    CDXi* instrument = cls.createInstrument ? cls.createInstrument() : nullptr;
    if (!instrument)
        return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    auto* filter = new (std::nothrow) CFilter(cls, instrument, outer, &hr);
    if (!filter) {
        delete instrument;
        return E_OUTOFMEMORY;
    }
    filter->NonDelegatingAddRef();
    if (SUCCEEDED(hr))
        hr = filter->NonDelegatingQueryInterface(riid, ppv);
    filter->NonDelegatingRelease();
    return hr;
}

HRESULT CFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IPersistStream))
        return AnswerFromTable(riid, ppv, {{&IID_IPersistStream, static_cast<IPersistStream*>(this)}});
    if (IsEqualGUID(riid, IID_IMfxSoftSynth) || IsEqualGUID(riid, IID_IMfxSoftSynth2)) {
        *ppv = static_cast<IMfxSoftSynth2*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualGUID(riid, IID_IMfxNotify))
        return AnswerFromTable(riid, ppv, {{&IID_IMfxNotify, static_cast<IMfxNotify*>(this)}});
    if (IsEqualGUID(riid, IID_IMfxInputPort))
        return AnswerFromTable(riid, ppv, {{&IID_IMfxInputPort, static_cast<IMfxInputPort*>(this)}});
    if (m_class.mediaParams) {
        IUnknown* itf = nullptr;
        if (IsEqualGUID(riid, IID_IMediaParams))
            itf = static_cast<IMediaParams*>(m_params);
        else if (IsEqualGUID(riid, IID_IMediaParamInfo))
            itf = static_cast<IMediaParamInfo*>(m_params);
        else if (IsEqualGUID(riid, IID_IMediaParamsSetUICallback))
            itf = static_cast<IMediaParamsSetUICallback*>(m_params);
        else if (IsEqualGUID(riid, IID_IMediaParamsUICallback))
            itf = static_cast<IMediaParamsUICallback*>(m_params);
        if (itf) {
            itf->AddRef();
            *ppv = itf;
            return S_OK;
        }
    }
    if (SUCCEEDED(m_instrument->QueryEngineInterface(GetOwner(), riid, ppv)))
        return S_OK;
    return CSynthFilterBase::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CFilter::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = *m_class.clsid;
    return S_OK;
}

int CFilter::GetPinCount() { return 1 + static_cast<int>(m_outputs.size()); }

CBasePin* CFilter::GetPin(int n)
{
    if (n == 0)
        return &m_input;
    if (n < 0 || n > static_cast<int>(m_outputs.size()))
        return nullptr;
    return m_outputs[static_cast<std::size_t>(n - 1)];
}

bool CFilter::AnyOutputConnected() const
{
    return std::any_of(m_outputs.begin(), m_outputs.end(), [](CFilterOutputPin* p) { return p->IsConnected(); });
}

HRESULT CFilter::StopFilter()
{
    CAutoLock lock(Lock());
    if (IsStopped())
        return S_OK;
    HRESULT hr = CSynthFilterBase::StopFilter();
    m_instrument->OnStreamStop();
    return hr;
}

HRESULT CFilter::Pause()
{
    CAutoLock lock(Lock());
    if (m_State == State_Paused)
        return S_OK;
    const bool fromStopped = IsStopped();
    m_position = 0;
    HRESULT hr = CBaseFilter::Pause();
    if (SUCCEEDED(hr) && !m_input.IsConnected())
        hr = RenderTail();
    if (SUCCEEDED(hr) && fromStopped)
        hr = m_instrument->OnStreamStart();
    return hr;
}

HRESULT CFilter::Run(REFERENCE_TIME start)
{
    CAutoLock lock(Lock());
    // From stopped the base pauses first, and that pause renders the tail.
    const bool wasPaused = m_State == State_Paused;
    HRESULT hr = CBaseFilter::Run(start);
    if (SUCCEEDED(hr) && wasPaused && !m_input.IsConnected())
        hr = RenderTail();
    return hr;
}

HRESULT CFilter::Load(IStream* stream)
{
    CAutoLock lock(Lock());
    return m_instrument->LoadState(stream);
}

HRESULT CFilter::Save(IStream* stream, BOOL)
{
    CAutoLock lock(Lock());
    return m_instrument->SaveState(stream);
}

HRESULT CFilter::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    CAutoLock lock(Lock());
    size->QuadPart = m_instrument->GetStateSize();
    return S_OK;
}

void CFilter::ReportChange(DWORD count, bool before, HRESULT* hr)
{
    if (!IsConnected())
        return;
    if (!NotifyHost()) {
        if (before)
            *hr = E_FAIL;
        return;
    }
    // The host's notice carries 32-bit values: it knows which filter it
    // connected, so no address is cut down to fit.
    NotifyHost()->OnPlugInNotify(before ? kMfxNotifyOutputsChanging : kMfxNotifyOutputsChanged, 0, count);
}

HRESULT CFilter::AddOutputPin(const WCHAR* name, DWORD* id)
{
    CAutoLock lock(Lock());
    if (m_outputs.size() >= kMaxOutputs)
        return E_OUTOFMEMORY;
    const DWORD count = static_cast<DWORD>(m_outputs.size()) + 1;
    HRESULT hr = S_OK;
    ReportChange(count, true, &hr);
    if (FAILED(hr))
        return hr;
    std::u16string pinName;
    if (name) {
        pinName = name;
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "Output %u", static_cast<unsigned>(count));
        for (const char* p = text; *p; ++p)
            pinName.push_back(static_cast<char16_t>(*p));
    }
    const DWORD newId = g_nextPinId++;
    auto* pin = new (std::nothrow) CFilterOutputPin(this, Lock(), &hr, pinName.c_str(), newId);
    if (!pin)
        return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pin;
        return hr;
    }
    if (id)
        *id = newId;
    m_outputs.push_back(pin);
    m_outBuffers.resize(m_outputs.size());
    ReportChange(count, false, &hr);
    return S_OK;
}

HRESULT CFilter::RemoveOutputPin(DWORD id)
{
    CAutoLock lock(Lock());
    auto it = std::find_if(m_outputs.begin(), m_outputs.end(), [id](CFilterOutputPin* p) { return p->Id() == id; });
    if (it == m_outputs.end())
        return E_FAIL;
    HRESULT hr = S_OK;
    ReportChange(static_cast<DWORD>(m_outputs.size()) - 1, true, &hr);
    if (FAILED(hr))
        return hr;
    if ((*it)->IsConnected())
        return E_UNEXPECTED;
    delete *it;
    m_outputs.erase(it);
    ReportChange(static_cast<DWORD>(m_outputs.size()), false, &hr);
    return S_OK;
}

HRESULT CFilter::RemoveAllOutputPins()
{
    CAutoLock lock(Lock());
    HRESULT hr = S_OK;
    ReportChange(0, true, &hr);
    if (FAILED(hr))
        return hr;
    while (!m_outputs.empty()) {
        if (m_outputs.front()->IsConnected())
            return E_UNEXPECTED;
        delete m_outputs.front();
        m_outputs.erase(m_outputs.begin());
    }
    ReportChange(0, false, &hr);
    return S_OK;
}

CBasePin* CFilter::FindOutputPin(DWORD id)
{
    CAutoLock lock(Lock());
    return FindOutputPinHeld(id);
}

CFilterOutputPin* CFilter::FindOutputPinHeld(DWORD id) const
{
    for (CFilterOutputPin* p : m_outputs)
        if (p->Id() == id)
            return p;
    return nullptr;
}

DWORD CFilter::GetOutputPinCount()
{
    CAutoLock lock(Lock());
    return static_cast<DWORD>(m_outputs.size());
}

LONG CFilter::GetOutputPinId(DWORD index)
{
    CAutoLock lock(Lock());
    return index < m_outputs.size() ? static_cast<LONG>(m_outputs[index]->Id()) : -1;
}

HRESULT CFilter::IsFormatAcceptable(bool output, const AM_MEDIA_TYPE* mt, DWORD pinId)
{
    if (!mt)
        return E_POINTER;
    const WAVEFORMATEX* wfx = WaveFormat(mt);
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || mt->bTemporalCompression || !wfx)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const bool pcm16 = (wfx->wFormatTag == WAVE_FORMAT_PCM || wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE) &&
                       wfx->wBitsPerSample == 16;
    const bool float32 = wfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && wfx->wBitsPerSample == 32;
    if (!(pcm16 || float32) || wfx->nChannels < 1 || wfx->nChannels > 2 || wfx->nBlockAlign == 0)
        return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = output ? m_instrument->CheckPinFormat(wfx, pinId) : m_instrument->CheckInputFormat(wfx);
    return hr == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFilter::IsTransformAcceptable(const AM_MEDIA_TYPE* input, const AM_MEDIA_TYPE* output, DWORD pinId)
{
    if (HRESULT hr = IsFormatAcceptable(false, input); hr != S_OK)
        return hr;
    if (HRESULT hr = IsFormatAcceptable(true, output, pinId); hr != S_OK)
        return hr;
    const WAVEFORMATEX* in = WaveFormat(input);
    const WAVEFORMATEX* out = WaveFormat(output);
    if (in->nSamplesPerSec != out->nSamplesPerSec)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return m_instrument->CheckPinFormats(in, out, pinId) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFilter::SetFormat(bool output, const AM_MEDIA_TYPE* mt, DWORD pinId)
{
    CAutoLock lock(Lock());
    if (HRESULT hr = IsFormatAcceptable(output, mt, pinId); hr != S_OK)
        return hr;
    std::memcpy(output ? m_instrument->GetOutputFormat() : m_instrument->GetInputFormat(), mt->pbFormat,
                sizeof(WAVEFORMATEX));
    const WAVEFORMATEX* in = m_instrument->GetInputFormat();
    if (!output)
        m_params->SetSampleRate(static_cast<int>(in->nSamplesPerSec));
    return m_instrument->SetFormat(in->wFormatTag, in->nChannels, in->nSamplesPerSec, in->nAvgBytesPerSec,
                                   in->nBlockAlign);
}

WORD CFilter::OutputAlign(const CFilterOutputPin* pin) const
{
    const WAVEFORMATEX* own = pin ? pin->Format() : nullptr;
    return own && own->nBlockAlign ? own->nBlockAlign : m_instrument->GetOutputFormat()->nBlockAlign;
}

HRESULT CFilter::PrepareOutput(CFilterOutputPin* pin, IMediaSample* input, DXiBuffer& buffer)
{
    IMediaSample* sample = nullptr;
    HRESULT hr = pin->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    REFERENCE_TIME start = m_startTime;
    sample->SetTime(m_startTimeValid ? &start : nullptr, nullptr);
    if (input) {
        sample->SetSyncPoint(input->IsSyncPoint() == S_OK);
        sample->SetDiscontinuity(input->IsDiscontinuity() == S_OK);
        sample->SetPreroll(input->IsPreroll() == S_OK);
    }
    const WORD align = OutputAlign(pin);
    buffer = DXiBuffer{align ? static_cast<DWORD>(sample->GetSize() / align) : 0, 0, pin->Id(), sample, 1};
    SetPending(sample, &buffer.zeroFillPending);
    return S_OK;
}

void CFilter::ReleaseOutputs(DWORD count)
{
    for (DWORD i = 0; i < count; ++i) {
        if (m_outBuffers[i].sample) {
            m_outBuffers[i].sample->Release();
            m_outBuffers[i].sample = nullptr;
        }
    }
}

HRESULT CFilter::RenderSlice(LONGLONG position, DXiBuffer* input, DWORD frames, HRESULT* last)
{
    const DWORD n = static_cast<DWORD>(m_outBuffers.size());
    for (DWORD i = 0; i < n; ++i)
        m_outBuffers[i].frames = frames;
    if (HRESULT hr = PrepareSlice(frames); FAILED(hr))
        return hr;
    HRESULT hr = m_instrument->Process(position, input, m_outBuffers.data(), n, RenderedTotal(), ActiveEvents());
    if (FAILED(hr))
        return hr;
    *last = hr;
    if (input)
        input->offset += frames * m_instrument->GetInputFormat()->nBlockAlign;
    for (DWORD i = 0; i < n; ++i)
        m_outBuffers[i].offset += frames * OutputAlign(FindOutputPinHeld(m_outBuffers[i].pinId));
    AdvanceRendered(frames);
    return DispatchActive(false);
}

HRESULT CFilter::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!sample)
        return E_POINTER;
    CTryLock lock(Lock());
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    const WAVEFORMATEX& inFormat = *m_instrument->GetInputFormat();
    const WORD inAlign = inFormat.nBlockAlign;
    if (inAlign == 0)
        return VFW_E_NOT_CONNECTED;

    if (sample->IsDiscontinuity() == S_OK) {
        REFERENCE_TIME start = 0, stop = 0;
        HRESULT t = sample->GetTime(&start, &stop);
        if (t == S_OK || t == VFW_S_NO_STOP_TIME) {
            m_position = start * static_cast<LONGLONG>(inFormat.nSamplesPerSec) / 10000000;
            m_startTime = start;
            m_startTimeValid = true;
        }
    }
    const auto frames = static_cast<DWORD>(sample->GetActualDataLength() / inAlign);
    DXiBuffer in{frames, 0, 0, sample, 0};
    IDeferZeroFill* dzf = nullptr;
    if (SUCCEEDED(sample->QueryInterface(IID_IDeferZeroFill, reinterpret_cast<void**>(&dzf)))) {
        in.zeroFillPending = dzf->GetZeroFillPending() ? 1 : 0;
        dzf->Release();
    }

    m_params->GetChangePoints(m_position, m_position + frames, m_changePoints);

    // Only connected outputs take part; the buffers line up with them.
    const DWORD outputs = static_cast<DWORD>(m_outputs.size());
    DWORD used = 0;
    HRESULT hr = S_OK;
    for (DWORD i = 0; i < outputs && SUCCEEDED(hr); ++i) {
        if (!m_outputs[i]->IsConnected())
            continue;
        hr = PrepareOutput(m_outputs[i], sample, m_outBuffers[used]);
        if (SUCCEEDED(hr))
            ++used;
    }
    const std::size_t allBuffers = m_outBuffers.size();
    m_outBuffers.resize(used);  // within the reserve: no allocation
    for (DWORD i = 0; i < used && SUCCEEDED(hr); ++i) {
        if (m_outBuffers[i].frames < frames) {
            hr = E_FAIL;
            break;
        }
        m_outBuffers[i].frames = frames;
        const WORD outAlign = OutputAlign(FindOutputPinHeld(m_outBuffers[i].pinId));
        m_outBuffers[i].sample->SetActualDataLength(static_cast<LONG>(frames * outAlign));
    }

    HRESULT last = S_OK;
    LONGLONG current = m_position;
    DWORD done = 0;
    for (std::size_t k = 0; k < m_changePoints.size() && SUCCEEDED(hr) && done < frames; ++k) {
        const LONGLONG point = m_changePoints[k];
        m_params->UpdateAt(current);
        if (point == current)
            continue;
        const auto slice = static_cast<DWORD>(std::min<LONGLONG>(frames - done, point - current));
        if (slice > 0) {
            hr = RenderSlice(current, &in, slice, &last);
            done += slice;
        }
        current = point;
    }
    if (SUCCEEDED(hr) && done < frames) {
        m_params->UpdateAt(current);
        hr = RenderSlice(current, &in, frames - done, &last);
    }

    if (SUCCEEDED(hr)) {
        for (DWORD i = 0; i < used; ++i) {
            m_outBuffers[i].frames = frames;
            m_outBuffers[i].offset = 0;
            HRESULT d = DeliverOutput(m_outBuffers[i], last == CDXi::kTailDone ? 1 : 0, false);
            if (FAILED(d) && SUCCEEDED(hr))
                hr = d;
        }
        m_position += frames;
        DispatchActive(false);
    }
    ReleaseOutputs(used);
    m_outBuffers.resize(allBuffers);
    return hr;
}

HRESULT CFilter::RenderTail()
{
    // Pause and Run come here holding the lock already; end of stream comes
    // on the streaming thread, which never waits for the control thread.
    CTryLock lock(Lock());
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    if (!AnyOutputConnected())
        return S_OK;
    const DWORD outputs = static_cast<DWORD>(m_outputs.size());
    const std::size_t allBuffers = m_outBuffers.size();
    DWORD used = 0;
    HRESULT hr = S_OK;
    for (DWORD i = 0; i < outputs && SUCCEEDED(hr); ++i) {
        if (!m_outputs[i]->IsConnected())
            continue;
        hr = PrepareOutput(m_outputs[i], nullptr, m_outBuffers[used]);
        if (SUCCEEDED(hr))
            ++used;
    }
    m_outBuffers.resize(used);
    const DWORD frames = used ? m_outBuffers[0].frames : 0;
    for (DWORD i = 1; i < used && SUCCEEDED(hr); ++i)
        if (m_outBuffers[i].frames > frames)
            hr = E_FAIL;
    const LONGLONG limit = static_cast<LONGLONG>(kMaxTailSeconds) * m_params->SampleRate();
    LONGLONG rendered = 0;
    while (SUCCEEDED(hr) && frames > 0) {
        HRESULT last = S_OK;
        for (DWORD i = 0; i < used; ++i) {
            m_outBuffers[i].frames = frames;
            m_outBuffers[i].offset = 0;
            const WORD outAlign = OutputAlign(FindOutputPinHeld(m_outBuffers[i].pinId));
            m_outBuffers[i].sample->SetActualDataLength(static_cast<LONG>(frames * outAlign));
        }
        if (FAILED(hr = PrepareSlice(frames)))
            break;
        hr = m_instrument->Process(m_position, nullptr, m_outBuffers.data(), used, RenderedTotal(), ActiveEvents());
        if (FAILED(hr))
            break;
        last = hr;
        rendered += frames;
        // Past the longest tail the synth is told its stream ended whatever
        // it says, so a pause never waits on an endless instrument.
        const bool done = last == CDXi::kTailDone || rendered >= limit;
        for (DWORD i = 0; i < used; ++i) {
            m_outBuffers[i].offset = 0;
            HRESULT d = DeliverOutput(m_outBuffers[i], 0, false);
            if (FAILED(d))
                hr = d;
        }
        if (done || FAILED(hr))
            break;
        m_position += frames;
        AdvanceRendered(frames);
        DispatchActive(false);
        // The next block goes into fresh samples.
        ReleaseOutputs(used);
        m_outBuffers.resize(allBuffers);
        used = 0;
        for (DWORD i = 0; i < outputs && SUCCEEDED(hr); ++i) {
            if (!m_outputs[i]->IsConnected())
                continue;
            hr = PrepareOutput(m_outputs[i], nullptr, m_outBuffers[used]);
            if (SUCCEEDED(hr))
                ++used;
        }
        m_outBuffers.resize(used);
    }
    for (DWORD i = 0; i < outputs; ++i)
        if (m_outputs[i]->IsConnected())
            m_outputs[i]->DeliverEndOfStream();
    ReleaseOutputs(used);
    m_outBuffers.resize(allBuffers);
    return hr;
}

HRESULT CFilter::DeliverOutput(DXiBuffer& buffer, int mode, bool release)
{
    if (!buffer.sample)
        return E_POINTER;
    CFilterOutputPin* pin = FindOutputPinHeld(buffer.pinId);
    HRESULT hr = S_OK;
    if (!pin || !pin->IsConnected()) {
        hr = E_UNEXPECTED;
    } else if (mode == 1) {
        hr = pin->DeliverEndOfStream();
    } else {
        const WORD align = OutputAlign(pin);
        if (buffer.zeroFillPending) {
            IDeferZeroFill* dzf = nullptr;
            if (SUCCEEDED(buffer.sample->QueryInterface(IID_IDeferZeroFill, reinterpret_cast<void**>(&dzf)))) {
                dzf->Release();  // left for downstream to clear
            } else {
                BYTE* p = nullptr;
                if (SUCCEEDED(buffer.sample->GetPointer(&p)) && p)
                    std::memset(p, 0, static_cast<std::size_t>(buffer.frames) * align);
            }
        }
        buffer.sample->SetActualDataLength(static_cast<LONG>(align * buffer.frames));
        hr = pin->Deliver(buffer.sample);
    }
    if (release) {
        buffer.sample->Release();
        buffer.sample = nullptr;
    }
    return hr;
}

}  // namespace mvsynth
