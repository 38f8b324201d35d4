// The IUnknown part of a COM object: an atomic reference count that deletes
// the object with its last Release, and QueryInterface answered from a table
// of the interfaces the class implements.
//
// A class lists its interfaces once, in InterfaceTable (a function, so the
// table is built where the class is complete):
//
//   class CThing : public mvcom::CUnknownImpl<IStream, IPersist> {
//       std::span<const mvcom::InterfaceEntry> InterfaceTable() const override {
//           static const mvcom::InterfaceEntry t[] = {
//               Entry<CThing, IStream>(IID_IStream),
//               Entry<CThing, ISequentialStream>(IID_ISequentialStream),
//               Entry<CThing, IPersist>(IID_IPersist)};
//           return t;
//       }
//   };
//
// IID_IUnknown answers the first entry's interface, so every request for
// IUnknown gives the same pointer (COM identity). A failed QueryInterface
// nulls the out-pointer and returns E_NOINTERFACE; a null out-pointer is
// E_POINTER; a success AddRefs. AddRef, Release and QueryInterface may be
// called from any thread.
#pragma once

#include <atomic>
#include <span>

#include "platform/com/Unknown.h"

namespace mvcom {

struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(void* object);  // the object's interface part
};

// QueryInterface over a table; `object` is what the table's casts expect.
HRESULT QueryInterfaceFromTable(void* object, std::span<const InterfaceEntry> table, REFIID riid, void** ppv);

template <class... Bases>
class CUnknownImpl : public Bases... {
public:
    CUnknownImpl() = default;
    CUnknownImpl(const CUnknownImpl&) = delete;
    CUnknownImpl& operator=(const CUnknownImpl&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return QueryInterfaceFromTable(static_cast<CUnknownImpl*>(this), InterfaceTable(), riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~CUnknownImpl() = default;
    virtual std::span<const InterfaceEntry> InterfaceTable() const = 0;

    // One table row: `Interface`, a base of `Object`, answered for `iid`.
    // `Object` is the class whose table it is, or one of its bases.
    template <class Object, class Interface>
    static InterfaceEntry Entry(REFIID iid)
    {
        return {&iid, [](void* self) -> IUnknown* {
                    return static_cast<Interface*>(static_cast<Object*>(static_cast<CUnknownImpl*>(self)));
                }};
    }

private:
    std::atomic<ULONG> m_refs{1};  // the creator holds the first reference
};

}  // namespace mvcom
