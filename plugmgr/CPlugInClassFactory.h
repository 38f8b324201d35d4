// The class object COM gets for one template: it makes the template's
// wrapper around its factory's processing object.
#pragma once

#include <atomic>

#include "CActiveMovieManager.h"
#include "platform/com/Unknown.h"

class CPlugInClassFactory final : public IClassFactory {
public:
    CPlugInClassFactory(CActiveMovieManager::Kind kind, int slot) : m_kind(kind), m_slot(slot) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CActiveMovieManager::Kind m_kind;
    int m_slot;
    std::atomic<ULONG> m_refs{0};
};
