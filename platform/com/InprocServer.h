// What an in-process server (a plug-in shared library) exports, and the
// helpers it uses to register itself.
//
// A server is built with hidden visibility and exports exactly its entry
// points:
//
//   MV_COM_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
//   MV_COM_EXPORT HRESULT DllCanUnloadNow();        // S_OK when no object or lock is left
//   MV_COM_EXPORT HRESULT DllRegisterServer();
//   MV_COM_EXPORT HRESULT DllUnregisterServer();
//
// Registration writes HKEY_CLASSES_ROOT\CLSID\{...} with the class's
// description as default value, and its InprocServer32 subkey with the
// library's absolute path as default value and ThreadingModel "Both".
#pragma once

#include <string>

#include "platform/com/Unknown.h"

#define MV_COM_EXPORT extern "C" __attribute__((visibility("default")))

using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID riid, void** ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();

namespace mvcom {

// Registry failures come back as HRESULT_FROM_WIN32 of the registry's error.
HRESULT RegisterInprocServer(REFCLSID clsid, const char* description, const char* libraryPath);
// Removes the class's key with everything below it; a class that is not
// registered is not an error.
HRESULT UnregisterInprocServer(REFCLSID clsid);

// The absolute path of the loaded library (or program) that holds
// `address`; empty when it is not known. A library passes the address of
// one of its own functions or objects to learn where it was loaded from.
std::string ModulePathOf(const void* address);

}  // namespace mvcom
