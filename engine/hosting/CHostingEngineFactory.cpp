#include "engine/hosting/CHostingEngineFactory.h"

#include "engine/hosting/CMfxHostSite.h"

HRESULT CHostingEngineFactory::CreateMfxHostSite(IMfxSiteEngine* engine, IMfxHostSite** site)
{
    if (!site)
        return E_POINTER;
    *site = nullptr;
    if (!engine)
        return E_INVALIDARG;
    CMfxHostSite* made = nullptr;
    HRESULT hr = ::CreateMfxHostSite(engine, &made);
    if (FAILED(hr))
        return hr;
    *site = made;
    return S_OK;
}
