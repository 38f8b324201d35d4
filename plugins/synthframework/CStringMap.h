// One titled list of names the host reads through the instrument: patches
// of a bank, notes of a patch, controllers, RPNs or NRPNs. A list has a
// declared size (its slots) and names in some of them; an instrument that
// names nothing leaves it titled and empty.
//
// Threads: the host's control thread only; the count is a plain counter.
#pragma once

#include <map>
#include <string>

#include "plugins/synthframework/MfxSynth.h"

namespace mvsynth {

class CStringMap final : public IMfxNameList2 {
public:
    CStringMap(std::string title, LONG size);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTitle(char* buffer, LONG size) override;
    STDMETHODIMP GetSize(LONG* size) override;
    STDMETHODIMP GetNameAt(LONG index, char* buffer, LONG size) override;
    STDMETHODIMP GetNameCount(LONG* count) override;
    STDMETHODIMP Reserved7(DWORD) override { return S_FALSE; }
    STDMETHODIMP Reserved8(DWORD, DWORD, DWORD, DWORD) override { return S_FALSE; }
    STDMETHODIMP LookupName(LONG key, char* buffer, LONG size) override;

    // An instrument fills its lists with this.
    void SetName(DWORD index, std::string name) { m_names[index] = std::move(name); }

private:
    ~CStringMap() = default;

    ULONG m_refCount = 0;
    std::string m_title;
    LONG m_size;
    std::map<DWORD, std::string> m_names;
};

}  // namespace mvsynth
