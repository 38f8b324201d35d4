#include "platform/win/Module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <string>

namespace {

std::string ProgramFileName()
{
    std::string name(PATH_MAX, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", name.data(), name.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < name.size()) {
            name.resize(static_cast<std::size_t>(n));
            return name;
        }
        name.resize(name.size() * 2);
    }
}

std::string LibraryFileName(HMODULE module)
{
    link_map* map = nullptr;
    if (dlinfo(reinterpret_cast<void*>(module), RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return {};
    // The program's own entry in the link map has an empty name.
    return map->l_name[0] ? std::string(map->l_name) : ProgramFileName();
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    std::string name = module ? LibraryFileName(module) : ProgramFileName();
    if (name.empty()) {
        buffer[0] = '\0';
        return 0;
    }
    if (name.size() >= size) {
        name.copy(buffer, size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    name.copy(buffer, name.size());
    buffer[name.size()] = '\0';
    return static_cast<DWORD>(name.size());
}

HMODULE LoadLibraryA(LPCSTR fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    return reinterpret_cast<HMODULE>(dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
}

BOOL FreeLibrary(HMODULE module)
{
    return module && dlclose(reinterpret_cast<void*>(module)) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!module || !name)
        return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(reinterpret_cast<void*>(module), name));
}

HMODULE ModuleOfAddress(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname)
        return nullptr;
    return reinterpret_cast<HMODULE>(dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD));
}
