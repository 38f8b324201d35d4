#include "engine/graph/CDxBufRendererInputPin.h"

#include <cstring>

#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"
#include "platform/sync/ThreadAffinity.h"

CDxBufRendererInputPin::CDxBufRendererInputPin(CDxBufRenderer* filter, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin("CDxBufRendererInputPin", filter, lock, phr, u"In"), m_renderer(filter)
{
}

CDxBufRendererInputPin::~CDxBufRendererInputPin()
{
    if (m_preset)
        m_preset->Release();
}

HRESULT CDxBufRendererInputPin::CheckMediaType(const CMediaType* mt) { return CheckRendererFloatType(mt); }

HRESULT CDxBufRendererInputPin::SetMediaType(const CMediaType* mt)
{
    WAVEFORMATEX wfx{};
    if (mt->pbFormat)
        std::memcpy(&wfx, mt->pbFormat, std::min<std::size_t>(mt->cbFormat, sizeof wfx));
    m_renderer->SetFormat(wfx);
    CBaseInputPin::SetMediaType(mt);
    return S_OK;
}

HRESULT CDxBufRendererInputPin::GetAllocator(IMemAllocator** allocator)
{
    if (!allocator)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_preset) {
        *allocator = m_preset;
        m_preset->AddRef();
        return S_OK;
    }
    return CBaseInputPin::GetAllocator(allocator);
}

HRESULT CDxBufRendererInputPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    CTryLock lock(m_pLock);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    if (!sample)
        return S_FALSE;
    m_renderer->SetHeldSample(IsZeroFillPending(sample) ? nullptr : sample);
    return S_OK;
}

HRESULT CDxBufRendererInputPin::SetAllocator(IMemAllocator* allocator)
{
    if (allocator != m_preset) {
        if (allocator)
            allocator->AddRef();
        if (m_preset)
            m_preset->Release();
        m_preset = allocator;
    }
    return S_OK;
}
