#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>

#include "platform/com/CComPtr.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ComStream.h"
#include "platform/com/InprocServer.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "tests/platform/com/servers/CounterServer.h"
#include "tests/support/TempDir.h"

namespace {

using mvcom::CComPtr;

MV_DEFINE_GUID(kUnregistered, 0x0D5E3C70, 0x1A2B, 0x4C3D, 0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65);
MV_DEFINE_GUID(kOther, 0x0D5E3C71, 0x1A2B, 0x4C3D, 0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65);
MV_DEFINE_GUID(kMissingLibrary, 0x0D5E3C72, 0x1A2B, 0x4C3D, 0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65);
MV_DEFINE_GUID(kNotALibrary, 0x0D5E3C73, 0x1A2B, 0x4C3D, 0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65);
MV_DEFINE_GUID(kNoPath, 0x0D5E3C74, 0x1A2B, 0x4C3D, 0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65);

std::string Canonical(const char* path)
{
    return std::filesystem::canonical(path).string();
}

// True while the library is in the process. Asking with RTLD_NOLOAD adds a
// reference when it is, which is given back at once.
bool IsLoaded(const char* path)
{
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

std::string ReadString(const std::string& keyPath, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    LONG err = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return err == ERROR_SUCCESS && type == REG_SZ ? std::string(buffer) : "<no value>";
}

struct RegsvrResult {
    int exitCode;
    std::string output;
};

// Every test runs against a registry of its own, which regsvr (a child
// process) shares through the environment.
class ComRuntime : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("MORVANE_REGISTRY", hives.Path().c_str(), 1);
        mvreg::ReloadHives();
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        unsetenv("MORVANE_REGISTRY");
        mvreg::ReloadHives();
    }

    RegsvrResult Regsvr(const std::string& args)
    {
        std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " 2>&1";
        RegsvrResult result{-1, {}};
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return result;
        std::array<char, 256> chunk{};
        while (std::size_t n = fread(chunk.data(), 1, chunk.size(), pipe))
            result.output.append(chunk.data(), n);
        int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        mvreg::ReloadHives();  // see what the child wrote
        return result;
    }

    void RegisterCounter()
    {
        RegsvrResult r = Regsvr(std::string("'") + MVTEST_COUNTER_SERVER + "'");
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }

    mvtest::TempDir hives;
};

TEST_F(ComRuntime, RegsvrWritesAndRemovesTheServerKeys)
{
    const std::string key = "CLSID\\" + mvwin::GuidToString(CLSID_TestCounter);
    RegisterCounter();
    EXPECT_EQ(ReadString(key, nullptr), kTestCounterDescription);
    EXPECT_EQ(ReadString(key + "\\InprocServer32", nullptr), Canonical(MVTEST_COUNTER_SERVER));
    EXPECT_EQ(ReadString(key + "\\InprocServer32", "ThreadingModel"), "Both");

    RegisterCounter();  // again: the same keys, nothing more
    EXPECT_EQ(ReadString(key + "\\InprocServer32", nullptr), Canonical(MVTEST_COUNTER_SERVER));

    RegsvrResult r = Regsvr(std::string("/u '") + MVTEST_COUNTER_SERVER + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadString(key, nullptr), "<no key>");

    r = Regsvr(std::string("/u '") + MVTEST_COUNTER_SERVER + "'");
    EXPECT_EQ(r.exitCode, 0) << "unregistering what is not registered is no error: " << r.output;
}

