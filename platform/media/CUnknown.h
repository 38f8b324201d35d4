// Reference counting and interface lookup for the media objects, with
// aggregation: an object made inside an outer object hands every IUnknown
// call to the outer one, and answers its own interfaces only through the
// non-delegating face that the outer one holds.
//
// Counts are atomic; an object is deleted by the release that takes its count
// to zero. A new object starts at zero: its creator takes the first reference.
#pragma once

#include <atomic>
#include <initializer_list>

#include "platform/com/Unknown.h"

struct INonDelegatingUnknown {
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;
};

// One row of an object's interface table: the identifier and the object seen
// through that interface.
struct MediaInterfaceEntry {
    const IID* iid;
    IUnknown* itf;
};

// Answers riid from the table: AddRefs and returns the matching interface, or
// nulls *ppv and returns E_NOINTERFACE (E_POINTER for a null ppv).
HRESULT AnswerFromTable(REFIID riid, void** ppv, std::initializer_list<MediaInterfaceEntry> table);

class CUnknown : public INonDelegatingUnknown {
public:
    CUnknown(const char* objectName, IUnknown* outer);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    // The IUnknown that callers see: the outer object, or this one's own face.
    IUnknown* GetOwner() const { return m_owner; }
    const char* ObjectName() const { return m_objectName; }

    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

protected:
    std::atomic<LONG> m_cRef{0};

private:
    // The non-delegating face as an IUnknown, handed to an outer object.
    struct Face final : IUnknown {
        CUnknown* self = nullptr;
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return self->NonDelegatingQueryInterface(riid, ppv); }
        STDMETHODIMP_(ULONG) AddRef() override { return self->NonDelegatingAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return self->NonDelegatingRelease(); }
    };

    const char* m_objectName;
    Face m_face;
    IUnknown* m_owner;
};

// The IUnknown methods of a class derived from CUnknown: all go to the owner.
#define DECLARE_IUNKNOWN                                                                   \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override                          \
    {                                                                                      \
        return GetOwner()->QueryInterface(riid, ppv);                                      \
    }                                                                                      \
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }                \
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

// The last step of making a CUnknown-derived object with new (std::nothrow):
// E_OUTOFMEMORY for a null object; otherwise the first reference is taken, and
// given up again (deleting the object) when `hr`, its constructor's report,
// is a failure. *out gets the object or null.
template <class T>
HRESULT FinishCreate(T* object, HRESULT hr, T** out)
{
    *out = nullptr;
    if (!object)
        return E_OUTOFMEMORY;
    object->NonDelegatingAddRef();
    if (FAILED(hr)) {
        object->NonDelegatingRelease();
        return hr;
    }
    *out = object;
    return S_OK;
}
