// The application profile: the program's per-user settings, kept in sections
// (keys) of the application's key under HKEY_CURRENT_USER, at
// Software\<registry key>\<profile name>\<section>, as the Windows application
// class keeps them once it is given a registry key. One profile per process:
// the application object sets the key and the profile name at start-up.
//
// Integers are REG_DWORD values, strings REG_SZ, binary blocks REG_BINARY; a
// value that is missing or of another type reads as the default. Reads never
// create keys. Without a registry key (or with a null section or entry) reads
// give the defaults and writes fail.
// Any thread but the audio thread (the registry takes a lock and does I/O).
#pragma once

#include <vector>

#include "platform/registry/Registry.h"
#include "platform/win/CString.h"

// "Varnholt Music Software\Morvane": the key below HKCU\Software.
void SetRegistryKey(LPCSTR registryKey);
// "1.0": the key below the registry key that holds the sections.
void SetProfileName(LPCSTR profileName);
CString GetRegistryKey();
CString GetProfileName();

UINT GetProfileIntA(LPCSTR section, LPCSTR entry, INT defaultValue);
BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, INT value);

// A null default reads as "".
CString GetProfileStringA(LPCSTR section, LPCSTR entry, LPCSTR defaultValue = nullptr);
// A null value deletes the entry; a null entry deletes the whole section.
// Deleting what does not exist succeeds.
BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value);

// FALSE (and `data` emptied) when the entry is missing or not binary.
BOOL GetProfileBinary(LPCSTR section, LPCSTR entry, std::vector<BYTE>& data);
BOOL WriteProfileBinary(LPCSTR section, LPCSTR entry, const BYTE* data, UINT bytes);
