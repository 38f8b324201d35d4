#include "platform/com/InprocServer.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>

#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"

namespace mvcom {

namespace {

std::string ClassKey(REFCLSID clsid)
{
    return "CLSID\\" + mvwin::GuidToString(clsid);
}

LONG SetString(HKEY key, const char* name, const char* value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1));
}

// Creates `path` below HKEY_CLASSES_ROOT and sets its default value and,
// when `name` is given, one named value.
LONG WriteKey(const std::string& path, const char* value, const char* name = nullptr, const char* named = nullptr)
{
    HKEY key = nullptr;
    LONG err = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS)
        return err;
    err = SetString(key, nullptr, value);
    if (err == ERROR_SUCCESS && name)
        err = SetString(key, name, named);
    RegCloseKey(key);
    return err;
}

}  // namespace

HRESULT RegisterInprocServer(REFCLSID clsid, const char* description, const char* libraryPath)
{
    if (!description || !libraryPath || !*libraryPath)
        return E_INVALIDARG;
    const std::string key = ClassKey(clsid);
    LONG err = WriteKey(key, description);
    if (err == ERROR_SUCCESS)
        err = WriteKey(key + "\\InprocServer32", libraryPath, "ThreadingModel", "Both");
    return HRESULT_FROM_WIN32(err);
}

HRESULT UnregisterInprocServer(REFCLSID clsid)
{
    LONG err = RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKey(clsid).c_str());
    return err == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(err);
}

std::string ModulePathOf(const void* address)
{
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname)
        return {};
    std::error_code ec;
    // The program itself may be listed without a name.
    const char* name = *info.dli_fname ? info.dli_fname : "/proc/self/exe";
    std::filesystem::path path = std::filesystem::canonical(name, ec);
    if (ec)
        path = std::filesystem::absolute(name, ec);
    return ec ? std::string() : path.string();
}

}  // namespace mvcom
