#include "uikit/CHelpFile.h"

#include "platform/ui/CWinApp.h"
#include "platform/ui/HtmlHelp.h"
#include "uikit/core/ModulePath.h"

bool CHelpFile::Init(HINSTANCE module, HWND window, const char* name)
{
    const CString n(name);
    if (n.FindOneOf("\\/") >= 0) {
        m_path = n;
    } else if (!n.IsEmpty()) {  // a null module is the program itself
        char buffer[4096];
        m_path = BuildModulePath(module, buffer, sizeof buffer, n) ? CString(buffer) : CString();
    }
    m_cookie = 0;
    HtmlHelpA(nullptr, nullptr, HH_INITIALIZE, reinterpret_cast<DWORD_PTR>(&m_cookie));
    m_window = window;
    return m_cookie != 0;
}

HRESULT CHelpFile::Call(UINT command, DWORD_PTR data, const char* file)
{
    const char* path = file && *file ? file : m_path.GetString();
    if (!m_cookie || !path || !*path)
        return E_INVALIDARG;
    return HtmlHelpA(m_window, path, MapHelpCommand(command), data) ? S_OK : E_FAIL;
}

UINT CHelpFile::MapHelpCommand(UINT command)
{
    switch (command) {
    case HELP_CONTEXT: return HH_HELP_CONTEXT;
    case HELP_QUIT: return HH_CLOSE_ALL;
    case HELP_INDEX: return HH_DISPLAY_INDEX;
    case HELP_CONTEXTPOPUP: return HH_DISPLAY_TEXT_POPUP;
    case HELP_CONTEXTMENU: return HH_TP_HELP_CONTEXTMENU;
    case HELP_WM_HELP: return HH_TP_HELP_WM_HELP;
    default: return HH_DISPLAY_TOPIC;
    }
}
