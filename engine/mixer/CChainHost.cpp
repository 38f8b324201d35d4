#include "engine/mixer/CChainHost.h"

CChainHost::CChainHost(CHeapCriticalSection* lock) : m_chain(this, lock) {}

CChainHost::~CChainHost() = default;

HRESULT CChainHost::OnStart(LONGLONG time)
{
    for (int i = 0; i < m_chain.GetCount(); ++i) {
        IFxWrap* wrap = m_chain.GetAt(i);
        const HRESULT hr = wrap ? wrap->SynthStart(time) : S_OK;
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CChainHost::OnLoop(LONGLONG from, LONGLONG to)
{
    for (int i = 0; i < m_chain.GetCount(); ++i) {
        IFxWrap* wrap = m_chain.GetAt(i);
        const HRESULT hr = wrap ? wrap->SynthAdvance(from, to) : S_OK;
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CChainHost::OnStop(LONGLONG time)
{
    for (int i = 0; i < m_chain.GetCount(); ++i) {
        IFxWrap* wrap = m_chain.GetAt(i);
        const HRESULT hr = wrap ? wrap->SynthStop(time) : S_OK;
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
