#include "engine/graph/CAudioMixerIPin.h"

#include "engine/graph/CBaseAudioMixer.h"
#include "platform/sync/ThreadAffinity.h"

CAudioMixerIPin::CAudioMixerIPin(CBaseAudioMixer* mixer, CCritSec* lock, HRESULT* phr, LPCWSTR name, int number,
                                 CDxFilterGraph* graph)
    : CDxInputPin("CAudioMixerIPin", mixer, lock, phr, name, graph), m_mixer(mixer), m_number(number)
{
}

HRESULT CAudioMixerIPin::CheckMediaType(const CMediaType* mt) { return m_mixer->CheckInput(m_number, mt); }

HRESULT CAudioMixerIPin::SetMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    HRESULT hr = m_mixer->CheckInput(m_number, mt);
    if (FAILED(hr))
        return hr;
    hr = CDxInputPin::SetMediaType(mt);
    if (FAILED(hr))
        return hr;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    m_channels = wfx ? wfx->nChannels : 0;
    m_bits = wfx ? wfx->wBitsPerSample : 0;
    return S_OK;
}

HRESULT CAudioMixerIPin::CheckConnect(IPin* pin)
{
    if (m_mixer->OwnsPin(pin))
        return E_FAIL;
    return CDxInputPin::CheckConnect(pin);
}

HRESULT CAudioMixerIPin::CompleteConnect(IPin* receivePin)
{
    HRESULT hr = CDxInputPin::CompleteConnect(receivePin);
    m_mixer->RecountWaiting();
    return hr;
}

HRESULT CAudioMixerIPin::BreakConnect()
{
    m_mt.majortype = GUID_NULL;
    m_channels = 0;
    m_bits = 0;
    return CDxInputPin::BreakConnect();
}

HRESULT CAudioMixerIPin::Active()
{
    SetEnded(FALSE);
    return CDxInputPin::Active();
}

HRESULT CAudioMixerIPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types)
        return E_POINTER;
    *types = nullptr;
    const int count = m_mixer->GetPinCount() - 1;
    for (int n = 0; n < count; ++n) {
        CAudioMixerIPin* other = m_mixer->GetInputPin(n);
        if (other && other != this && other->IsConnected())
            return other->GetConnected()->EnumMediaTypes(types);
    }
    return E_UNEXPECTED;
}

HRESULT CAudioMixerIPin::Disconnect()
{
    CAutoLock lock(m_mixer->FilterLock());
    HRESULT hr = CDxInputPin::Disconnect();
    m_mixer->RecountWaiting();
    return hr;
}

HRESULT CAudioMixerIPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!sample)
        return E_POINTER;
    CTryLock lock(m_pLock);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    if (m_ended || m_pFilter->IsStopped())
        return S_FALSE;
    return m_mixer->Queue(this, sample);
}

HRESULT CAudioMixerIPin::EndOfStream()
{
    CAutoLock lock(m_pLock);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK)
        return hr;
    SetEnded(TRUE);
    if (m_fifo.Empty())
        m_mixer->InputEnded(m_number);
    return S_OK;
}

HRESULT CAudioMixerIPin::BeginFlush()
{
    HRESULT hr = CDxInputPin::BeginFlush();
    if (FAILED(hr))
        return hr;
    return m_mixer->BeginFlushAll();
}

HRESULT CAudioMixerIPin::EndFlush()
{
    HRESULT hr = m_mixer->EndFlushAll();
    if (FAILED(hr))
        return hr;
    {
        CAutoLock lock(m_pLock);
        SetEnded(FALSE);
    }
    return CDxInputPin::EndFlush();
}

void CAudioMixerIPin::SetEnded(BOOL ended)
{
    m_mixer->TrackWaiting(this, [&] { m_ended = ended; });
}
