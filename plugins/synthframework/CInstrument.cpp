#include "plugins/synthframework/CInstrument.h"

#include <cstring>
#include <new>

#include "platform/com/TaskMemory.h"

namespace mvsynth {

namespace {
bool ValidBank(LONG bank) { return bank >= -1 && bank <= 16383; }
bool ValidPatch(LONG patch) { return patch >= -1 && patch <= 127; }

HRESULT HandOut(CStringMap* list, IMfxNameList** out)
{
    if (!list)
        return E_FAIL;
    list->AddRef();
    *out = list;
    return S_OK;
}
}  // namespace

CInstrument::CInstrument(std::string name) : m_name(std::move(name)) {}

CInstrument::~CInstrument() { DropLists(); }

void CInstrument::DropLists()
{
    for (CStringMap** l : {&m_controllers, &m_rpns, &m_nrpns})
        if (*l) {
            (*l)->Release();
            *l = nullptr;
        }
    for (auto& [key, l] : m_patches)
        if (l)
            l->Release();
    for (auto& [key, l] : m_notes)
        if (l)
            l->Release();
    m_patches.clear();
    m_notes.clear();
}

HRESULT CInstrument::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMfxInstrument)) {
        *ppv = static_cast<IMfxInstrument*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CInstrument::Release()
{
    const ULONG left = --m_refCount;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CInstrument::GetName(char* buffer, LONG size)
{
    // A subclass may rename the instrument from another thread.
    CAutoLock lock(&m_lock);
    if (!buffer || size < static_cast<LONG>(m_name.size()) + 1)
        return E_POINTER;
    std::memcpy(buffer, m_name.c_str(), m_name.size() + 1);
    return S_OK;
}

HRESULT CInstrument::GetBankMethods(DWORD** methods, LONG* count)
{
    CAutoLock lock(&m_lock);
    if (!methods || !count)
        return E_POINTER;
    auto* array = static_cast<DWORD*>(CoTaskMemAlloc(sizeof(DWORD)));
    if (!array)
        return E_OUTOFMEMORY;
    array[0] = 0;
    *methods = array;
    *count = 1;
    return S_OK;
}

HRESULT CInstrument::IsSpecialPatch(LONG bank, LONG patch)
{
    return ValidBank(bank) && ValidPatch(patch) ? S_FALSE : E_INVALIDARG;
}

HRESULT CInstrument::IsValidPatch(LONG bank, LONG patch)
{
    return ValidBank(bank) && ValidPatch(patch) ? S_OK : E_INVALIDARG;
}

HRESULT CInstrument::GetPatchNames(LONG bank, IMfxNameList** list)
{
    CAutoLock lock(&m_lock);
    if (!ValidBank(bank))
        return E_INVALIDARG;
    if (!list)
        return E_POINTER;
    *list = nullptr;
    CreatePatchNames(bank);
    auto it = m_patches.find(bank);
    return HandOut(it == m_patches.end() ? nullptr : it->second, list);
}

HRESULT CInstrument::GetNoteNames(LONG bank, LONG patch, IMfxNameList** list)
{
    CAutoLock lock(&m_lock);
    if (!ValidBank(bank))
        return E_INVALIDARG;
    if (!list)
        return E_POINTER;
    *list = nullptr;
    CreateNoteNames(bank, patch);
    auto it = m_notes.find(NoteKey(bank, patch));
    HRESULT hr = HandOut(it == m_notes.end() ? nullptr : it->second, list);
    return FAILED(hr) ? hr : S_FALSE;
}

HRESULT CInstrument::GetControllerNames(IMfxNameList** list)
{
    CAutoLock lock(&m_lock);
    if (!list)
        return E_POINTER;
    *list = nullptr;
    if (HRESULT hr = CreateControllerNames(); FAILED(hr))
        return hr;
    return HandOut(m_controllers, list);
}

HRESULT CInstrument::GetRpnNames(IMfxNameList** list)
{
    CAutoLock lock(&m_lock);
    if (!list)
        return E_POINTER;
    *list = nullptr;
    if (HRESULT hr = CreateRpnNames(); FAILED(hr))
        return hr;
    return HandOut(m_rpns, list);
}

HRESULT CInstrument::GetNrpnNames(IMfxNameList** list)
{
    CAutoLock lock(&m_lock);
    if (!list)
        return E_POINTER;
    *list = nullptr;
    if (HRESULT hr = CreateNrpnNames(); FAILED(hr))
        return hr;
    return HandOut(m_nrpns, list);
}

HRESULT CInstrument::MakeList(const char* suffix, LONG size, CStringMap** slot)
{
    CAutoLock lock(&m_lock);
    if (*slot)
        return S_OK;
    auto* list = new (std::nothrow) CStringMap(m_name + suffix, size);
    if (!list)
        return E_OUTOFMEMORY;
    list->AddRef();
    *slot = list;
    return S_OK;
}

HRESULT CInstrument::CreatePatchNames(LONG bank) { return MakeList(" Patches", kListSize, &m_patches[bank]); }

HRESULT CInstrument::CreateNoteNames(LONG bank, LONG patch)
{
    return MakeList(" Notes", kListSize, &m_notes[NoteKey(bank, patch)]);
}

HRESULT CInstrument::CreateControllerNames() { return MakeList(" Controllers", kListSize, &m_controllers); }
HRESULT CInstrument::CreateRpnNames() { return MakeList(" RPNs", kParamListSize, &m_rpns); }
HRESULT CInstrument::CreateNrpnNames() { return MakeList(" NRPNs", kParamListSize, &m_nrpns); }

}  // namespace mvsynth
