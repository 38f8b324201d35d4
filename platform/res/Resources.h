// Module handles and the resources compiled into each module.
//
// A module handle is the handle the system's loader gives a module: the
// program itself, or a plug-in library opened with dlopen (so the handle a
// plug-in registers its table under is the one its loader holds, and
// GetModuleFileNameA works on it). Each module carries one table of strings
// and one version block, generated from resources/ by the build. The
// program's table is compiled into this library; a plug-in registers its own
// when it is loaded and unregisters it before it goes.
//
// Any thread may load strings and look up versions; registration is guarded.
#pragma once

#include "platform/win/Module.h"
#include "platform/win/WinTypes.h"

namespace mvres {
struct ResourceTable;
}

// The program's own module; a null module handle means the same everywhere here.
HINSTANCE AfxGetInstanceHandle();

// The module that texts by id are read from (LoadResString, AfxMessageBox):
// the program's unless another was set.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// Copies string `id` of the module into `buffer`: at most bufferMax - 1 bytes,
// never a part of a UTF-8 character, always terminated. Returns the bytes
// copied; 0 when the module or string does not exist (buffer then "") or
// when there is no room at all.
int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int bufferMax);

namespace mvres {

// The module whose code or data holds `address`; null when none does.
HINSTANCE ModuleFromAddress(const void* address);

// Registers a module's table under the module that holds it and returns that
// module's handle. Registering the same table again returns the same handle.
// Null when the table lies in the program itself, whose table is the one
// from resources/, or when the module already has another table.
HINSTANCE RegisterModuleResources(const ResourceTable& table);
// Forgets the module's table; later loads from it find nothing.
void UnregisterModuleResources(HINSTANCE module);

// The whole text of string `id` of the module; null when there is none.
const char* FindStringResource(HINSTANCE module, UINT id);

// A value of the module's version block by its path, as VerQueryValue takes
// it: "\StringFileInfo\040904b0\ProductVersion" (names compared without
// regard to case). False when the module has no version block or no such value.
bool QueryVersionValue(HINSTANCE module, const char* subBlock, const char** value);

// A plug-in's registration for as long as the library is loaded:
//   static mvres::CModuleResources g_resources(g_SorvicResources);
class CModuleResources {
public:
    explicit CModuleResources(const ResourceTable& table) : m_module(RegisterModuleResources(table)) {}
    ~CModuleResources()
    {
        if (m_module)
            UnregisterModuleResources(m_module);
    }
    CModuleResources(const CModuleResources&) = delete;
    CModuleResources& operator=(const CModuleResources&) = delete;

    HINSTANCE Handle() const { return m_module; }

private:
    HINSTANCE m_module;
};

}  // namespace mvres