TEST_F(ComRuntime, RegsvrTellsWhyItFailed)
{
    const std::string notALibrary = hives.File("plain.txt");
    std::ofstream(notALibrary) << "not a library";

    struct Case {
        const char* name;
        std::string args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {"no library", "", 1, "usage"},
        {"missing file", "'" + hives.File("absent.so") + "'", 2, "cannot load"},
        {"not a library", "'" + notALibrary + "'", 2, "cannot load"},
        {"missing export", std::string("/u '") + MVTEST_ENTRYLESS_SERVER + "'", 3,
         "does not export DllUnregisterServer"},
        {"failing export", std::string("'") + MVTEST_ENTRYLESS_SERVER + "'", 4,
         "DllRegisterServer in " + Canonical(MVTEST_ENTRYLESS_SERVER) + " failed: 0x80070005"},
    };
    setenv("MVTEST_REGISTER_RESULT", "0x80070005", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegsvrResult r = Regsvr(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
    unsetenv("MVTEST_REGISTER_RESULT");
}

TEST_F(ComRuntime, CreatesByClassIdAndUnloadsWhenEverythingIsReleased)
{
    RegisterCounter();
    ASSERT_FALSE(IsLoaded(MVTEST_COUNTER_SERVER));

    ICounter* counter = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter,
                               reinterpret_cast<void**>(&counter)),
              S_OK);
    ASSERT_NE(counter, nullptr);
    EXPECT_TRUE(IsLoaded(MVTEST_COUNTER_SERVER));
    EXPECT_EQ(counter->Increment(), 1);
    EXPECT_EQ(counter->Increment(), 2);
    EXPECT_EQ(counter->AddRef(), 2u) << "the caller holds the only reference";
    EXPECT_EQ(counter->Release(), 1u);

    CComPtr<IUnknown> unknown;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    EXPECT_EQ(counter->AddRef(), 3u);
    counter->Release();
    unknown.Reset();

    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(MVTEST_COUNTER_SERVER)) << "an object is alive";

    // A held class factory keeps the library too.
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.PutVoid()),
              S_OK);
    EXPECT_EQ(counter->Release(), 0u);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(MVTEST_COUNTER_SERVER)) << "the factory is held";

    CComPtr<ICounter> second;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICounter, second.PutVoid()), S_OK);
    EXPECT_EQ(second->Increment(), 1) << "a new object starts again";
    second.Reset();
    factory.Reset();

    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(MVTEST_COUNTER_SERVER));

    // And it loads again on demand.
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, second.PutVoid()), S_OK);
    EXPECT_EQ(second->Increment(), 1);
    second.Reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(MVTEST_COUNTER_SERVER));
}

TEST_F(ComRuntime, EveryFailureHasItsOwnCodeAndNullsTheOutPointer)
{
    RegisterCounter();
    RegsvrResult r = Regsvr(std::string("'") + MVTEST_ENTRYLESS_SERVER + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const std::string notALibrary = hives.File("plain.so");
    std::ofstream(notALibrary) << "not a library";
    ASSERT_EQ(mvcom::RegisterInprocServer(kMissingLibrary, "missing", hives.File("absent.so").c_str()), S_OK);
    ASSERT_EQ(mvcom::RegisterInprocServer(kNotALibrary, "not a library", notALibrary.c_str()), S_OK);
    // A class of the counter's library that the library does not know.
    ASSERT_EQ(mvcom::RegisterInprocServer(kOther, "other", Canonical(MVTEST_COUNTER_SERVER).c_str()), S_OK);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, ("CLSID\\" + mvwin::GuidToString(kNoPath) + "\\InprocServer32").c_str(),
                            &key),
              ERROR_SUCCESS);
    RegCloseKey(key);

    CComPtr<IUnknown> outer;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, reinterpret_cast<IStream**>(outer.Put())), S_OK);

    struct Case {
        const char* name;
        const CLSID& clsid;
        DWORD clsctx;
        const IID& iid;
        IUnknown* outer;
        HRESULT hr;
    };
    const Case cases[] = {
        {"not registered", kUnregistered, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr, REGDB_E_CLASSNOTREG},
        {"library missing", kMissingLibrary, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr, CO_E_DLLNOTFOUND},
        {"not a library", kNotALibrary, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr, CO_E_DLLNOTFOUND},
        {"no library named", kNoPath, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr, CO_E_DLLNOTFOUND},
        {"no DllGetClassObject", CLSID_TestEntryless, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr, CO_E_ERRORINDLL},
        {"out of process only", CLSID_TestCounter, CLSCTX_LOCAL_SERVER, IID_ICounter, nullptr, REGDB_E_CLASSNOTREG},
        {"class the library lacks", kOther, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr, CLASS_E_CLASSNOTAVAILABLE},
        {"interface the object lacks", CLSID_TestCounter, CLSCTX_INPROC_SERVER, IID_IStream, nullptr, E_NOINTERFACE},
        {"aggregation refused", CLSID_TestCounter, CLSCTX_INPROC_SERVER, IID_IUnknown, outer.Get(),
         CLASS_E_NOAGGREGATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* out = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, c.clsctx, c.iid, &out), c.hr);
        EXPECT_EQ(out, nullptr);
    }
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CoGetClassObject(kUnregistered, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &out),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, nullptr), E_POINTER);

    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(MVTEST_COUNTER_SERVER)) << "failed creations leave nothing behind";
    EXPECT_FALSE(IsLoaded(MVTEST_ENTRYLESS_SERVER)) << "a library without DllGetClassObject is not kept";
}

