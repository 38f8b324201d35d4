#include "platform/res/Resources.h"

#include <dlfcn.h>
#include <link.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/res/ResourceTable.h"

// The program's own table, generated from resources/ and linked into this library.
extern const mvres::ResourceTable g_MorvaneResources;

namespace {

struct Registry {
    std::mutex lock;
    std::map<HINSTANCE, const mvres::ResourceTable*> tables;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

std::atomic<HINSTANCE> g_resourceModule{nullptr};

const mvres::ResourceTable* TableOf(HINSTANCE module)
{
    if (!module || module == AfxGetInstanceHandle())
        return &g_MorvaneResources;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.tables.find(module);
    return it == r.tables.end() ? nullptr : it->second;
}

// Length of `name` when `path` starts with it, ignoring case; else 0.
std::size_t SkipPrefix(const char* path, const char* name)
{
    std::size_t n = std::strlen(name);
    return strncasecmp(path, name, n) == 0 ? n : 0;
}

constexpr const char* kStringFileInfo = "\\StringFileInfo\\";
constexpr const char* kVersionBlock = "040904b0\\";

}  // namespace

HINSTANCE AfxGetInstanceHandle()
{
    // The loader's handle of the program is the head of its module list;
    // opening "no file" gives it without loading anything.
    static HINSTANCE program = static_cast<HINSTANCE>(dlopen(nullptr, RTLD_LAZY));
    return program;
}

HINSTANCE AfxGetResourceHandle()
{
    HINSTANCE module = g_resourceModule.load();
    return module ? module : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE module)
{
    g_resourceModule.store(module);
}

int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int bufferMax)
{
    if (!buffer || bufferMax <= 0)
        return 0;
    const char* text = mvres::FindStringResource(module, id);
    if (!text) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t length = std::strlen(text);
    std::size_t n = std::min(length, static_cast<std::size_t>(bufferMax - 1));
    // Cut before a character, not inside one.
    while (n > 0 && n < length && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

namespace mvres {

HINSTANCE ModuleFromAddress(const void* address)
{
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map)
        return nullptr;
    // The loader's handles are its module-list entries.
    return reinterpret_cast<HINSTANCE>(map);
}

HINSTANCE RegisterModuleResources(const ResourceTable& table)
{
    HINSTANCE module = ModuleFromAddress(&table);
    if (!module)
        return nullptr;
    if (module == AfxGetInstanceHandle())
        return nullptr;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto [it, added] = r.tables.emplace(module, &table);
    return added || it->second == &table ? module : nullptr;
}

void UnregisterModuleResources(HINSTANCE module)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.tables.erase(module);
}

const char* FindStringResource(HINSTANCE module, UINT id)
{
    const ResourceTable* table = TableOf(module);
    if (!table || table->stringCount == 0)
        return nullptr;
    const StringEntry* end = table->strings + table->stringCount;
    const StringEntry* e =
        std::lower_bound(table->strings, end, id, [](const StringEntry& s, UINT v) { return s.id < v; });
    return e != end && e->id == id ? e->text : nullptr;
}

bool QueryVersionValue(HINSTANCE module, const char* subBlock, const char** value)
{
    const ResourceTable* table = TableOf(module);
    if (!table || !subBlock || !value)
        return false;
    std::size_t at = SkipPrefix(subBlock, kStringFileInfo);
    std::size_t block = at ? SkipPrefix(subBlock + at, kVersionBlock) : 0;
    if (!block)
        return false;
    const char* key = subBlock + at + block;
    for (UINT i = 0; i < table->versionCount; ++i) {
        if (strcasecmp(table->version[i].key, key) == 0) {
            *value = table->version[i].value;
            return true;
        }
    }
    return false;
}

}  // namespace mvres
