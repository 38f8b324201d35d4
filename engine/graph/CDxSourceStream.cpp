#include "engine/graph/CDxSourceStream.h"

#include <cstring>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"

// The base pin takes the stream's own lock as its pin lock; it is only
// constructed after the base, so the base keeps the address until then.
CDxSourceStream::CDxSourceStream(CDxSource* filter, CCritSec* filterLock, HRESULT* phr, const WAVEFORMATEX* format)
    : CBaseOutputPin("CDxSourceStream", filter, &m_streamLock, phr, u"Plug-in src"), m_filterLock(filterLock),
      m_format(*format), m_source(filter)
{
}

HRESULT CDxSourceStream::CheckMediaType(const CMediaType* mt) { return CheckSourceFloatType(mt); }

HRESULT CDxSourceStream::SetMediaType(const CMediaType* mt)
{
    if (mt->pbFormat && mt->cbFormat >= sizeof(WAVEFORMATEX))
        std::memcpy(&m_format, mt->pbFormat, sizeof(WAVEFORMATEX));
    CBaseOutputPin::SetMediaType(mt);
    return S_OK;
}

HRESULT CDxSourceStream::GetMediaType(int position, CMediaType* mt)
{
    CAutoLock lock(m_filterLock);
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    BuildFloatMediaType(mt, m_format.nChannels, m_format.nSamplesPerSec);
    mt->SetFormat(reinterpret_cast<const BYTE*>(&m_format), sizeof m_format);
    return S_OK;
}

HRESULT CDxSourceStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    CAutoLock lock(m_filterLock);
    CDxFilterGraph* graph = m_source->Graph();
    if (!graph)
        return E_UNEXPECTED;
    props->cBuffers = 2;
    props->cbBuffer = graph->GetBlockFrames() * 8 + 32;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(props, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer < props->cbBuffer ? E_FAIL : S_OK;
}

bool CDxSourceStream::AcceptsInputAllocator(IMemAllocator* allocator) { return IsDxAllocator(allocator, nullptr); }

HRESULT CDxSourceStream::InitAllocator(IMemAllocator** allocator)
{
    if (!allocator)
        return E_POINTER;
    *allocator = m_source->FallbackAllocator();
    if (!*allocator)
        return VFW_E_NO_ALLOCATOR;
    (*allocator)->AddRef();
    return S_OK;
}

HRESULT CDxSourceStream::PushBuffer(REFERENCE_TIME start, const float* frames, LONG frameCount, BOOL discontinuity)
{
    CTryLock lock(&m_streamLock);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    if (frameCount < 0)
        return E_INVALIDARG;
    IMediaSample* sample = nullptr;
    HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    sample->SetTime(&start, nullptr);
    sample->SetDiscontinuity(discontinuity);
    const long long length = static_cast<long long>(m_format.nBlockAlign) * frameCount;
    if (length > sample->GetSize()) {
        sample->Release();
        return VFW_E_BUFFER_OVERFLOW;
    }
    if (!frames || !m_enabled) {
        hr = MarkSilent(sample);
    } else {
        BYTE* p = nullptr;
        hr = GetWritePointer(sample, &p);
        if (SUCCEEDED(hr))
            std::memcpy(p, frames, static_cast<std::size_t>(length));
    }
    if (SUCCEEDED(hr))
        hr = sample->SetActualDataLength(static_cast<LONG>(length));
    if (SUCCEEDED(hr))
        hr = Deliver(sample);
    sample->Release();
    return hr;
}

void CDxSourceStream::SetEnabled(BOOL enabled)
{
    CAutoLock lock(&m_streamLock);
    m_enabled = enabled;
}
