#include "platform/media/CEnumPins.h"

#include <new>

#include "platform/media/CBaseFilter.h"

CEnumPins* CEnumPins::Create(CBaseFilter* filter, int position)
{
    auto* e = new (std::nothrow) CEnumPins(filter, position);
    if (e)
        e->NonDelegatingAddRef();
    return e;
}

CEnumPins::CEnumPins(CBaseFilter* filter, int position)
    : CUnknown("CEnumPins", nullptr), m_filter(filter), m_position(position)
{
    m_filter->AddRef();
}

CEnumPins::~CEnumPins() { m_filter->Release(); }

HRESULT CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv, {{&IID_IEnumPins, static_cast<IEnumPins*>(this)}});
    return hr == E_NOINTERFACE ? CUnknown::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched)
{
    if (!pins || (!fetched && count != 1))
        return E_POINTER;
    ULONG got = 0;
    while (got < count && m_position < m_filter->GetPinCount()) {
        CBasePin* pin = m_filter->GetPin(m_position++);
        if (!pin)
            continue;
        pins[got] = pin;
        pin->AddRef();
        ++got;
    }
    if (fetched)
        *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG count)
{
    const int left = m_filter->GetPinCount() - m_position;
    if (static_cast<long long>(count) > left) {
        m_position = m_filter->GetPinCount();
        return S_FALSE;
    }
    m_position += static_cast<int>(count);
    return S_OK;
}

HRESULT CEnumPins::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = Create(m_filter, m_position);
    return *clone ? S_OK : E_OUTOFMEMORY;
}
