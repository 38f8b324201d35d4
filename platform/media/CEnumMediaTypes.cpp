#include "platform/media/CEnumMediaTypes.h"

#include <new>

#include "platform/media/CBasePin.h"

CEnumMediaTypes* CEnumMediaTypes::Create(CBasePin* pin, ULONG position)
{
    auto* e = new (std::nothrow) CEnumMediaTypes(pin, position);
    if (e)
        e->NonDelegatingAddRef();
    return e;
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, ULONG position)
    : CUnknown("CEnumMediaTypes", nullptr), m_pin(pin), m_position(position)
{
    m_pin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pin->Release(); }

HRESULT CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv, {{&IID_IEnumMediaTypes, static_cast<IEnumMediaTypes*>(this)}});
    return hr == E_NOINTERFACE ? CUnknown::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched)
{
    if (!types || (!fetched && count != 1))
        return E_POINTER;
    ULONG got = 0;
    while (got < count) {
        CMediaType mt;
        if (m_pin->GetMediaType(static_cast<int>(m_position), &mt) != S_OK)
            break;
        AM_MEDIA_TYPE* copy = CreateMediaType(&mt);
        if (!copy) {
            while (got > 0)
                DeleteMediaType(types[--got]);
            if (fetched)
                *fetched = 0;
            return E_OUTOFMEMORY;
        }
        types[got++] = copy;
        ++m_position;
    }
    if (fetched)
        *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG count)
{
    while (count > 0) {
        CMediaType mt;
        if (m_pin->GetMediaType(static_cast<int>(m_position), &mt) != S_OK)
            return S_FALSE;
        ++m_position;
        --count;
    }
    return S_OK;
}

HRESULT CEnumMediaTypes::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = Create(m_pin, m_position);
    return *clone ? S_OK : E_OUTOFMEMORY;
}
