#include "engine/graph/CDxBufRenderer.h"

#include <new>

CDxBufRenderer::CDxBufRenderer() : CBaseFilter(nullptr, nullptr, &m_lock, CLSID_DxBufRenderer) {}

CDxBufRenderer::~CDxBufRenderer()
{
    SetHeldSample(nullptr);
    delete m_pin;
}

HRESULT CDxBufRenderer::Create(CDxBufRenderer** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    auto* renderer = new (std::nothrow) CDxBufRenderer;
    if (renderer) {
        renderer->m_pin = new (std::nothrow) CDxBufRendererInputPin(renderer, &renderer->m_lock, &hr);
        if (!renderer->m_pin)
            hr = E_OUTOFMEMORY;
    }
    return FinishCreate(renderer, hr, out);
}

CBasePin* CDxBufRenderer::GetPin(int n)
{
    CAutoLock lock(&m_lock);
    return n == 0 ? m_pin : nullptr;
}

HRESULT CDxBufRenderer::GetRenderedBuffer(float** data, LONG* frames)
{
    if (!data || !frames)
        return E_POINTER;
    if (!m_held || m_format.nBlockAlign == 0)
        return E_FAIL;
    BYTE* p = nullptr;
    HRESULT hr = m_held->GetPointer(&p);
    if (FAILED(hr))
        return hr;
    *data = reinterpret_cast<float*>(p);
    *frames = m_held->GetActualDataLength() / m_format.nBlockAlign;
    return S_OK;
}

BOOL CDxBufRenderer::ReleaseSample()
{
    if (!m_held)
        return TRUE;
    m_held->Release();
    m_held = nullptr;
    return FALSE;
}

void CDxBufRenderer::SetHeldSample(IMediaSample* sample)
{
    if (sample == m_held)
        return;
    if (sample)
        sample->AddRef();
    if (m_held)
        m_held->Release();
    m_held = sample;
}
