#include "engine/graph/CMergeSwitch.h"

#include <new>

#include "engine/graph/DxSampleOps.h"
#include "engine/graph/SampleKernels.h"

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;

}  // namespace

CMergeSwitch::CMergeSwitch(CDxFilterGraph* graph)
    : CBaseFilter("CMergeSwitch", nullptr, this, CLSID_MergeSwitch), m_graph(graph)
{
}

CMergeSwitch::~CMergeSwitch()
{
    for (CMergeSwitchInputPin* pin : m_inputs)
        delete pin;
    for (CMergeSwitchOutputPin* pin : m_outputs)
        delete pin;
}

HRESULT CMergeSwitch::Create(CDxFilterGraph* graph, int inputs, int outputs, CMergeSwitch** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (inputs < 0 || outputs < 0)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    auto* made = new (std::nothrow) CMergeSwitch(graph);
    if (made) {
        try {
            made->m_inputs.reserve(static_cast<std::size_t>(inputs));
            made->m_outputs.reserve(static_cast<std::size_t>(outputs));
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        for (int i = 0; SUCCEEDED(hr) && i < inputs; ++i) {
            auto* pin = new (std::nothrow) CMergeSwitchInputPin(made, &hr, graph);
            if (!pin)
                hr = E_OUTOFMEMORY;
            else
                made->m_inputs.push_back(pin);
        }
        for (int i = 0; SUCCEEDED(hr) && i < outputs; ++i) {
            auto* pin = new (std::nothrow) CMergeSwitchOutputPin(made, &hr, graph);
            if (!pin)
                hr = E_OUTOFMEMORY;
            else
                made->m_outputs.push_back(pin);
        }
    }
    return FinishCreate(made, hr, out);
}

int CMergeSwitch::GetPinCount() { return InputCount() + OutputCount(); }

CBasePin* CMergeSwitch::GetPin(int n)
{
    if (n >= 0 && n < InputCount())
        return m_inputs[static_cast<std::size_t>(n)];
    return OutputPin(n - InputCount());
}

CMergeSwitchInputPin* CMergeSwitch::InputPin(int n) const
{
    return (n >= 0 && n < InputCount()) ? m_inputs[static_cast<std::size_t>(n)] : nullptr;
}

CMergeSwitchOutputPin* CMergeSwitch::OutputPin(int n) const
{
    return (n >= 0 && n < OutputCount()) ? m_outputs[static_cast<std::size_t>(n)] : nullptr;
}

void CMergeSwitch::EndIfUnfed()
{
    if (m_inputs.empty())
        return;
    for (CMergeSwitchInputPin* pin : m_inputs) {
        if (pin->IsConnected())
            return;
    }
    // Nothing will ever arrive: say so downstream. Whether anyone listens
    // does not decide the state change.
    m_inputs[0]->EndOfStream();
}

HRESULT CMergeSwitch::Pause()
{
    CAutoLock lock(this);
    HRESULT hr = CBaseFilter::Pause();
    if (SUCCEEDED(hr))
        EndIfUnfed();
    return hr;
}

HRESULT CMergeSwitch::Run(REFERENCE_TIME start)
{
    CAutoLock lock(this);
    HRESULT hr = CBaseFilter::Run(start);
    if (SUCCEEDED(hr))
        EndIfUnfed();
    return hr;
}

HRESULT CMergeSwitch::SetSelectedOutput(int n)
{
    CAutoLock lock(this);
    if (n < 0 || n >= OutputCount())
        return E_INVALIDARG;
    m_selected = n;
    return S_OK;
}

HRESULT CMergeSwitch::SetSwitchTarget(int n)
{
    CAutoLock lock(this);
    if (n < -1 || n >= OutputCount())
        return E_INVALIDARG;
    m_target = n;
    if (n != -1 && m_partner) {
        if (CMergeSwitchInputPin* in = m_partner->InputPin(n))
            in->SetCountdown(in->Rate());
    }
    return S_OK;
}

void CMergeSwitch::SetPartner(CMergeSwitch* partner)
{
    CAutoLock lock(this);
    m_partner = partner;
}

void CMergeSwitch::SetResume(BOOL resume)
{
    CAutoLock lock(this);
    m_resume = resume;
}

HRESULT CMergeSwitch::CheckSwitchType(const AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return E_POINTER;
    if (!mt->pbFormat || mt->cbFormat < sizeof(WAVEFORMATEX))
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (wfx->wFormatTag != WAVE_FORMAT_IEEE_FLOAT || wfx->wBitsPerSample != 32)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return (wfx->nChannels == 1 || wfx->nChannels == 2) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CMergeSwitch::ConvertInPlace(IMediaSample* sample, WORD to)
{
    const LONG length = sample->GetActualDataLength();
    const LONG converted = to == 2 ? length * 2 : length / 2;
    // Widening needs room for twice the data in the same buffer.
    if (converted > sample->GetSize())
        return VFW_E_BUFFER_OVERFLOW;
    if (!IsZeroFillPending(sample)) {
        BYTE* raw = nullptr;
        HRESULT hr = sample->GetPointer(&raw);
        if (FAILED(hr))
            return hr;
        float* x = reinterpret_cast<float*>(raw);
        if (to == 2) {
            // Backwards, so no value is overwritten before it is read.
            for (LONG k = length / 4 - 1; k >= 0; --k)
                x[2 * k] = x[2 * k + 1] = x[k];
        } else {
            const LONG frames = length / 8;
            for (LONG k = 0; k < frames; ++k)
                x[k] = 0.5f * x[2 * k] + 0.5f * x[2 * k + 1];
        }
    }
    return sample->SetActualDataLength(converted);
}

HRESULT CMergeSwitch::ReceiveOn(CMergeSwitchInputPin* in, IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    CTryLock lock(this);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    if (IsStopped())
        return S_OK;
    const WORD channels = in->Channels() ? in->Channels() : 2;
    const LONG length = sample->GetActualDataLength();
    const LONG frames = length / (4 * channels);
    const int rate = in->Rate() > 0 ? in->Rate() : 44100;

    if (sample->IsDiscontinuity() == S_OK) {
        REFERENCE_TIME start = 0, stop = 0;
        if (SUCCEEDED(sample->GetTime(&start, &stop)))
            in->SetPosition(start * rate / kUnitsPerSecond);
    } else if (m_resume) {
        m_resume = FALSE;
        REFERENCE_TIME start = in->Position() * kUnitsPerSecond / rate;
        HRESULT hr = sample->SetTime(&start, nullptr);
        if (SUCCEEDED(hr))
            hr = sample->SetDiscontinuity(TRUE);
        if (FAILED(hr))
            return hr;
    }

    if (!in->IsLevelOnly()) {
        CMergeSwitchOutputPin* out = OutputPin(m_selected);
        if (!out)
            return VFW_E_NOT_CONNECTED;
        if (out->Channels() && out->Channels() != channels) {
            HRESULT hr = ConvertInPlace(sample, out->Channels());
            if (FAILED(hr))
                return hr;
        }
        HRESULT hr = out->Deliver(sample);
        if (FAILED(hr))
            return hr;
    } else {
        float level = 0.0f;
        if (!IsZeroFillPending(sample)) {
            BYTE* raw = nullptr;
            HRESULT hr = sample->GetPointer(&raw);
            if (FAILED(hr))
                return hr;
            level = PeakSquare(reinterpret_cast<const float*>(raw), frames, channels);
        }
        in->SetCountdown(level >= kQuietLevel ? rate : in->Countdown() - frames);
    }

    if (m_target != -1 && m_partner) {
        HRESULT hr = FeedTail(in, length);
        if (FAILED(hr))
            return hr;
    }
    in->SetPosition(in->Position() + frames);
    return S_OK;
}

HRESULT CMergeSwitch::FeedTail(CMergeSwitchInputPin* in, LONG length)
{
    CMergeSwitchOutputPin* out = OutputPin(m_target);
    CMergeSwitchInputPin* watcher = m_partner->InputPin(m_target);
    if (!out || !watcher) {
        // A path with no end to watch can never be heard to go quiet.
        m_target = -1;
        return S_OK;
    }
    IMemAllocator* allocator = in->PeekAllocator();
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    IMediaSample* silent = nullptr;
    HRESULT hr = allocator->GetBuffer(&silent, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    hr = MarkSilent(silent);
    const WORD from = in->Channels() ? in->Channels() : 2;
    LONG wanted = length;
    if (out->Channels() == 2 && from != 2)
        wanted = length * 2;
    else if (out->Channels() == 1 && from != 1)
        wanted = length / 2;
    if (SUCCEEDED(hr))
        hr = silent->SetActualDataLength(wanted);
    if (SUCCEEDED(hr)) {
        watcher->SetLevelOnly(TRUE);
        // The sample keeps the type in its own room (never a new block); a
        // type it has no room for is left off, the block is fed all the same.
        silent->SetMediaType(const_cast<CMediaType*>(&out->CurrentMediaType()));
        hr = out->Deliver(silent);
        // The watched input goes back to passing blocks even when the feed
        // failed: left measuring, it would swallow the path for good.
        watcher->SetLevelOnly(FALSE);
    }
    silent->Release();
    if (FAILED(hr))
        return hr;
    if (watcher->Countdown() < 1)
        m_target = -1;
    return S_OK;
}
