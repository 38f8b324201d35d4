// Loaded modules: the running program itself, or a shared library loaded
// with dlopen (its handle is the module handle).
// Paths are the system's own, '/'-separated and absolute.
#pragma once

#include "platform/win/WinTypes.h"

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

// Copies the module's full file name into the buffer and returns its length
// without the terminator. A null module is the running program. When the
// buffer is too small the name is cut to size - 1 characters, terminated,
// and the result is size (as Windows does). 0 when the name is not known or
// the buffer is missing.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// Loads a shared library by path (a name without '/' is searched as the
// system searches libraries); null when it cannot be loaded. Each load is
// matched by one FreeLibrary.
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);
// The address of an exported function; null when the module has none.
using FARPROC = void (*)();
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// The loaded library that holds `address`, with a reference of its own
// (free it with FreeLibrary); null when none does.
HMODULE ModuleOfAddress(const void* address);
