#include "uikit/FolderPicker.h"

#include <cstring>

#include "platform/ui/FolderDialog.h"
#include "uikit/core/ResString.h"

bool ShellBrowseForFolder(CWnd* owner, const char* title, char* path, const char* initialFolder, bool)
{
    if (!path)
        return false;
    CString chosen;
    if (!mvui::BrowseForFolder(owner, title, initialFolder, chosen))
        return false;
    // The caller's buffer holds MAX_PATH bytes; a longer path is not cut short.
    if (chosen.GetLength() >= MAX_PATH)
        return false;
    std::memcpy(path, chosen.GetString(), static_cast<std::size_t>(chosen.GetLength()) + 1);
    return true;
}

bool ShellBrowseForFolder(CWnd* owner, UINT titleId, CString& path, const char* initialFolder, bool newStyle)
{
    char buffer[MAX_PATH] = {};
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(path.GetLength()), MAX_PATH - 1);
    std::memcpy(buffer, path.GetString(), n);
    const bool ok = ShellBrowseForFolder(owner, LoadResString(titleId), buffer, initialFolder, newStyle);
    if (ok)
        path = buffer;
    return ok;
}
