// The file name of a loaded module: the running program itself, or a shared
// library that was loaded with dlopen (its handle is the module handle).
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
