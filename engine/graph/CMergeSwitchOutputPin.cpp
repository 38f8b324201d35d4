#include "engine/graph/CMergeSwitchOutputPin.h"

#include "engine/graph/CMergeSwitch.h"

CMergeSwitchOutputPin::CMergeSwitchOutputPin(CMergeSwitch* owner, HRESULT* phr, CDxFilterGraph* graph)
    : CDxOutputPin("CMergeSwitchOutputPin", owner, owner, phr, u"MergeSwitchOPin", graph), m_switch(owner)
{
}

HRESULT CMergeSwitchOutputPin::CheckMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    return CMergeSwitch::CheckSwitchType(mt);
}

HRESULT CMergeSwitchOutputPin::SetMediaType(const CMediaType* mt)
{
    if (const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat))
        m_channels = wfx->nChannels;
    return CDxOutputPin::SetMediaType(mt);
}

HRESULT CMergeSwitchOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*)
{
    for (int i = 0; i < m_switch->InputCount(); ++i) {
        CMergeSwitchInputPin* in = m_switch->InputPin(i);
        if (in->IsConnected())
            return RequestBlockBuffers(allocator, in->PeekAllocator(), 2, 0);
    }
    return E_FAIL;
}

IPin* CMergeSwitchOutputPin::TypeSourcePin()
{
    for (int i = 0; i < m_switch->InputCount(); ++i) {
        CMergeSwitchInputPin* in = m_switch->InputPin(i);
        if (in->IsConnected())
            return in->GetConnected();
    }
    return nullptr;
}
