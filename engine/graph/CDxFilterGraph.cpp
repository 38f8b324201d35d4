#include "engine/graph/CDxFilterGraph.h"

#include <new>

#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxSource.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"
#include "model/CKelPersistArchive.h"
#include "platform/com/ComRuntime.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

IPin* FindPin(IBaseFilter* filter, int n, PIN_DIRECTION wanted)
{
    if (!filter || n < 0)
        return nullptr;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || !pins)
        return nullptr;
    IPin* found = nullptr;
    IPin* pin = nullptr;
    ULONG got = 0;
    while (!found && pins->Next(1, &pin, &got) == S_OK && got == 1) {
        PIN_INFO info{};
        if (SUCCEEDED(pin->QueryPinInfo(&info))) {
            if (info.pFilter)
                info.pFilter->Release();
            if (info.dir == wanted && n-- == 0)
                found = pin;
        }
        pin->Release();  // the filter keeps its pins alive
    }
    pins->Release();
    return found;
}

}  // namespace

CDxFilterGraph::CDxFilterGraph(HRESULT* phr)
{
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(&m_graph));
    m_lock = new (std::nothrow) CHeapCriticalSection;
    if (SUCCEEDED(hr) && !m_lock)
        hr = E_OUTOFMEMORY;
    if (m_graph) {
        HRESULT qhr = m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control));
        if (SUCCEEDED(hr))
            hr = qhr;
    }
    if (phr)
        *phr = hr;
}

CDxFilterGraph::~CDxFilterGraph()
{
    Stop();
    if (m_control)
        m_control->Release();
    if (m_graph)
        m_graph->Release();
    delete m_lock;
}

