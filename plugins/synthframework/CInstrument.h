// The names a soft synth gives its banks, patches, notes and controllers.
// Each list is made on first request, titled with the instrument's name and
// a suffix, and kept until the instrument goes; an instrument that names
// things overrides the Create operations and fills the lists it makes.
//
// Threads: the host's control thread; the lists are made under the
// instrument's own lock; the count is a plain counter.
#pragma once

#include <map>
#include <string>

#include "platform/media/CCritSec.h"
#include "plugins/synthframework/CStringMap.h"

namespace mvsynth {

class CInstrument : public IMfxInstrument {
public:
    static constexpr LONG kListSize = 128;
    static constexpr LONG kParamListSize = 0x3FFF;

    explicit CInstrument(std::string name);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetName(char* buffer, LONG size) override;
    STDMETHODIMP GetBankMethods(DWORD** methods, LONG* count) override;
    STDMETHODIMP IsSpecialPatch(LONG bank, LONG patch) override;
    STDMETHODIMP IsValidPatch(LONG bank, LONG patch) override;
    STDMETHODIMP GetPatchNames(LONG bank, IMfxNameList** list) override;
    STDMETHODIMP GetNoteNames(LONG bank, LONG patch, IMfxNameList** list) override;
    STDMETHODIMP GetControllerNames(IMfxNameList** list) override;
    STDMETHODIMP GetRpnNames(IMfxNameList** list) override;
    STDMETHODIMP GetNrpnNames(IMfxNameList** list) override;

protected:
    virtual ~CInstrument();
    virtual HRESULT CreatePatchNames(LONG bank);
    virtual HRESULT CreateNoteNames(LONG bank, LONG patch);
    virtual HRESULT CreateControllerNames();
    virtual HRESULT CreateRpnNames();
    virtual HRESULT CreateNrpnNames();

    HRESULT MakeList(const char* suffix, LONG size, CStringMap** slot);
    // Lets every list go; the next request makes it anew. Under m_lock.
    void DropLists();
    static DWORD NoteKey(LONG bank, LONG patch)
    {
        return static_cast<DWORD>(bank) << 16 | (static_cast<DWORD>(patch) & 0xFFFF);
    }

    CCritSec m_lock;
    ULONG m_refCount = 0;
    std::string m_name;
    CStringMap* m_controllers = nullptr;
    CStringMap* m_rpns = nullptr;
    CStringMap* m_nrpns = nullptr;
    std::map<LONG, CStringMap*> m_patches;
    std::map<DWORD, CStringMap*> m_notes;
};

}  // namespace mvsynth
