// An in-process server with one class, CLSID_TestCounter, implementing
// ICounter. It may unload when no counter object, held class factory or
// server lock is left.
#include <atomic>
#include <new>

#include "platform/com/CUnknownImpl.h"
#include "platform/com/InprocServer.h"
#include "tests/platform/com/servers/CounterServer.h"

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

class CCounter : public mvcom::CUnknownImpl<ICounter> {
public:
    CCounter() { ++g_objects; }

    STDMETHODIMP_(LONG) Increment() override { return ++m_count; }

protected:
    ~CCounter() override { --g_objects; }
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {Entry<CCounter, ICounter>(IID_ICounter)};
        return table;
    }

private:
    LONG m_count = 0;
};

// One static factory; a reference to it holds the server like a lock does.
class CCounterFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        static const mvcom::InterfaceEntry table[] = {
            {&IID_IClassFactory, [](void* self) -> IUnknown* { return static_cast<CCounterFactory*>(self); }}};
        return mvcom::QueryInterfaceFromTable(this, table, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++g_locks); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--g_locks); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* counter = new (std::nothrow) CCounter;
        if (!counter)
            return E_OUTOFMEMORY;
        HRESULT hr = counter->QueryInterface(riid, ppv);
        counter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

CCounterFactory g_factory;

}  // namespace

MV_COM_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_TestCounter)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

MV_COM_EXPORT HRESULT DllCanUnloadNow()
{
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

MV_COM_EXPORT HRESULT DllRegisterServer()
{
    std::string path = mvcom::ModulePathOf(&g_factory);
    if (path.empty())
        return SELFREG_E_CLASS;
    return mvcom::RegisterInprocServer(CLSID_TestCounter, kTestCounterDescription, path.c_str());
}

MV_COM_EXPORT HRESULT DllUnregisterServer()
{
    return mvcom::UnregisterInprocServer(CLSID_TestCounter);
}
