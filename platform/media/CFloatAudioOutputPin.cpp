#include "platform/media/CFloatAudioOutputPin.h"

#include <algorithm>
#include <cstring>

#include "platform/media/AllocatorRequest.h"
#include "platform/media/CFloatAudioFilter.h"

CFloatAudioOutputPin::CFloatAudioOutputPin(CFloatAudioFilter* owner, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin("CFloatAudioOutputPin", owner, lock, phr, u"Out"), m_owner(owner)
{
}

HRESULT CFloatAudioOutputPin::CheckMediaType(const CMediaType* mt) { return m_owner->CheckOutputType(mt); }

HRESULT CFloatAudioOutputPin::SetMediaType(const CMediaType* mt)
{
    HRESULT hr = m_owner->CheckOutputType(mt);
    if (hr != S_OK)
        return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    hr = CBaseOutputPin::SetMediaType(mt);
    if (SUCCEEDED(hr))
        std::memcpy(&m_format, mt->pbFormat, sizeof m_format);
    return hr;
}

HRESULT CFloatAudioOutputPin::GetMediaType(int position, CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    const DWORD rate = m_owner->InputPin()->Format().nSamplesPerSec;
    if (position > 1 || rate == 0)
        return VFW_S_NO_MORE_ITEMS;
    const WORD channels = position == 0 ? 2 : 1;
    const WORD align = static_cast<WORD>(4 * channels);
    mt->InitMediaType();
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_IEEE_FLOAT;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = align;
    const WAVEFORMATEX wfx{WAVE_FORMAT_IEEE_FLOAT, channels, rate, rate * align, align, 32, 0};
    mt->SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof wfx);
    return S_OK;
}

HRESULT CFloatAudioOutputPin::BreakConnect()
{
    m_format = WAVEFORMATEX{};
    return CBaseOutputPin::BreakConnect();
}

HRESULT CFloatAudioOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    LONG inputBytes = 0;
    ALLOCATOR_PROPERTIES in{};
    if (IMemAllocator* upstream = m_owner->InputPin()->Allocator(); upstream && SUCCEEDED(upstream->GetProperties(&in)))
        inputBytes = in.cbBuffer;
    ALLOCATOR_PROPERTIES request = *props;
    request.cBuffers = std::max<LONG>(2, request.cBuffers);
    request.cbBuffer = m_owner->OutputBufferBytes(inputBytes);
    request.cbAlign = std::max<LONG>(1, request.cbAlign);
    return RequestBuffers(allocator, request);
}
