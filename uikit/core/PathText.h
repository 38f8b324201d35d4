// Path-text helpers. File paths are '/'-separated; there are no drive
// letters. An extension is the text from the last '.' of the file name on,
// unless that dot begins the name (".config" is a name, not an extension).
#pragma once

#include "platform/win/CString.h"

// Cuts the extension (handed back through oldExtension, dot included) and,
// when newExtension is given and not empty, appends it with a '.' unless it
// begins with one. False for an empty path or one that ends with '/'.
bool ReplaceExtension(CString& path, const char* newExtension, CString* oldExtension);
// The text after the last '/' (the whole text without one).
CString GetFileNamePart(const CString& path);
// The file name without its extension.
CString GetFileTitlePart(const CString& path);
// Every character not allowed in a portable file name (control characters,
// " < > |, the separators / \ :, the wildcards * ?) becomes '_'.
void MakeValidFileName(CString& name);
// Removes the last part of the path and its separator ("/a/b" gives "/a",
// "/a" gives "/", "a" gives ""); true when something was removed. Texts of
// PATH_MAX characters or more are left alone (false).
bool RemoveFileSpec(CString& path);
// Leaves only the last part of the path ("/a/b" gives "b", "/a/b/" gives
// "b/"). Texts of PATH_MAX characters or more are left alone (false).
bool StripPathToFileName(CString& path);
