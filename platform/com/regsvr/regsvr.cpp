// regsvr: registers an in-process server by calling its DllRegisterServer, or
// with /u unregisters it through DllUnregisterServer. COM is initialised
// around the call as in the program, and the registry is the program's (or
// the one $MORVANE_REGISTRY names), so what a library writes is what the
// program reads.
//
// Exit codes: 0 done, 1 usage, 2 the library cannot be loaded, 3 it lacks
// the entry point, 4 the entry point failed (its HRESULT is printed).
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>

#include "platform/com/ComRuntime.h"
#include "platform/com/InprocServer.h"

namespace {

enum ExitCode { kDone = 0, kUsage = 1, kCannotLoad = 2, kNoEntryPoint = 3, kEntryPointFailed = 4 };

int Usage()
{
    std::fprintf(stderr, "usage: regsvr [/u] LIBRARY\n");
    return kUsage;
}

// The library is loaded by its absolute path, so that a library that
// registers where it was loaded from writes a path valid from anywhere.
std::string AbsolutePath(const char* library)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(library, ec);
    return ec ? std::string(library) : path.lexically_normal().string();
}

int Run(const std::string& library, const char* entryName)
{
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", library.c_str(), why ? why : "unknown error");
        return kCannotLoad;
    }
    // Both entry points have the same signature.
    auto entry = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, entryName));
    int code = kDone;
    if (!entry) {
        std::fprintf(stderr, "regsvr: %s does not export %s\n", library.c_str(), entryName);
        code = kNoEntryPoint;
    } else if (HRESULT hr = entry(); FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s in %s failed: 0x%08X\n", entryName, library.c_str(),
                     static_cast<unsigned>(hr));
        code = kEntryPointFailed;
    } else {
        std::printf("regsvr: %s in %s succeeded.\n", entryName, library.c_str());
    }
    dlclose(handle);
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "/u") == 0 || std::strcmp(argv[i], "/U") == 0)
            unregister = true;
        else if (!library)
            library = argv[i];
        else
            return Usage();
    }
    if (!library || !*library)
        return Usage();

    CoInitialize(nullptr);
    int code = Run(AbsolutePath(library), unregister ? "DllUnregisterServer" : "DllRegisterServer");
    CoUninitialize();
    return code;
}
