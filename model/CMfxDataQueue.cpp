#include "model/CMfxDataQueue.h"

#include <new>

CMfxDataQueue* CMfxDataQueue::Create() { return new (std::nothrow) CMfxDataQueue; }

std::span<const mvcom::InterfaceEntry> CMfxDataQueue::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {
        Entry<CMfxDataQueue, IMfxDataQueue>(IID_IMfxDataQueue),
    };
    return table;
}

STDMETHODIMP CMfxDataQueue::Add(const MfxData* record)
{
    if (!record)
        return E_POINTER;
    if (m_count >= kCapacity)
        return E_FAIL;
    m_records[m_count++] = *record;
    return S_OK;
}

STDMETHODIMP CMfxDataQueue::GetCount(int* count)
{
    if (!count)
        return E_POINTER;
    *count = m_count;
    return S_OK;
}

STDMETHODIMP CMfxDataQueue::GetAt(int index, MfxData* record)
{
    if (!record)
        return E_POINTER;
    if (index < 0 || index >= m_count)
        return E_INVALIDARG;
    *record = m_records[index];
    return S_OK;
}
