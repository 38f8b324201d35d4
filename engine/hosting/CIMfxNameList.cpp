#include "engine/hosting/CIMfxNameList.h"

#include <algorithm>
#include <cstring>

HRESULT CopyNameText(const CString& text, char* buffer, LONG size)
{
    if (buffer == nullptr || size < 1)
        return E_POINTER;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(text.GetLength()),
                                                static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.GetString(), n);
    buffer[n] = 0;
    return S_OK;
}

CIMfxNameList::CIMfxNameList(const MfxNameListRecord* record) : m_record(record) {}

STDMETHODIMP CIMfxNameList::QueryInterface(REFIID iid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMfxNameList) {
        *ppv = static_cast<IMfxNameList*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CIMfxNameList::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) CIMfxNameList::Release()
{
    const LONG left = --m_refs;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CIMfxNameList::GetTitle(char* buffer, LONG size) { return CopyNameText(m_record->title, buffer, size); }

STDMETHODIMP CIMfxNameList::GetCount(LONG* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = static_cast<LONG>(m_record->names.size());
    return S_OK;
}

STDMETHODIMP CIMfxNameList::GetName(LONG index, char* buffer, LONG size)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_record->names.size())
        return E_INVALIDARG;
    return CopyNameText(m_record->names[static_cast<std::size_t>(index)], buffer, size);
}
