// The registry calls the program makes, over file-backed hives.
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are hive files in the folder named
// by $MORVANE_REGISTRY (else $XDG_CONFIG_HOME/morvane, else ~/.config/morvane);
// HKEY_CLASSES_ROOT is the merged view of both hives' Software\Classes, the
// user's entries first. Key and value names are case-insensitive and keep the
// case they were created with. Every change is saved at once, atomically.
// Functions return Win32 error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...).
#pragma once

#include "platform/win/WinTypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LONG RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam,
                     void* security, PHKEY result, DWORD* disposition);
LONG RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result);
LONG RegCloseKey(HKEY key);
// REG_SZ data is stored with its terminator; a read reports the stored size.
// A null data pointer asks for type and size only; a buffer that is too small
// gives ERROR_MORE_DATA with the needed size.
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);   // only a key without subkeys
LONG RegDeleteTreeA(HKEY key, LPCSTR subKey);  // recursive; null subKey: the key's content
// Enumeration by index; ERROR_NO_MORE_ITEMS past the last one.
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, DWORD* nameSize, DWORD* reserved, LPSTR cls,
                   DWORD* clsSize, FILETIME* lastWrite);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, DWORD* nameSize, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize);
LONG RegQueryInfoKeyA(HKEY key, LPSTR cls, DWORD* clsSize, DWORD* reserved, DWORD* subKeys, DWORD* maxSubKeyLen,
                      DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen, DWORD* maxValueLen,
                      DWORD* securityDescriptor, FILETIME* lastWrite);

namespace mvreg {
// Drops every cached hive so the next call reads the files again (tests that
// change $MORVANE_REGISTRY, or a second process's writes).
void ReloadHives();
}  // namespace mvreg
