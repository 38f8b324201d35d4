#include "CPlugInFilter.h"

#include <cfenv>
#include <cstring>
#include <new>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "CPlugInObjects.h"
#include "IMediaEventSink.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/sync/Time.h"

namespace {

constexpr LONG EC_ERRORABORT = 0x03;

// Plug-ins were written for a processor whose floating-point exceptions
// are all masked; an unmasked one would end the streaming thread.
void MaskFloatingPointExceptions()
{
    fedisableexcept(FE_ALL_EXCEPT);
#if defined(__SSE__)
    _mm_setcsr(_mm_getcsr() | 0x1F80);  // every exception, denormal included
#endif
}

bool ReadExactly(IStream* stream, void* to, ULONG bytes)
{
    ULONG got = 0;
    return SUCCEEDED(stream->Read(to, bytes, &got)) && got == bytes;
}

}  // namespace

CUnknown* CPlugInFilter::Create(Kind kind, REFCLSID clsid, IUnknown* processor, IUnknown* outer, HRESULT* phr)
{
    if (!processor) {
        *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    IPlugInProcess* process = nullptr;
    if (HRESULT hr = processor->QueryInterface(IID_IPlugInProcess, reinterpret_cast<void**>(&process));
        FAILED(hr) || !process) {
        processor->Release();
        *phr = FAILED(hr) ? hr : E_NOINTERFACE;
        return nullptr;
    }
    HRESULT hr = S_OK;
    auto* filter = new (std::nothrow) CPlugInFilter(kind, clsid, process, processor, outer, &hr);
    if (!filter) {
        process->Release();
        processor->Release();
        *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    if (FAILED(hr)) {
        delete filter;
        *phr = hr;
        return nullptr;
    }
    *phr = S_OK;
    return filter;
}

CPlugInFilter::CPlugInFilter(Kind kind, REFCLSID clsid, IPlugInProcess* process, IUnknown* processor,
                             IUnknown* outer, HRESULT* phr)
    : CBaseFilter("Plug-In Filter", outer, &m_filterLock, clsid, phr),
      m_kind(kind),
      m_processor(processor),
      m_process(process),
      m_input(this, &m_filterLock, phr),
      m_output(this, &m_filterLock, phr)
{
    CPlugInObjects::Add();
    const ULONG size = m_process->GetStateSize();
    if (size > 0) {
        try {
            m_state.resize(size);
        } catch (const std::bad_alloc&) {
            *phr = E_OUTOFMEMORY;
        }
    }
}

CPlugInFilter::~CPlugInFilter()
{
    if (m_timed)
        m_timed->Release();
    m_process->Release();
    m_processor->Release();
    CPlugInObjects::Remove();
}

HRESULT CPlugInFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IPersistStream) || IsEqualGUID(riid, IID_IPersist)) {
        *ppv = static_cast<IPersistStream*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualGUID(riid, IID_IPlugInLoad)) {
        *ppv = static_cast<IPlugInLoad*>(this);
        AddRef();
        return S_OK;
    }
    if (SUCCEEDED(CBaseFilter::NonDelegatingQueryInterface(riid, ppv)))
        return S_OK;
    // The plug-in's own interfaces, for its property page.
    return m_processor->QueryInterface(riid, ppv);
}

CBasePin* CPlugInFilter::GetPin(int n)
{
    if (n == 0)
        return &m_input;
    if (n == 1)
        return &m_output;
    return nullptr;
}

HRESULT CPlugInFilter::CheckInputType(const CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    if (mt->majortype != MEDIATYPE_Audio || mt->bTemporalCompression || mt->cbFormat < 16 || !mt->pbFormat)
        return E_INVALIDARG;
    return m_process->AcceptFormat(reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat)) ? S_OK : E_INVALIDARG;
}

HRESULT CPlugInFilter::SetInputType(const CMediaType* mt)
{
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (!wfx || !m_process->SetFormat(wfx))
        return E_INVALIDARG;
    m_blockAlign = wfx->nBlockAlign ? wfx->nBlockAlign : 1;
    m_sampleRate = wfx->nSamplesPerSec;
    if (m_kind != kAsync && m_output.IsConnected() && m_output.CheckMediaType(&m_output.CurrentMediaType()) != S_OK)
        if (IFilterGraph* graph = GetFilterGraph())
            graph->Reconnect(&m_output);
    return S_OK;
}

