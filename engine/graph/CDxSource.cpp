#include "engine/graph/CDxSource.h"

#include <new>

#include "engine/graph/DxSampleOps.h"
#include "platform/sync/ThreadAffinity.h"

CDxSource::CDxSource(IUnknown* outer, CDxFilterGraph* graph)
    : CBaseFilter("CDxSource", outer, &m_lock, CLSID_DxSource), m_graph(graph)
{
}

CDxSource::~CDxSource()
{
    delete m_stream;
    if (m_allocator)
        m_allocator->Release();
}

HRESULT CDxSource::Create(IUnknown* outer, const WAVEFORMATEX* format, CDxFilterGraph* graph, CDxSource** out)
{
    if (!out || !format)
        return E_POINTER;
    *out = nullptr;
    if (format->wBitsPerSample != 32)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    auto* source = new (std::nothrow) CDxSource(outer, graph);
    if (source) {
        source->m_stream = new (std::nothrow) CDxSourceStream(source, &source->m_lock, &hr, format);
        if (!source->m_stream)
            hr = E_OUTOFMEMORY;
    }
    return FinishCreate(source, hr, out);
}

CBasePin* CDxSource::GetPin(int n) { return n == 0 ? m_stream : nullptr; }

HRESULT CDxSource::PushBuffer(REFERENCE_TIME start, const float* frames, LONG frameCount, BOOL discontinuity)
{
    MV_ASSERT_AUDIO_THREAD();
    return m_stream->PushBuffer(start, frames, frameCount, discontinuity);
}

void CDxSource::SetEnabled(BOOL enabled) { m_stream->SetEnabled(enabled); }

HRESULT CDxSource::SetAllocator(IUnknown* allocator)
{
    if (!allocator)
        return E_POINTER;
    IDeferZeroFillAllocator* face = nullptr;
    if (FAILED(allocator->QueryInterface(IID_IDeferZeroFillAllocator, reinterpret_cast<void**>(&face))))
        return S_FALSE;
    if (m_allocator)
        m_allocator->Release();
    // The query's reference becomes the kept one.
    m_allocator = static_cast<CDxAllocator*>(face);
    return S_OK;
}

BOOL CDxSource::IsConnected() const { return m_stream && m_stream->IsConnected(); }
