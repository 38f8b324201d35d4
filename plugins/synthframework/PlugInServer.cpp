#include "plugins/synthframework/PlugInServer.h"

#include <atomic>
#include <new>

#include "platform/media/CFilterMapper.h"
#include "platform/media/MediaTypes.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "plugins/synthframework/IAMovieSetup.h"

namespace mvsynth {

namespace {

std::atomic<long> g_moduleLocks{0};

class CClassFactory final : public IClassFactory {
public:
    explicit CClassFactory(const FactoryTemplate& entry) : m_entry(entry) { LockModule(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refCount;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        return m_entry.create(outer, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? LockModule() : UnlockModule();
        return S_OK;
    }

private:
    ~CClassFactory() { UnlockModule(); }

    const FactoryTemplate& m_entry;
    std::atomic<ULONG> m_refCount{0};
};

// A soft synth in the filter catalogue: one audio input and one audio
// output of any subtype, at a merit that no automatic graph building picks.
constexpr DWORD kSynthMerit = 0x200000;

HRESULT RegisterFilterSetup(const FactoryTemplate& entry, bool add)
{
    IFilterMapper* mapper = nullptr;
    HRESULT hr = CFilterMapper::CreateInstance(nullptr, IID_IFilterMapper, reinterpret_cast<void**>(&mapper));
    if (FAILED(hr))
        return hr;
    const CLSID clsid = *entry.clsid;
    if (!add) {
        hr = mapper->UnregisterFilter(clsid);
        mapper->Release();
        return hr;
    }
    std::u16string name;
    for (const char* p = entry.name; *p; ++p)
        name.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    hr = mapper->RegisterFilter(clsid, name.c_str(), kSynthMerit);
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPin(clsid, u"Input", FALSE, FALSE, FALSE, FALSE, GUID_NULL, u"Output");
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPinType(clsid, u"Input", MEDIATYPE_Audio, GUID_NULL);
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPin(clsid, u"Output", FALSE, TRUE, FALSE, FALSE, GUID_NULL, u"Input");
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPinType(clsid, u"Output", MEDIATYPE_Audio, GUID_NULL);
    mapper->Release();
    return hr;
}


// Asks a new instance of the class for its own registration step; a class
// without one, or a step that fails, changes nothing.
void CallMovieSetup(const FactoryTemplate& entry, bool registering)
{
    if (!entry.create)
        return;
    IUnknown* object = nullptr;
    if (FAILED(entry.create(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object))) || !object)
        return;
    IAMovieSetup* setup = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup))) && setup) {
        registering ? setup->Register() : setup->Unregister();
        setup->Release();
    }
    object->Release();
}

// The key and everything below it; a missing key is no error.
void DeleteCategoryKey(REFCLSID clsid)
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, CategoryKey(clsid).c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, CategoryKey(clsid).c_str());
}

HRESULT WriteCategoryKey(const FactoryTemplate& entry)
{
    HKEY key = nullptr;
    LONG err = RegCreateKeyExA(HKEY_CLASSES_ROOT, CategoryKey(*entry.clsid).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    const std::string description = entry.name;
    const char empty[] = "";
    const DWORD topic = 0;
    err = RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description.c_str()),
                         static_cast<DWORD>(description.size() + 1));
    if (err == ERROR_SUCCESS)
        err = RegSetValueExA(key, "HelpFilePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof empty);
    // The host reads the topic as a number: written as text it would find
    // no topic at all.
    if (err == ERROR_SUCCESS)
        err = RegSetValueExA(key, "HelpFileTopic", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&topic), sizeof topic);
    RegCloseKey(key);
    return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(err);
}

}  // namespace

std::string CategoryKey(REFCLSID clsid) { return std::string(MV_SYNTH_CATEGORY "\\") + mvwin::GuidToString(clsid); }

void LockModule() { ++g_moduleLocks; }
void UnlockModule() { --g_moduleLocks; }

}  // namespace mvsynth

using namespace mvsynth;

MV_COM_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const FactoryTemplate& entry : PlugInFactories()) {
        if (!IsEqualGUID(clsid, *entry.clsid))
            continue;
        auto* factory = new (std::nothrow) CClassFactory(entry);
        if (!factory)
            return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

MV_COM_EXPORT HRESULT DllCanUnloadNow() { return g_moduleLocks == 0 ? S_OK : S_FALSE; }

MV_COM_EXPORT HRESULT DllRegisterServer()
{
    const std::string path = mvcom::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (path.empty())
        return SELFREG_E_CLASS;
    for (const FactoryTemplate& entry : PlugInFactories()) {
        if (HRESULT hr = mvcom::RegisterInprocServer(*entry.clsid, entry.name, path.c_str()); FAILED(hr))
            return hr;
        if (entry.filterSetup)
            if (HRESULT hr = RegisterFilterSetup(entry, true); FAILED(hr))
                return hr;
    }
    for (const FactoryTemplate& entry : PlugInFactories()) {
        if (!entry.filterSetup)
            continue;
        CallMovieSetup(entry, true);
        if (!entry.categoryKey)
            continue;
        // A key that cannot be written ends the loop; the COM keys stand.
        if (FAILED(WriteCategoryKey(entry)))
            break;
    }
    return S_OK;
}

MV_COM_EXPORT HRESULT DllUnregisterServer()
{
    for (const FactoryTemplate& entry : PlugInFactories()) {
        if (entry.filterSetup) {
            RegisterFilterSetup(entry, false);  // a filter that is not catalogued is no error
            CallMovieSetup(entry, false);
        }
        if (HRESULT hr = mvcom::UnregisterInprocServer(*entry.clsid); FAILED(hr))
            return hr;
        DeleteCategoryKey(*entry.clsid);
    }
    return S_OK;
}
