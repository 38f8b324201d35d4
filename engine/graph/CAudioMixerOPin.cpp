#include "engine/graph/CAudioMixerOPin.h"

#include "engine/graph/CBaseAudioMixer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxInputPin.h"

CAudioMixerOPin::CAudioMixerOPin(CBaseAudioMixer* mixer, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin("CAudioMixerOPin", mixer, lock, phr, u"MixerOutput"), m_mixer(mixer)
{
}

HRESULT CAudioMixerOPin::CheckMediaType(const CMediaType* mt) { return m_mixer->CheckOutput(mt); }

HRESULT CAudioMixerOPin::SetMediaType(const CMediaType* mt)
{
    HRESULT hr = CBaseOutputPin::SetMediaType(mt);
    if (SUCCEEDED(hr))
        m_mixer->OnOutputTypeSet(*mt);
    return hr;
}

HRESULT CAudioMixerOPin::GetMediaType(int position, CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    CDxFilterGraph* graph = m_mixer->Graph();
    if (!graph || position > 1)
        return VFW_S_NO_MORE_ITEMS;
    // Position 0 is stereo, falling back to mono; position 1 is mono.
    for (WORD channels = position == 0 ? 2 : 1; channels >= 1; --channels) {
        graph->BuildFloatType(mt, channels);
        if (m_mixer->CheckOutputType(mt) == S_OK)
            return S_OK;
    }
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT CAudioMixerOPin::CheckConnect(IPin* pin)
{
    if (m_mixer->OwnsPin(pin))
        return E_FAIL;
    return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CAudioMixerOPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props)
{
    if (!IsConnected())
        return VFW_E_NOT_CONNECTED;
    return m_mixer->DecideOutputBuffers(allocator, props);
}

HRESULT CAudioMixerOPin::InitAllocator(IMemAllocator** allocator)
{
    return CDxInputPin::MakeAllocator(m_mixer->Graph(), allocator);
}