WAVEFORMATEX CPlugInFilter::CandidateFormat(int p)
{
    static constexpr DWORD kRates[] = {11025, 22050, 44100, 48000};
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.wBitsPerSample = 16;
    f.nChannels = (p & 4) == 0 ? 2 : 1;  // 0..3 and 8..11 stereo
    f.nSamplesPerSec = kRates[p & 3];
    f.nBlockAlign = static_cast<WORD>(2 * f.nChannels);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

HRESULT CPlugInFilter::GetOutputCandidate(int i, CMediaType* mt)
{
    if (i < 0)
        return E_INVALIDARG;
    if (!m_candidatesTried) {
        m_candidatesTried = true;
        for (int p = 0; p < kCandidateFormats; ++p) {
            const WAVEFORMATEX f = CandidateFormat(p);
            if (m_process->AcceptOutputFormat(&f))
                m_candidates.push_back(f);
        }
    }
    if (i >= kCandidateFormats || static_cast<std::size_t>(i) >= m_candidates.size())
        return VFW_S_NO_MORE_ITEMS;
    const WAVEFORMATEX& f = m_candidates[static_cast<std::size_t>(i)];
    mt->InitMediaType();
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_PCM;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = f.nBlockAlign;
    mt->SetFormat(reinterpret_cast<const BYTE*>(&f), sizeof f);
    return S_OK;
}

HRESULT CPlugInFilter::Pause()
{
    CAutoLock lock(&m_filterLock);
    if (IsStopped())
        if (HRESULT hr = StartStreaming(); FAILED(hr))
            return hr;
    return CBaseFilter::Pause();
}

HRESULT CPlugInFilter::Stop()
{
    CAutoLock lock(&m_filterLock);
    HRESULT stopped = IsStopped() ? S_OK : StopStreaming();
    HRESULT hr = CBaseFilter::Stop();
    return FAILED(stopped) ? stopped : hr;
}

HRESULT CPlugInFilter::StartStreaming()
{
    CAutoLock lock(&m_processLock);
    MaskFloatingPointExceptions();
    if (!m_timed)
        m_processor->QueryInterface(IID_IPlugInTimedProcess, reinterpret_cast<void**>(&m_timed));
    if (!m_process->Start()) {
        ReportAbort(E_FAIL);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CPlugInFilter::StopStreaming()
{
    CAutoLock lock(&m_processLock);
    if (m_timed) {
        m_timed->Release();
        m_timed = nullptr;
    }
    if (!m_process->Stop()) {
        ReportAbort(E_FAIL);
        return E_FAIL;
    }
    return S_OK;
}

void CPlugInFilter::ReportAbort(HRESULT hr)
{
    IFilterGraph* graph = GetFilterGraph();
    IMediaEventSink* sink = nullptr;
    if (graph && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
        sink->Notify(EC_ERRORABORT, hr, 0);
        sink->Release();
    }
}

double CPlugInFilter::LoadOf(LONGLONG ticks, LONGLONG frequency, LONGLONG frames, DWORD rate)
{
    if (frames <= 0 || rate == 0 || frequency <= 0)
        return 0.0;
    return (static_cast<double>(ticks) / static_cast<double>(frequency)) /
           (static_cast<double>(frames) / static_cast<double>(rate));
}

HRESULT CPlugInFilter::ProcessSample(IMediaSample* sample, LONG* frames)
{
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_FAIL;
    const WORD align = m_blockAlign.load();
    *frames = sample->GetActualDataLength() / align;
    switch (m_kind) {
    case kInPlace: {
        REFERENCE_TIME start = 0, stop = 0;
        const HRESULT timed = sample->GetTime(&start, &stop);
        if (m_timed && (timed == S_OK || timed == VFW_S_NO_STOP_TIME)) {
            const LONGLONG position = (start * static_cast<LONGLONG>(m_sampleRate.load()) + 5000000) / 10000000;
            return m_timed->ProcessInPlaceAt(position, data, *frames) ? S_OK : E_FAIL;
        }
        return m_process->ProcessInPlace(data, *frames) ? S_OK : E_FAIL;
    }
    case kBufToBuf: {
        IMediaSample* out = nullptr;
        if (HRESULT hr = m_output.GetDeliveryBuffer(&out, nullptr, nullptr, 0); FAILED(hr))
            return hr;
        BYTE* outData = nullptr;
        HRESULT hr = out->GetPointer(&outData);
        const WAVEFORMATEX* outFormat = reinterpret_cast<const WAVEFORMATEX*>(m_output.CurrentMediaType().pbFormat);
        const WORD outAlign = outFormat && outFormat->nBlockAlign ? outFormat->nBlockAlign : align;
        LONG written = out->GetSize() / outAlign;
        if (SUCCEEDED(hr) && outData && m_process->ProcessBufToBuf(data, *frames, outData, &written)) {
            REFERENCE_TIME start = 0, stop = 0;
            if (SUCCEEDED(sample->GetTime(&start, &stop)))
                out->SetTime(&start, &stop);
            out->SetActualDataLength(written * outAlign);
            hr = m_output.Deliver(out);
        } else {
            hr = E_FAIL;
        }
        out->Release();
        return hr;
    }
    case kAsync:
        return m_process->Receive(sample) ? S_OK : E_FAIL;
    }
    return E_UNEXPECTED;
}

HRESULT CPlugInFilter::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    CTryLock filterLock(&m_filterLock);
    if (!filterLock.Locked())
        return VFW_E_WRONG_STATE;
    CTryLock processLock(&m_processLock);
    if (!processLock.Locked())
        return VFW_E_WRONG_STATE;
    MaskFloatingPointExceptions();
    const LONGLONG frequency = m_frequency;
    LARGE_INTEGER before{}, after{};
    if (frequency)
        QueryPerformanceCounter(&before);
    LONG frames = 0;
    HRESULT hr = ProcessSample(sample, &frames);
    if (frequency) {
        QueryPerformanceCounter(&after);
        m_elapsed += after.QuadPart - before.QuadPart;
        m_frames += frames;
    }
    if (FAILED(hr)) {
        ReportAbort(E_FAIL);
        return E_FAIL;
    }
    if (m_kind == kInPlace && m_output.IsConnected())
        return m_output.Deliver(sample);
    return S_OK;
}

HRESULT CPlugInFilter::EndOfStream()
{
    MV_ASSERT_AUDIO_THREAD();
    {
        CTryLock filterLock(&m_filterLock);
        CTryLock processLock(&m_processLock);
        if (filterLock.Locked() && processLock.Locked() && !m_process->EndOfStream()) {
            ReportAbort(E_FAIL);
            return E_FAIL;
        }
    }
    return m_output.IsConnected() ? m_output.DeliverEndOfStream() : S_OK;
}

HRESULT CPlugInFilter::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    CAutoLock lock(&m_filterLock);
    if (m_state.empty())
        return m_process->SetState(nullptr, 0) ? S_OK : E_FAIL;
    if (!ReadExactly(stream, m_state.data(), static_cast<ULONG>(m_state.size())))
        return E_FAIL;
    return m_process->SetState(m_state.data(), static_cast<ULONG>(m_state.size())) ? S_OK : E_FAIL;
}

HRESULT CPlugInFilter::Save(IStream* stream, BOOL)
{
    if (!stream)
        return E_POINTER;
    CAutoLock lock(&m_filterLock);
    if (m_state.empty())
        return S_OK;
    if (!m_process->GetState(m_state.data(), static_cast<ULONG>(m_state.size())))
        return E_FAIL;
    ULONG written = 0;
    if (FAILED(stream->Write(m_state.data(), static_cast<ULONG>(m_state.size()), &written)) ||
        written != m_state.size())
        return E_FAIL;
    return S_OK;
}

HRESULT CPlugInFilter::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = m_state.size() + kSizeMaxExtra;
    return S_OK;
}

LONGLONG CPlugInFilter::EnableTiming(BOOL on)
{
    CAutoLock lock(&m_processLock);
    if ((on != FALSE) == (m_frequency != 0))
        return m_frequency;
    if (!on) {
        m_frequency = 0;
        return 0;
    }
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    m_frequency = frequency.QuadPart;
    return m_frequency;
}

void CPlugInFilter::ResetLoad()
{
    m_elapsed = 0;
    m_frames = 0;
}

double CPlugInFilter::GetLoad() { return LoadOf(m_elapsed.load(), m_frequency, m_frames.load(), m_sampleRate.load()); }
