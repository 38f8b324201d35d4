#include "plugins/synthframework/CFilterOutputPin.h"

#include <algorithm>

#include "platform/media/AllocatorRequest.h"
#include "platform/media/MediaTypes.h"
#include "plugins/synthframework/CFilter.h"

namespace mvsynth {

namespace {
// Frames of an output buffer when the input does not tell.
constexpr LONG kDefaultFrames = 8192;
}

CFilterOutputPin::CFilterOutputPin(CFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name, DWORD id)
    : CBaseOutputPin("CFilterOutputPin", filter, lock, phr, name), m_filter(filter), m_id(id)
{
}

const WAVEFORMATEX* CFilterOutputPin::Format() const
{
    const CMediaType& mt = CurrentMediaType();
    if (!mt.pbFormat || mt.cbFormat < sizeof(WAVEFORMATEX))
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
}

HRESULT CFilterOutputPin::CheckMediaType(const CMediaType* mt)
{
    if (m_checking)
        return S_OK;
    CFilterInputPin* in = m_filter->InputPin();
    if (!in->IsConnected())
        return VFW_E_NOT_CONNECTED;
    m_checking = true;
    HRESULT hr = m_filter->IsFormatAcceptable(true, mt, m_id);
    if (hr == S_OK)
        hr = m_filter->IsTransformAcceptable(&in->CurrentMediaType(), mt, m_id);
    m_checking = false;
    return hr == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFilterOutputPin::SetMediaType(const CMediaType* mt)
{
    if (!m_filter->InputPin()->IsConnected())
        return VFW_E_NOT_CONNECTED;
    HRESULT hr = CBaseOutputPin::SetMediaType(mt);
    if (FAILED(hr))
        return hr;
    return m_filter->SetFormat(true, mt, m_id);
}

HRESULT CFilterOutputPin::GetMediaType(int position, CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    CFilterInputPin* in = m_filter->InputPin();
    if (!in->IsConnected() || position > 0)
        return VFW_S_NO_MORE_ITEMS;
    WAVEFORMATEX wfx = *reinterpret_cast<const WAVEFORMATEX*>(in->CurrentMediaType().pbFormat);
    wfx.cbSize = 0;
    if (HRESULT hr = m_filter->Instrument()->AdjustPinFormat(&wfx, m_id); FAILED(hr))
        return hr;
    mt->InitMediaType();
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = wfx.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = wfx.nBlockAlign;
    mt->SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof wfx);
    return S_OK;
}

HRESULT CFilterOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    ALLOCATOR_PROPERTIES request = *props;
    CFilterInputPin* in = m_filter->InputPin();
    ALLOCATOR_PROPERTIES input{};
    if (in->IsConnected() && in->Allocator() && SUCCEEDED(in->Allocator()->GetProperties(&input))) {
        request = input;
        const WORD inChannels = m_filter->Instrument()->GetInputFormat()->nChannels;
        const WORD outChannels = Format() ? Format()->nChannels : m_filter->Instrument()->GetOutputFormat()->nChannels;
        if (inChannels == 1 && outChannels == 2)
            request.cbBuffer *= 2;
    } else {
        request.cbBuffer = kDefaultFrames * std::max<WORD>(1, m_filter->OutputAlign(this));
    }
    request.cBuffers = std::max<LONG>(2, request.cBuffers);
    request.cbAlign = std::max<LONG>(1, request.cbAlign);
    return RequestBuffers(allocator, request);
}

}  // namespace mvsynth