HRESULT CDxFilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name)
{
    MV_ASSERT_UI_THREAD();
    if (!m_graph)
        return E_UNEXPECTED;
    HRESULT hr = m_graph->AddFilter(filter, name);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDxFilterGraph::RemoveFilter(IBaseFilter* filter)
{
    MV_ASSERT_UI_THREAD();
    if (!m_graph)
        return E_UNEXPECTED;
    HRESULT hr = m_graph->RemoveFilter(filter);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDxFilterGraph::Connect(IBaseFilter* from, int outIndex, IBaseFilter* to, int inIndex,
                                const AM_MEDIA_TYPE* mt)
{
    if (outIndex < 0 || !from || !to)
        return E_INVALIDARG;
    return ConnectFound(FindOutputPin(from, outIndex), FindInputPin(to, inIndex), mt);
}

HRESULT CDxFilterGraph::ConnectToPin(IBaseFilter* from, int outIndex, IPin* in, const AM_MEDIA_TYPE* mt)
{
    if (outIndex < 0 || !from || !in)
        return E_INVALIDARG;
    return ConnectFound(FindOutputPin(from, outIndex), in, mt);
}

HRESULT CDxFilterGraph::ConnectFromPin(IPin* out, IBaseFilter* to, int inIndex, const AM_MEDIA_TYPE* mt)
{
    if (!out || !to)
        return E_INVALIDARG;
    return ConnectFound(out, FindInputPin(to, inIndex), mt);
}

HRESULT CDxFilterGraph::ConnectFound(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt)
{
    // A pin index past the last pin finds nothing: the caller's mistake.
    if (!out || !in)
        return E_INVALIDARG;
    HRESULT hr = ConnectPins(out, in, mt);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDxFilterGraph::ConnectPins(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt)
{
    MV_ASSERT_UI_THREAD();
    if (!m_graph)
        return E_UNEXPECTED;
    if (mt)
        return m_graph->ConnectDirect(out, in, mt);
    CMediaType attempt;
    BuildFloatType(&attempt, 2);
    HRESULT hr = m_graph->ConnectDirect(out, in, &attempt);
    if (SUCCEEDED(hr))
        return hr;
    BuildFloatType(&attempt, 1);
    hr = m_graph->ConnectDirect(out, in, &attempt);
    if (SUCCEEDED(hr))
        return hr;
    BuildPcm16MediaType(&attempt, 1, static_cast<DWORD>(GetSampleRate()));
    return m_graph->ConnectDirect(out, in, &attempt);
}

IPin* CDxFilterGraph::FindOutputPin(IBaseFilter* filter, int n) { return FindPin(filter, n, PINDIR_OUTPUT); }

IPin* CDxFilterGraph::FindInputPin(IBaseFilter* filter, int n) { return FindPin(filter, n, PINDIR_INPUT); }

HRESULT CDxFilterGraph::SetSyncSource(IReferenceClock* clock)
{
    if (!m_graph)
        return E_UNEXPECTED;
    IMediaFilter* mf = nullptr;
    HRESULT hr = m_graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mf));
    if (FAILED(hr))
        return hr;
    hr = mf->SetSyncSource(clock);
    mf->Release();
    return hr;
}

HRESULT CDxFilterGraph::SetSampleRate(int rate)
{
    m_sampleRate.store(rate);
    return S_OK;
}

HRESULT CDxFilterGraph::SetBlockFrames(int frames)
{
    if (frames < 1)
        return E_INVALIDARG;
    m_blockFrames.store(frames);
    return S_OK;
}

HRESULT CDxFilterGraph::SetLoop(int on, LONGLONG startSamples, LONGLONG endSamples)
{
    if (on) {
        m_loopStart.store(startSamples);
        m_loopEnd.store(endSamples);
    }
    m_loopOn.store(on);
    return S_OK;
}

HRESULT CDxFilterGraph::GetLoop(int* on, LONGLONG* startSamples, LONGLONG* endSamples) const
{
    if (!on)
        return E_POINTER;
    *on = m_loopOn.load();
    if (startSamples)
        *startSamples = m_loopStart.load();
    if (endSamples)
        *endSamples = m_loopEnd.load();
    return S_OK;
}

HRESULT CDxFilterGraph::Run()
{
    MV_ASSERT_UI_THREAD();
    if (!m_control || !m_lock)
        return E_FAIL;
    m_lock->Lock();
    HRESULT hr = m_control->Run();
    m_lock->Unlock();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDxFilterGraph::Stop()
{
    MV_ASSERT_UI_THREAD();
    if (!m_control || !m_lock)
        return E_FAIL;
    m_lock->Lock();
    HRESULT hr = m_control->Stop();
    m_lock->Unlock();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDxFilterGraph::CreateAllocator(IMemAllocator** out)
{
    if (!out)
        return E_POINTER;
    CDxAllocator* allocator = nullptr;
    HRESULT hr = CreateDxAllocator(&allocator);
    *out = allocator;
    return hr;
}

HRESULT CDxFilterGraph::CreateSource(CDxSource** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CMediaType mt;
    BuildFloatType(&mt, 2);
    CDxSource* source = nullptr;
    HRESULT hr = CDxSource::Create(nullptr, reinterpret_cast<const WAVEFORMATEX*>(mt.Format()), this, &source);
    if (FAILED(hr))
        return hr;
    IMemAllocator* allocator = nullptr;
    hr = CreateAllocator(&allocator);
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    source->SetAllocator(allocator);
    allocator->Release();
    *out = source;
    return S_OK;
}

HRESULT CDxFilterGraph::CreateBufRenderer(CDxBufRenderer** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CDxBufRenderer* renderer = nullptr;
    HRESULT hr = CDxBufRenderer::Create(&renderer);
    if (FAILED(hr))
        return hr;
    IMemAllocator* allocator = nullptr;
    hr = CreateAllocator(&allocator);
    if (FAILED(hr)) {
        renderer->Release();
        return hr;
    }
    renderer->InputPin()->SetAllocator(allocator);
    allocator->Release();
    *out = renderer;
    return S_OK;
}

HRESULT CDxFilterGraph::PersistFilterState(IUnknown* filter, CKelPersistArchive* archive)
{
    if (!filter || !archive)
        return E_POINTER;
    IPersistStream* persist = nullptr;
    if (FAILED(filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))))
        return S_FALSE;
    // The archive calls only Load and Save, which the two interfaces keep in
    // the same slots.
    HRESULT hr = archive->PersistObject(reinterpret_cast<IPersistStreamInit*>(persist));
    persist->Release();
    return FAILED(hr) ? hr : S_OK;
}

void CDxFilterGraph::BuildFloatType(CMediaType* mt, WORD channels) const
{
    BuildFloatMediaType(mt, channels, static_cast<DWORD>(GetSampleRate()));
}
