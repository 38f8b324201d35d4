#include "platform/com/ComRuntime.h"

#include <atomic>
#include <dlfcn.h>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/CUnknownImpl.h"
#include "platform/com/InprocServer.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"

namespace {

using mvcom::CComPtr;

// The class factory of a built-in class registered by its creator function.
// Built-in classes live in the program, which never unloads, so LockServer
// has nothing to hold.
class CBuiltinClassFactory : public mvcom::CUnknownImpl<IClassFactory> {
public:
    explicit CBuiltinClassFactory(mvcom::ClassCreator creator) : m_creator(creator) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        HRESULT hr = m_creator(outer, riid, ppv);
        if (FAILED(hr))
            *ppv = nullptr;
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {Entry<CBuiltinClassFactory, IClassFactory>(IID_IClassFactory)};
        return table;
    }

private:
    mvcom::ClassCreator m_creator;
};

// A loaded in-process server. While `pins` is above zero a call into the
// library is under way (its DllGetClassObject, or a factory it returned
// making an object) and the library is not unloaded.
struct Library {
    void* handle;
    DllGetClassObjectFn getClassObject;
    DllCanUnloadNowFn canUnloadNow;  // null: never unloaded
    int pins;
};

// Recursive: a library's constructors or DllGetClassObject may create
// objects themselves while a library is being loaded.
struct Runtime {
    std::recursive_mutex lock;
    std::map<CLSID, CComPtr<IClassFactory>> builtins;
    std::list<Library> libraries;
    std::atomic<int> initialisations{0};
};

// Never destroyed: objects released during exit may still reach it.
Runtime& TheRuntime()
{
    static Runtime* runtime = new Runtime;
    return *runtime;
}

thread_local int t_initialisations = 0;

// The library registered for the class, from its InprocServer32 key.
HRESULT FindServerPath(REFCLSID clsid, std::string& path)
{
    const std::string keyPath = "CLSID\\" + mvwin::GuidToString(clsid) + "\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG err = RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + 1, 0);
    if (err == ERROR_SUCCESS && type == REG_SZ)
        err = RegQueryValueExA(key, nullptr, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS || type != REG_SZ)
        return CO_E_DLLNOTFOUND;
    path.assign(reinterpret_cast<const char*>(data.data()));
    return path.empty() ? CO_E_DLLNOTFOUND : S_OK;
}

// Loads the library (or finds it loaded) and pins it.
HRESULT PinLibrary(const std::string& path, Library*& pinned)
{
    Runtime& rt = TheRuntime();
    std::lock_guard guard(rt.lock);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return CO_E_DLLNOTFOUND;
    for (Library& lib : rt.libraries) {
        if (lib.handle == handle) {
            dlclose(handle);  // the table holds one reference already
            ++lib.pins;
            pinned = &lib;
            return S_OK;
        }
    }
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
    rt.libraries.push_back(Library{handle, getClassObject, canUnloadNow, 1});
    pinned = &rt.libraries.back();
    return S_OK;
}

void Unpin(Library* lib)
{
    if (!lib)
        return;
    std::lock_guard guard(TheRuntime().lock);
    --lib->pins;
}

// The class object, with the library it came from left pinned (null for a
// built-in class) so that the caller may still use it to make an object.
HRESULT PinnedClassObject(REFCLSID clsid, DWORD clsctx, REFIID riid, void** ppv, Library*& pinned)
{
    pinned = nullptr;
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(clsctx & CLSCTX_INPROC))
        return REGDB_E_CLASSNOTREG;

    Runtime& rt = TheRuntime();
    CComPtr<IClassFactory> builtin;
    {
        std::lock_guard guard(rt.lock);
        auto it = rt.builtins.find(clsid);
        if (it != rt.builtins.end())
            builtin = it->second;
    }
    if (builtin)
        return builtin->QueryInterface(riid, ppv);

    std::string path;
    HRESULT hr = FindServerPath(clsid, path);
    if (SUCCEEDED(hr))
        hr = PinLibrary(path, pinned);
    if (FAILED(hr))
        return hr;
    hr = pinned->getClassObject(clsid, riid, ppv);
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

HRESULT RegisterFactory(REFCLSID clsid, CComPtr<IClassFactory> factory)
{
    if (!factory)
        return E_POINTER;
    Runtime& rt = TheRuntime();
    std::unique_lock guard(rt.lock);
    CComPtr<IClassFactory>& slot = rt.builtins[clsid];
    bool replaced = static_cast<bool>(slot);
    std::swap(slot, factory);
    guard.unlock();  // the replaced factory is released outside the lock
    return replaced ? S_FALSE : S_OK;
}

}  // namespace

HRESULT CoInitialize(void* reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(void*, DWORD)
{
    ++TheRuntime().initialisations;
    return t_initialisations++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (t_initialisations == 0)
        return;
    --t_initialisations;
    if (--TheRuntime().initialisations == 0)
        CoFreeUnusedLibraries();
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void*, REFIID riid, void** ppv)
{
    Library* pinned = nullptr;
    HRESULT hr = PinnedClassObject(clsid, clsctx, riid, ppv, pinned);
    Unpin(pinned);
    return hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    Library* pinned = nullptr;
    CComPtr<IClassFactory> factory;
    HRESULT hr = PinnedClassObject(clsid, clsctx, IID_IClassFactory, factory.PutVoid(), pinned);
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(outer, riid, ppv);
        if (FAILED(hr))
            *ppv = nullptr;
        factory.Reset();
    }
    Unpin(pinned);
    return hr;
}

void CoFreeUnusedLibraries()
{
    Runtime& rt = TheRuntime();
    std::lock_guard guard(rt.lock);
    for (auto it = rt.libraries.begin(); it != rt.libraries.end();) {
        if (it->pins == 0 && it->canUnloadNow && it->canUnloadNow() == S_OK) {
            dlclose(it->handle);
            it = rt.libraries.erase(it);
        } else {
            ++it;
        }
    }
}

namespace mvcom {

HRESULT RegisterBuiltinClass(REFCLSID clsid, ClassCreator creator)
{
    if (!creator)
        return E_POINTER;
    CComPtr<IClassFactory> factory;
    factory.Attach(new (std::nothrow) CBuiltinClassFactory(creator));
    if (!factory)
        return E_OUTOFMEMORY;
    return RegisterFactory(clsid, std::move(factory));
}

HRESULT RegisterBuiltinClassFactory(REFCLSID clsid, IClassFactory* factory)
{
    return RegisterFactory(clsid, CComPtr<IClassFactory>(factory));
}

HRESULT UnregisterBuiltinClass(REFCLSID clsid)
{
    Runtime& rt = TheRuntime();
    CComPtr<IClassFactory> removed;
    {
        std::lock_guard guard(rt.lock);
        auto it = rt.builtins.find(clsid);
        if (it == rt.builtins.end())
            return S_FALSE;
        removed = std::move(it->second);
        rt.builtins.erase(it);
    }
    return S_OK;
}

}  // namespace mvcom
