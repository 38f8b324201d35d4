// The folder picker of the framework: a modal folder dialog over the owner,
// starting at the initial folder. UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

// `path` (a buffer of MAX_PATH bytes) receives the chosen folder; true on OK.
// The new-style flag is accepted for the callers' sake: there is one style.
bool ShellBrowseForFolder(CWnd* owner, const char* title, char* path, const char* initialFolder,
                          bool newStyle);
// The same with the title as a string id; `path` changes only on OK.
bool ShellBrowseForFolder(CWnd* owner, UINT titleId, CString& path, const char* initialFolder, bool newStyle);

constexpr int MAX_PATH = 260;
