// The COM runtime of the program: initialisation counts, and creating
// objects by class identifier in-process.
//
// A class is found first among the built-in classes the program registered
// in-process (mvcom::RegisterBuiltinClass), then under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, whose default value is the
// path of a shared library exporting DllGetClassObject. A library is loaded
// once (dlopen, RTLD_NOW | RTLD_LOCAL) and kept in a table until
// CoFreeUnusedLibraries finds that its DllCanUnloadNow answers S_OK; one
// without that export stays loaded.
//
// Errors: REGDB_E_CLASSNOTREG for a class that is neither built in nor
// registered (or asked for in a context other than in-process);
// CO_E_DLLNOTFOUND when the registered library is not named, missing or
// cannot be loaded; CO_E_ERRORINDLL when it does not export
// DllGetClassObject; otherwise what the library's DllGetClassObject and the
// class factory return (CLASS_E_NOAGGREGATION when a factory refuses an
// outer object), passed through.
//
// Every function may be called from any thread.
#pragma once

#include "platform/com/Unknown.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;

// Counted per thread: the first call on a thread returns S_OK, later ones
// S_FALSE; each wants its CoUninitialize. When the last initialisation in
// the process is undone, libraries that can unload are unloaded.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();

// The class object (normally IClassFactory) of a class. `serverInfo` is for
// remote servers and is ignored.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void* serverInfo, REFIID riid, void** ppv);
// A new object of a class through its class factory. *ppv is null on failure.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv);
// Asks each loaded library's DllCanUnloadNow and unloads those answering S_OK.
void CoFreeUnusedLibraries();

namespace mvcom {

// Makes a new object of a built-in class: null `outer` unless aggregated (a
// class that cannot be aggregated returns CLASS_E_NOAGGREGATION for a
// non-null one); the new object's `riid` interface in *ppv, which the caller
// has set to null.
using ClassCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// Built-in classes are found before the registry. Registering a class again
// replaces it (S_FALSE); E_POINTER for a null creator or factory. The
// factory is AddRef'd and released when it is unregistered or replaced.
HRESULT RegisterBuiltinClass(REFCLSID clsid, ClassCreator creator);
HRESULT RegisterBuiltinClassFactory(REFCLSID clsid, IClassFactory* factory);
// S_FALSE when the class was not registered.
HRESULT UnregisterBuiltinClass(REFCLSID clsid);

}  // namespace mvcom
