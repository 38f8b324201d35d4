#include "engine/hosting/CIMfxNameListSet.h"

#include <new>

CIMfxNameListSet::CIMfxNameListSet(const MfxNameListMap* map) : m_map(map) {}

MfxNameListMap& CIMfxNameListSet::SharedMap()
{
    static MfxNameListMap map;
    return map;
}

STDMETHODIMP CIMfxNameListSet::QueryInterface(REFIID iid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMfxNameListSet) {
        *ppv = static_cast<IMfxNameListSet*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CIMfxNameListSet::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) CIMfxNameListSet::Release()
{
    const LONG left = --m_refs;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CIMfxNameListSet::GetCount(LONG* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = static_cast<LONG>(m_map->size());
    return S_OK;
}

STDMETHODIMP CIMfxNameListSet::GetNameList(LONG index, IMfxNameList** list)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_map->size())
        return E_INVALIDARG;
    if (list == nullptr)
        return E_POINTER;
    *list = nullptr;
    auto it = m_map->begin();
    for (LONG i = 0; i < index && it != m_map->end(); ++i)
        ++it;
    if (it == m_map->end())
        return E_UNEXPECTED;
    *list = new (std::nothrow) CIMfxNameList(&it->second);
    return *list ? S_OK : E_OUTOFMEMORY;
}