// A built-in class whose objects are memory streams, counting creations.
int g_builtinCreations = 0;
HRESULT CreateBuiltin(IUnknown* outer, REFIID riid, void** ppv)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ++g_builtinCreations;
    CComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    return SUCCEEDED(hr) ? stream->QueryInterface(riid, ppv) : hr;
}

TEST_F(ComRuntime, BuiltInClassesComeBeforeTheRegistry)
{
    RegisterCounter();
    g_builtinCreations = 0;
    ASSERT_EQ(mvcom::RegisterBuiltinClass(CLSID_TestCounter, CreateBuiltin), S_OK);

    CComPtr<IStream> stream;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IStream, stream.PutVoid()), S_OK);
    EXPECT_EQ(g_builtinCreations, 1);
    EXPECT_FALSE(IsLoaded(MVTEST_COUNTER_SERVER)) << "the registered library is not needed";

    CComPtr<IUnknown> outer(stream.Get());
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);

    // Through a factory of the caller's own, replacing the creator.
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC, nullptr, IID_IClassFactory, factory.PutVoid()),
              S_OK);
    EXPECT_EQ(mvcom::RegisterBuiltinClassFactory(kOther, factory.Get()), S_OK);
    EXPECT_EQ(mvcom::RegisterBuiltinClassFactory(kOther, factory.Get()), S_FALSE) << "replaced";
    CComPtr<IStream> other;
    ASSERT_EQ(CoCreateInstance(kOther, nullptr, CLSCTX_INPROC_SERVER, IID_IStream, other.PutVoid()), S_OK);
    EXPECT_EQ(g_builtinCreations, 2);
    EXPECT_EQ(mvcom::RegisterBuiltinClassFactory(kOther, nullptr), E_POINTER);
    EXPECT_EQ(mvcom::RegisterBuiltinClass(kOther, nullptr), E_POINTER);

    EXPECT_EQ(mvcom::UnregisterBuiltinClass(kOther), S_OK);
    EXPECT_EQ(mvcom::UnregisterBuiltinClass(kOther), S_FALSE);
    EXPECT_EQ(mvcom::UnregisterBuiltinClass(CLSID_TestCounter), S_OK);

    // Without the built-in class the registry's library serves again.
    CComPtr<ICounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.PutVoid()),
              S_OK);
    EXPECT_TRUE(IsLoaded(MVTEST_COUNTER_SERVER));
}

TEST_F(ComRuntime, InitialisationIsCountedPerThreadAndTheLastOneUnloads)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    std::thread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "another thread counts apart";
        CoUninitialize();
    }).join();

    RegisterCounter();
    CComPtr<ICounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.PutVoid()),
              S_OK);
    counter.Reset();
    EXPECT_TRUE(IsLoaded(MVTEST_COUNTER_SERVER));
    CoUninitialize();
    EXPECT_TRUE(IsLoaded(MVTEST_COUNTER_SERVER)) << "one initialisation is left";
    CoUninitialize();
    EXPECT_FALSE(IsLoaded(MVTEST_COUNTER_SERVER));
    CoUninitialize();  // one too many is ignored
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ModulePath, NamesTheLibraryThatHoldsAnAddress)
{
    std::string path = mvcom::ModulePathOf(reinterpret_cast<const void*>(&CoCreateInstance));
    EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
    EXPECT_EQ(std::filesystem::path(path).filename(), "libmvplatform.so");
    EXPECT_EQ(mvcom::ModulePathOf(nullptr), "");
}

}  // namespace
