// Owns one reference to a COM interface: released when the pointer goes out
// of scope or is overwritten. Not thread-safe itself; the object's count is.
//
//   mvcom::CComPtr<IStream> stream;
//   CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());   // takes the new reference
//   mvcom::CComPtr<IUnknown> unknown(stream.Get());        // AddRefs
#pragma once

#include <utility>

#include "platform/com/Unknown.h"

namespace mvcom {

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(T* p) : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    CComPtr(const CComPtr& o) : CComPtr(o.m_p) {}
    CComPtr(CComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~CComPtr() { Reset(); }

    CComPtr& operator=(CComPtr o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases what is held and gives the slot to a function that returns
    // a new reference through a T** out-parameter.
    T** Put()
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Takes over a reference the caller owns, without AddRef.
    void Attach(T* p)
    {
        Reset();
        m_p = p;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }

    void Reset()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

private:
    T* m_p = nullptr;
};

}  // namespace mvcom
