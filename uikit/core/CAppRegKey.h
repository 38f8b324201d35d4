// A registry key below the application's own key,
// "Software\Varnholt Music Software\<name>\<version>". The key texts are
// class-wide, set once at start-up by the application base class (before
// anything opens a CAppRegKey); until then a CAppRegKey has no key, so
// nothing lands at the top of a hive.
#pragma once

#include "uikit/core/CRegKeyBase.h"

class CAppRegKey : public CRegKeyBase {
public:
    // The application's full key plus "\subKey" when subKey is not empty.
    CAppRegKey(const char* subKey, int mode, int rootCode);
    // As CRegKeyBase: the path below an open key or a predefined root.
    CAppRegKey(const char* path, int mode, HKEY root);

    // Fills the class-wide texts from the application's name and version.
    static void SetAppRegistryRoot(const char* name, const char* version);
    // "Varnholt Music Software\<name>": what the profile's SetRegistryKey takes.
    static const CString& GetAppRegistryKeyName();
    // The version, installed as the profile name, so the profile lives at the
    // same place as the full key.
    static const CString& GetAppProfileName();
    // "Software\Varnholt Music Software\<name>\<version>".
    static const CString& GetAppFullKey();
    // "Software\Varnholt Music Software\<name>".
    static const CString& GetAppKey();
};
