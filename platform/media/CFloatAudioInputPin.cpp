#include "platform/media/CFloatAudioInputPin.h"

#include <cstring>

#include "platform/media/CFloatAudioFilter.h"
#include "platform/sync/ThreadAffinity.h"

CFloatAudioInputPin::CFloatAudioInputPin(CFloatAudioFilter* owner, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin("CFloatAudioInputPin", owner, lock, phr, u"In"), m_owner(owner)
{
}

HRESULT CFloatAudioInputPin::CheckMediaType(const CMediaType* mt) { return m_owner->CheckInputType(mt); }

HRESULT CFloatAudioInputPin::SetMediaType(const CMediaType* mt)
{
    HRESULT hr = m_owner->CheckInputType(mt);
    if (hr != S_OK)
        return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    hr = CBaseInputPin::SetMediaType(mt);
    if (SUCCEEDED(hr))
        std::memcpy(&m_format, mt->pbFormat, sizeof m_format);
    return hr;
}

HRESULT CFloatAudioInputPin::BreakConnect()
{
    m_format = WAVEFORMATEX{};
    return CBaseInputPin::BreakConnect();
}

HRESULT CFloatAudioInputPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    return m_owner->ReceiveBlock(sample);
}

HRESULT CFloatAudioInputPin::EndOfStream()
{
    CAutoLock lock(m_pLock);
    return m_owner->OutputPin()->DeliverEndOfStream();
}

HRESULT CFloatAudioInputPin::BeginFlush()
{
    HRESULT hr = CBaseInputPin::BeginFlush();
    return FAILED(hr) ? hr : m_owner->OutputPin()->DeliverBeginFlush();
}

HRESULT CFloatAudioInputPin::EndFlush()
{
    HRESULT hr = m_owner->OutputPin()->DeliverEndFlush();
    return FAILED(hr) ? hr : CBaseInputPin::EndFlush();
}

HRESULT CFloatAudioInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    CBaseInputPin::NewSegment(start, stop, rate);
    return m_owner->OutputPin()->DeliverNewSegment(start, stop, rate);
}
