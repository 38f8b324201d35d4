#include "engine/graph/CSimpleTee.h"

#include <new>

CSimpleTeeInputPin::CSimpleTeeInputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph)
    : CFanOutInputPin("CSimpleTeeInputPin", owner, phr, u"SimpleTee_IPin", graph)
{
}

CSimpleTeeOutputPin::CSimpleTeeOutputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph)
    : CFanOutOutputPin("CSimpleTeeOutputPin", owner, phr, u"MergeSwitchOPin", graph)
{
}

CSimpleTee::CSimpleTee(CDxFilterGraph* graph) : CFanOutFilter("CSimpleTee", graph, CLSID_SimpleTee) {}

HRESULT CSimpleTee::Create(CDxFilterGraph* graph, int outputs, CSimpleTee** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outputs < 0)
        return E_INVALIDARG;
    auto* tee = new (std::nothrow) CSimpleTee(graph);
    HRESULT hr = tee ? tee->MakePins<CSimpleTeeInputPin, CSimpleTeeOutputPin>(outputs) : S_OK;
    return FinishCreate(tee, hr, out);
}

HRESULT CSimpleTee::CheckPinType(const CBasePin*, const CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || mt->bTemporalCompression || !mt->pbFormat ||
        mt->cbFormat < sizeof(WAVEFORMATEX))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    const bool pcm16 = (wfx->wFormatTag == WAVE_FORMAT_PCM || wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE) &&
                       wfx->wBitsPerSample == 16;
    const bool float32 = wfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && wfx->wBitsPerSample == 32;
    if (!pcm16 && !float32)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return (wfx->nChannels == 1 || wfx->nChannels == 2) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}
