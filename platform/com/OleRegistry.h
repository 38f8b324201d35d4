// What OLE reads of a class's registration, and class identifiers as wide
// text. A class's user type names live under
// HKEY_CLASSES_ROOT\CLSID\{...}: the full name is the key's default value,
// the short name the default value of its subkey AuxUserType\2 (a class
// without one answers its full name). Names come back in task memory, which
// the caller frees with CoTaskMemFree.
//
// Any thread but the audio thread (the registry takes a lock and does I/O).
#pragma once

#include "platform/com/Unknown.h"

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

constexpr HRESULT CO_E_CLASSSTRING = MakeHr(0x800401F3);

constexpr DWORD USERCLASSTYPE_FULL = 1;
constexpr DWORD USERCLASSTYPE_SHORT = 2;
constexpr DWORD USERCLASSTYPE_APPNAME = 3;

// S_OK with the name; REGDB_E_CLASSNOTREG when the class has no key;
// REGDB_E_READREGDB when it has one but no name (missing, empty or not
// text); E_INVALIDARG for another form; E_OUTOFMEMORY. *userType is null
// whenever the result is a failure; E_POINTER for a null out-pointer.
HRESULT OleRegGetUserType(REFCLSID clsid, DWORD form, LPOLESTR* userType);

// Parses the braced registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
// (hex digits of either case); CO_E_CLASSSTRING for anything else, leaving
// *clsid as it was. E_POINTER for a null text or out-pointer.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);

// Writes the upper-case braced form and its terminator (39 characters) and
// returns that count; 0 when `size` leaves no room for all of it.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int size);
