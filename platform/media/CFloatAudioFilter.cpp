#include "platform/media/CFloatAudioFilter.h"

CFloatAudioFilter::CFloatAudioFilter(const char* objectName, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(objectName, outer, &m_lock, clsid), m_input(this, &m_lock, nullptr),
      m_output(this, &m_lock, nullptr)
{
}

CBasePin* CFloatAudioFilter::GetPin(int n)
{
    if (n == 0)
        return &m_input;
    return n == 1 ? &m_output : nullptr;
}

HRESULT CFloatAudioFilter::CheckFloatType(const AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return E_POINTER;
    if (!mt->pbFormat || mt->cbFormat < sizeof(WAVEFORMATEX) || !IsEqualGUID(mt->majortype, MEDIATYPE_Audio) ||
        !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) || mt->bTemporalCompression)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (wfx->wFormatTag != WAVE_FORMAT_IEEE_FLOAT || wfx->wBitsPerSample != 32 || wfx->nSamplesPerSec == 0)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return (wfx->nChannels == 1 || wfx->nChannels == 2) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFloatAudioFilter::CheckInputType(const CMediaType* mt) { return CheckFloatType(mt); }

HRESULT CFloatAudioFilter::CheckOutputType(const CMediaType* mt) { return CheckFloatType(mt); }

LONG CFloatAudioFilter::OutputBufferBytes(LONG inputBytes)
{
    const LONG in = m_input.Format().nChannels;
    const LONG out = m_output.Format().nChannels ? m_output.Format().nChannels : 2;
    if (inputBytes <= 0 || in == 0)
        return kDefaultFrames * 4 * out;
    return (inputBytes / in + 3) / 4 * 4 * out;
}

HRESULT CFloatAudioFilter::ReceiveBlock(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    CTryLock lock(&m_lock);
    if (!lock.Locked())
        return VFW_E_WRONG_STATE;
    HRESULT hr = m_input.CheckStreaming();
    if (hr != S_OK)
        return hr;
    return Transform(sample);
}
