#include "platform/ui/CWinApp.h"

#include "platform/registry/Profile.h"
#include "platform/ui/CWnd.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(LPCSTR appName) : m_strAppName(appName)
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }
BOOL CWinApp::OnIdle(LONG) { return FALSE; }

void CWinApp::WinHelp(DWORD_PTR, UINT) {}

void CWinApp::OnHelp()
{
    WinHelp(0, HELP_FINDER);
}

BOOL CWinApp::OnCmdMsg(UINT id, int code, void* extra)
{
    if (id == ID_HELP && code == CN_COMMAND) {
        OnHelp();
        return TRUE;
    }
    return CCmdTarget::OnCmdMsg(id, code, extra);
}

void CWinApp::SetRegistryKey(LPCSTR key)
{
    ::SetRegistryKey(key);
}

UINT CWinApp::GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue)
{
    return ::GetProfileIntA(section, entry, defaultValue);
}

CString CWinApp::GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue)
{
    return ::GetProfileStringA(section, entry, defaultValue);
}

BOOL CWinApp::WriteProfileInt(LPCSTR section, LPCSTR entry, int value)
{
    return ::WriteProfileInt(section, entry, value);
}

BOOL CWinApp::WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value)
{
    return ::WriteProfileString(section, entry, value);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}

void CWinApp::AddDocTemplate(CDocTemplate* docTemplate)
{
    if (docTemplate)
        m_docTemplates.push_back(docTemplate);
}
