#include "engine/graph/FloatAudioType.h"

namespace {

void BuildAudioType(CMediaType* mt, WORD tag, WORD bits, WORD channels, DWORD rate)
{
    const WORD align = static_cast<WORD>(channels * bits / 8);
    mt->InitMediaType();
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_PCM;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->bFixedSizeSamples = TRUE;
    mt->bTemporalCompression = FALSE;
    mt->lSampleSize = align;
    const WAVEFORMATEX wfx{tag, channels, rate, rate * align, align, bits, 0};
    mt->SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof wfx);
}

// The checks all the tests share, up to the format tag.
HRESULT CheckCommon(const AM_MEDIA_TYPE* mt, bool readFormatType, const WAVEFORMATEX** wfx)
{
    if (!mt || !mt->pbFormat || mt->cbFormat < sizeof(WAVEFORMATEX))
        return E_INVALIDARG;
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio))
        return E_INVALIDARG;
    if (readFormatType && !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx))
        return E_INVALIDARG;
    if (mt->bTemporalCompression)
        return E_INVALIDARG;
    if (!mt->bFixedSizeSamples)
        return E_INVALIDARG;
    *wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    return S_OK;
}

HRESULT CheckFloat(const AM_MEDIA_TYPE* mt, bool readFormatType)
{
    const WAVEFORMATEX* wfx = nullptr;
    HRESULT hr = CheckCommon(mt, readFormatType, &wfx);
    if (FAILED(hr))
        return hr;
    if (wfx->wFormatTag != WAVE_FORMAT_IEEE_FLOAT || wfx->wBitsPerSample != 32)
        return E_INVALIDARG;
    return (wfx->nChannels == 1 || wfx->nChannels == 2) ? S_OK : E_INVALIDARG;
}

}  // namespace

void BuildFloatMediaType(CMediaType* mt, WORD channels, DWORD rate)
{
    BuildAudioType(mt, WAVE_FORMAT_IEEE_FLOAT, 32, channels, rate);
}

void BuildPcm16MediaType(CMediaType* mt, WORD channels, DWORD rate)
{
    BuildAudioType(mt, WAVE_FORMAT_PCM, 16, channels, rate);
}

HRESULT CheckSourceFloatType(const AM_MEDIA_TYPE* mt) { return CheckFloat(mt, false); }

HRESULT CheckRendererFloatType(const AM_MEDIA_TYPE* mt) { return CheckFloat(mt, true); }

HRESULT CheckFloatAudioType(const AM_MEDIA_TYPE* mt, WORD tag, WORD channels)
{
    const WAVEFORMATEX* wfx = nullptr;
    HRESULT hr = CheckCommon(mt, true, &wfx);
    if (FAILED(hr))
        return hr;
    if (wfx->wFormatTag != tag)
        return E_INVALIDARG;
    if (wfx->wBitsPerSample != (tag == WAVE_FORMAT_PCM ? 16 : 32))
        return E_INVALIDARG;
    return (channels == 0 || wfx->nChannels == channels) ? S_OK : E_INVALIDARG;
}
