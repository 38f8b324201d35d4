// The program's binding to its help file: the file's path, the window help
// is shown for, and the help viewer's cookie (0 until initialised).
// UI thread only.
#pragma once

#include "platform/res/Resources.h"
#include "platform/ui/CWnd.h"

class CHelpFile {
public:
    // A name with '\' or '/' is the full path; a plain name lies beside the
    // module. True when the viewer gave a cookie.
    bool Init(HINSTANCE module, HWND window, const char* name);
    // E_INVALIDARG without a cookie or a file (the given one, else the bound
    // path); E_FAIL when the viewer showed nothing; else S_OK.
    HRESULT Call(UINT command, DWORD_PTR data = 0, const char* file = nullptr);
    static UINT MapHelpCommand(UINT winHelpCommand);

    CString m_path;
    HWND m_window = nullptr;
    DWORD m_cookie = 0;
};
