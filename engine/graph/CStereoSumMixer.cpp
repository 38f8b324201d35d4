#include "engine/graph/CStereoSumMixer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"
#include "engine/graph/MixKernels.h"

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;

}  // namespace

CStereoSumMixer::CStereoSumMixer(const char* name, CDxFilterGraph* graph, IAudioProperties* properties, HRESULT* phr)
    : CBaseAudioMixer(name, graph, properties, CLSID_StereoSumMixer, phr)
{
}

HRESULT CStereoSumMixer::Create(CDxFilterGraph* graph, IAudioProperties* properties, const char* name,
                                CStereoSumMixer** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!graph)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    auto* mixer = new (std::nothrow) CStereoSumMixer(name, graph, properties, &hr);
    return FinishCreate(mixer, hr, out);
}

HRESULT CStereoSumMixer::CheckInputType(int, const AM_MEDIA_TYPE* mt)
{
    return CheckFloatAudioType(mt, WAVE_FORMAT_IEEE_FLOAT, 2);
}

HRESULT CStereoSumMixer::CheckOutputType(const AM_MEDIA_TYPE* mt)
{
    return CheckFloatAudioType(mt, WAVE_FORMAT_IEEE_FLOAT, 0);
}

void CStereoSumMixer::WrapStreamTime()
{
    const int rate = PositionRate();
    if (rate <= 0 || !m_graph)
        return;
    int on = 0;
    LONGLONG loopStart = 0, loopEnd = 0;
    if (FAILED(m_graph->GetLoop(&on, &loopStart, &loopEnd)) || !on)
        return;
    const LONGLONG length = loopEnd - loopStart;
    LONGLONG pos = (m_streamTime * rate + kUnitsPerSecond / 2) / kUnitsPerSecond;
    if (length <= 0 || pos < loopEnd)
        return;
    pos -= ((pos - loopEnd) / length + 1) * length;
    m_streamTime = pos * kUnitsPerSecond / rate;
}

void CStereoSumMixer::AddInput(float* dst, WORD outChannels, LONG frames, const Active& input, bool first)
{
    const LONG n = std::min(input.frames, frames);
    if (outChannels == 2) {
        if (first)
            MixCopy(dst, input.data, 2 * n);
        else
            MixAdd(dst, input.data, 2 * n);
    } else {
        if (first)
            MixFoldCopy(dst, input.data, n);
        else
            MixFoldAdd(dst, input.data, n);
    }
    // A short first input leaves the rest of the block silent.
    if (first && n < frames)
        std::memset(dst + outChannels * n, 0, static_cast<std::size_t>(outChannels * (frames - n)) * 4);
}

HRESULT CStereoSumMixer::Mix(IMediaSample** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;

    // One pass: the reference input (the first connected one holding a
    // block), discontinuities, and the inputs that are not silent.
    WrapStreamTime();
    CAudioMixerIPin* reference = nullptr;
    BOOL discontinuity = FALSE;
    int active = 0;
    for (CAudioMixerIPin* pin : m_ordered) {
        if (!pin->IsConnected())
            continue;
        IMediaSample* head = pin->Fifo().Head();
        if (!head) {
            if (pin->IsEnded())
                continue;
            return VFW_E_SAMPLE_REJECTED;
        }
        if (!reference)
            reference = pin;
        if (head->IsDiscontinuity() == S_OK) {
            REFERENCE_TIME start = 0, stop = 0;
            if (SUCCEEDED(head->GetTime(&start, &stop)))
                m_streamTime = start;
            discontinuity = TRUE;
        }
        IDeferZeroFill* face = pin->Fifo().HeadFace();
        if ((face && face->GetZeroFillPending()) || active == kMaxActive)
            continue;
        BYTE* data = nullptr;
        HRESULT hr = face ? face->GetPointerNoFill(&data) : head->GetPointer(&data);
        if (FAILED(hr))
            return hr;
        const LONG channels = pin->Channels() ? pin->Channels() : 2;
        m_active[active++] =
            Active{reinterpret_cast<const float*>(data), pin, head->GetActualDataLength() / (4 * channels)};
    }
    if (!reference)
        return S_OK;
    const WORD refChannels = reference->Channels();
    if (refChannels == 0)
        return E_UNEXPECTED;
    const LONG frames = reference->Fifo().Head()->GetActualDataLength() / (4 * refChannels);

    IMemAllocator* allocator = reference->PeekAllocator();
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    IMediaSample* sample = nullptr;
    HRESULT hr = allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    const WORD outChannels = m_outChannels == 1 ? 1 : 2;
    hr = sample->SetActualDataLength(outChannels * frames * 4);
    if (SUCCEEDED(hr) && discontinuity)
        hr = sample->SetDiscontinuity(TRUE);
    if (SUCCEEDED(hr) && active == 0) {
        // Nothing to add: the block is silence, passed as a flag.
        hr = MarkSilent(sample);
        if (SUCCEEDED(hr)) {
            *out = sample;
            return S_OK;
        }
    }
    BYTE* raw = nullptr;
    if (SUCCEEDED(hr))
        hr = GetWritePointer(sample, &raw);
    bool whole = true;
    for (int i = 0; SUCCEEDED(hr) && i < active; ++i) {
        const CAudioMixerIPin* pin = m_active[i].pin;
        if (pin->Channels() != 2 || pin->BitsPerSample() != 32)
            hr = E_UNEXPECTED;
        whole = whole && m_active[i].frames >= frames;
        m_sources[i] = m_active[i].data;
    }
    if (FAILED(hr)) {
        sample->Release();
        return hr;
    }
    float* dst = reinterpret_cast<float*>(raw);
    if (whole && outChannels == 2) {
        MixSum(dst, m_sources, active, 2 * frames);
    } else {
        for (int i = 0; i < active; ++i)
            AddInput(dst, outChannels, frames, m_active[i], i == 0);
    }
    *out = sample;
    return S_OK;
}
