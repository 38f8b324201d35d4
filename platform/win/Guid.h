// GUID text in the braced registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include <string>
#include <string_view>

#include "WinTypes.h"

namespace mvwin {

// Upper-case braced text, 38 characters.
std::string GuidToString(REFGUID guid);

// Parses the braced form (hex digits of either case). Returns false and
// leaves `out` untouched when the text is not exactly one braced GUID.
bool GuidFromString(std::string_view text, GUID& out);

}  // namespace mvwin

// Compile-time GUID from its parts, as DEFINE_GUID spells them.
#define MV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

// A new GUID from the system's random source (a version-4 identifier):
// S_OK, or E_POINTER for a null out.
HRESULT CoCreateGuid(GUID* guid);
