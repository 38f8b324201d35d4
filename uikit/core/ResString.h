// Texts and version values from a module's resources.
//
// Loaded texts live in a ring of 32 buffers of 256 bytes shared by every
// caller: a returned text stays valid until 32 further loads, so take a copy
// of anything kept longer. Meant for the user-interface thread.
#pragma once

#include "platform/res/Resources.h"
#include "platform/win/CString.h"

// String `id` of the module, at most 255 bytes; "" when the module has no such string.
const char* LoadResStringFrom(HINSTANCE module, UINT id);
// The same from the current resource module (AfxGetResourceHandle).
const char* LoadResString(UINT id);

// Value `key` ("ProductVersion", "FileVersion", ...) of the module's version
// block. `out` is emptied first; false when the module has no version block
// or no such value.
bool GetModuleVersionString(HINSTANCE module, const char* key, CString& out);
