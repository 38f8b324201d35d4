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

STDMETHODIMP_(ULONG) CParamCallbackProxy::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) CParamCallbackProxy::Release()
{
    // The set owns the relay: a plug-in letting go of it never deletes it.
    LONG left = m_refs.load();
    while (left > 0 && !m_refs.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0 ? static_cast<ULONG>(left - 1) : 0;
}

HRESULT CParamCallbackProxy::RelayTouch(const DWORD* indices, DWORD count, bool begin)
{
    MV_ASSERT_UI_THREAD();
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

void DestroyParamCallbackProxy(CParamCallbackProxy* proxy) { delete proxy; }
