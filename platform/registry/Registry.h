// The registry calls the program makes, over file-backed hives.
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are hive files in the folder named
// by $MORVANE_REGISTRY (else $XDG_CONFIG_HOME/morvane, else ~/.config/morvane);
// HKEY_CLASSES_ROOT is the merged view of both hives' Software\Classes, the
// user's entries first. Key and value names are case-insensitive and keep the
// case they were created with. Every change is saved at once, atomically.
// Functions return Win32 error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...).
//
// The hive files are HKCU.hive and HKLM.hive in that folder: readable text
// (a first line "MORVANE-HIVE 1", one "[path]" line per key, one line per
// value: "name"="text", dword:0000002a, hex:01,02 for binary, hex(N):... for
// any other type N, @ for the default value, a closing "END-HIVE"). A change
// is written to a temporary file in the same folder, synced, and renamed over
// the hive, under a lock file, so two processes (the build registers several
// plug-ins at once) never lose each other's changes; a process notices a hive
// that another one rewrote and reads it again.
// A hive file that is not a hive, or cannot be read, is refused: it reads as
// empty, writes to it fail with ERROR_REGISTRY_CORRUPT or
// ERROR_REGISTRY_IO_FAILED, and it is never overwritten. Lines that cannot be
// read are skipped; before such a hive is next written, the old file is kept
// beside it as HKxx.hive.damaged-<time>-<pid>.
// Writes through HKEY_CLASSES_ROOT go to HKEY_LOCAL_MACHINE's
// Software\Classes, as for a machine-wide install; deleting a key or value
// through it removes it from both hives, so it leaves the merged view.
// Subkeys and values enumerate in creation order (the order of the file);
// the merged view lists the user's entries, then the machine's that the user
// does not have. A handle opened with KEY_READ cannot write. A handle names
// its key by path: it stays good across ReloadHives, and a null or empty
// subKey opens a new handle on the same key.
// Registry calls never come from the audio thread: they take a lock and do
// file I/O.
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

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;

constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_KEY_DELETED = 1018;  // the key of an open handle was deleted

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
