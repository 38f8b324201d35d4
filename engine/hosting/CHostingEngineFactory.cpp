#include "engine/hosting/CHostingEngineFactory.h"

#include <new>

#include "engine/CTransport.h"

#include "engine/hosting/CClipboard.h"
#include "engine/hosting/CDragAndDropClipboard.h"
#include "engine/hosting/CMfxHostSite.h"
#include "engine/hosting/CRecorder.h"
#include "engine/hosting/CHostedRewireDevice.h"

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

ITransportRecorder* CHostingEngineFactory::CreateRecorder()
{
    // The recorder sizes its take queue when it is made.
    try {
        return new CRecorder();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

ITransportClipboard* CHostingEngineFactory::CreateClipboard() { return new (std::nothrow) CClipboard(); }

ITransportClipboard* CHostingEngineFactory::CreateDragAndDropClipboard()
{
    return new (std::nothrow) CDragAndDropClipboard();
}

IRewireDevice* CHostingEngineFactory::CreateRewireDevice(IEngineOwner* owner)
{
    auto* transport = dynamic_cast<CTransport*>(owner);
    return transport ? new (std::nothrow) CHostedRewireDevice(*transport) : nullptr;
}
