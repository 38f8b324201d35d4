// The layout of a module's compiled resources, as the build generates it from
// resources/ (one table per module: the program and each plug-in). The loader
// in Resources.h reads it; nothing else should need to.
#pragma once

#include "platform/win/WinTypes.h"

namespace mvres {

struct StringEntry {
    UINT id;
    const char* text;  // UTF-8, terminated
};

struct VersionEntry {
    const char* key;    // "ProductVersion"
    const char* value;  // "1.0"
};

struct ResourceTable {
    const StringEntry* strings;  // sorted by id, ids unique
    UINT stringCount;
    const VersionEntry* version;  // the block "\StringFileInfo\040904b0"
    UINT versionCount;
};

}  // namespace mvres
