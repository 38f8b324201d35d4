#include "engine/mixer/CParamCallbackProxy.h"

#include <new>

#include "platform/sync/ThreadAffinity.h"

CParamCallbackProxy::CParamCallbackProxy(CControlParamSet* owner, const GroupKey& key) : m_owner(owner), m_key(key) {}

STDMETHODIMP CParamCallbackProxy::QueryInterface(REFIID iid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMediaParamsUICallback) {
        *ppv = static_cast<IMediaParamsUICallback*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CParamCallbackProxy::AddRef()
{
    const LONG owner = m_owned.load() ? 1 : 0;
    return static_cast<ULONG>(++m_refs - owner);
}

STDMETHODIMP_(ULONG) CParamCallbackProxy::Release()
{
    // While the set owns the relay, a plug-in letting go of it never deletes
    // it, and a release too many takes nothing from the set's share.
    const LONG owner = m_owned.load() ? 1 : 0;
    LONG left = m_refs.load();
    while (left > owner && !m_refs.compare_exchange_weak(left, left - 1)) {
    }
    if (left <= owner)
        return 0;
    if (left == 1 && owner == 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(left - 1 - owner);
}

HRESULT CParamCallbackProxy::RelayTouch(const DWORD* indices, DWORD count, bool begin)
{
    MV_ASSERT_UI_THREAD();
    if (m_owner == nullptr)
        return E_UNEXPECTED;
    ParamGroup group{};
    m_owner->ListGroupParams(m_key, nullptr, nullptr, &group);
    if (count > group.count)
        return E_UNEXPECTED;
    if (count > 0 && indices == nullptr)
        return E_POINTER;
    for (DWORD i = 0; i < count; ++i) {
        const DWORD id = group.first + indices[i];
        if (begin)
            m_owner->BeginTouch(id, CControlParamSet::kTouchPlugInEditor);
        else
            m_owner->EndTouch(id, CControlParamSet::kTouchPlugInEditor);
    }
    return S_OK;
}

STDMETHODIMP CParamCallbackProxy::ParamsBeginCapture(DWORD* indices, DWORD count)
{
    return RelayTouch(indices, count, true);
}

STDMETHODIMP CParamCallbackProxy::ParamsChanged(DWORD* indices, DWORD count, MP_DATA* values)
{
    MV_ASSERT_UI_THREAD();
    if (m_owner == nullptr)
        return E_UNEXPECTED;
    const HRESULT hr = m_owner->SetGroupValuesFromPlugIn(m_key, indices, count, values);
    return FAILED(hr) ? hr : S_OK;
}

STDMETHODIMP CParamCallbackProxy::ParamsEndCapture(DWORD* indices, DWORD count)
{
    return RelayTouch(indices, count, false);
}

HRESULT CreateParamCallbackProxy(CControlParamSet* owner, const GroupKey& key, CParamCallbackProxy** proxy)
{
    if (proxy == nullptr)
        return E_POINTER;
    *proxy = nullptr;
    if (owner == nullptr)
        return E_INVALIDARG;
    *proxy = new (std::nothrow) CParamCallbackProxy(owner, key);
    return *proxy ? S_OK : E_OUTOFMEMORY;
}

void DestroyParamCallbackProxy(CParamCallbackProxy* proxy)
{
    if (proxy == nullptr)
        return;
    proxy->m_owner = nullptr;
    proxy->m_owned.store(false);
    // The set's share: the last reference deletes the relay.
    if (--proxy->m_refs == 0)
        delete proxy;
}
