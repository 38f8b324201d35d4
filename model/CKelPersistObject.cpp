#include "model/CKelPersistObject.h"

CKelPersistObject::CKelPersistObject(DWORD versionWord) : CKelPersistCOMObject(versionWord), m_refs(0) {}

CKelPersistObject::CKelPersistObject(const CKelPersistObject& other)
    : CKelPersistCOMObject(other), m_refs(other.m_refs.load())
{
}

CKelPersistObject& CKelPersistObject::operator=(const CKelPersistObject& other)
{
    CKelPersistCOMObject::operator=(other);
    return *this;
}

STDMETHODIMP CKelPersistObject::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersistStreamInit) {
        *ppv = static_cast<IPersistStreamInit*>(this);
        AddRef();
        return S_OK;
    }
    // Persistent objects answer unknown interfaces with E_NOTIMPL; the
    // out-pointer is still nulled so that no caller keeps a stale pointer.
    *ppv = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP_(ULONG) CKelPersistObject::AddRef() { return m_refs.fetch_add(1) + 1; }

STDMETHODIMP_(ULONG) CKelPersistObject::Release() { return m_refs.fetch_sub(1) - 1; }
