#include "platform/media/CUnknown.h"

HRESULT AnswerFromTable(REFIID riid, void** ppv, std::initializer_list<MediaInterfaceEntry> table)
{
    if (!ppv)
        return E_POINTER;
    for (const MediaInterfaceEntry& e : table) {
        if (IsEqualGUID(*e.iid, riid)) {
            *ppv = e.itf;
            e.itf->AddRef();
            return S_OK;
        }
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

CUnknown::CUnknown(const char* objectName, IUnknown* outer) : m_objectName(objectName)
{
    m_face.self = this;
    m_owner = outer ? outer : &m_face;
}

CUnknown::~CUnknown() = default;

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    return AnswerFromTable(riid, ppv, {{&IID_IUnknown, &m_face}});
}

ULONG CUnknown::NonDelegatingAddRef()
{
    return static_cast<ULONG>(m_cRef.fetch_add(1, std::memory_order_relaxed) + 1);
}

ULONG CUnknown::NonDelegatingRelease()
{
    LONG left = m_cRef.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        // Guard against a re-entrant release from inside the destructor.
        m_cRef.store(1, std::memory_order_relaxed);
        delete this;
        return 0;
    }
    return static_cast<ULONG>(left);
}
