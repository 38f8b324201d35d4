#include "CPlugInClassFactory.h"

#include "CPlugInObjects.h"

HRESULT CPlugInClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CPlugInClassFactory::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CPlugInClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualGUID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    IUnknown* object = CActiveMovieManager::CreateWrapper(m_kind, m_slot, outer, &hr);
    if (!object)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

HRESULT CPlugInClassFactory::LockServer(BOOL lock)
{
    CPlugInObjects::Lock(lock != FALSE);
    return S_OK;
}
