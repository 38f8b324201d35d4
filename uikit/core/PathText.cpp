#include "uikit/core/PathText.h"

#include <climits>

namespace {

// Index of the extension's dot in the path, or -1.
int ExtensionDot(const CString& path)
{
    int nameStart = path.ReverseFind('/') + 1;
    int dot = path.ReverseFind('.');
    return dot > nameStart ? dot : -1;
}

bool TooLong(const CString& path) { return path.GetLength() >= PATH_MAX; }

}  // namespace

bool ReplaceExtension(CString& path, const char* newExtension, CString* oldExtension)
{
    if (oldExtension)
        oldExtension->Empty();
    if (path.IsEmpty() || path[path.GetLength() - 1] == '/')
        return false;
    if (int dot = ExtensionDot(path); dot >= 0) {
        if (oldExtension)
            *oldExtension = path.Mid(dot);
        path = path.Left(dot);
    }
    if (newExtension && *newExtension) {
        if (*newExtension != '.')
            path += '.';
        path += newExtension;
    }
    return true;
}

CString GetFileNamePart(const CString& path) { return path.Mid(path.ReverseFind('/') + 1); }

CString GetFileTitlePart(const CString& path)
{
    CString name = GetFileNamePart(path);
    int dot = ExtensionDot(name);
    return dot >= 0 ? name.Left(dot) : name;
}

void MakeValidFileName(CString& name)
{
    for (int i = 0; i < name.GetLength(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        bool invalid = c < 0x20 || c == 0x7f || c == '"' || c == '<' || c == '>' || c == '|';
        bool separator = c == '/' || c == '\\' || c == ':';
        bool wild = c == '*' || c == '?';
        if (invalid || separator || wild)
            name.SetAt(i, '_');
    }
}

bool RemoveFileSpec(CString& path)
{
    if (TooLong(path) || path.IsEmpty())
        return false;
    int slash = path.ReverseFind('/');
    if (slash < 0) {
        path.Empty();
        return true;
    }
    if (slash == 0) {
        if (path.GetLength() == 1)
            return false;
        path = "/";
        return true;
    }
    path = path.Left(slash);
    return true;
}

bool StripPathToFileName(CString& path)
{
    if (TooLong(path))
        return false;
    int end = path.GetLength() - 1;
    // A trailing '/' stays with the last part.
    int searchEnd = end > 0 && path[end] == '/' ? end - 1 : end;
    int slash = path.Left(searchEnd + 1).ReverseFind('/');
    if (slash >= 0 && path.GetLength() > 1)
        path = path.Mid(slash + 1);
    return true;
}
