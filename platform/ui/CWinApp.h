// The application object: one per program, reached through AfxGetApp. It
// carries the application's name, its main window, its profile (the
// per-user settings under the registry key it sets) and its help file, and
// is the last stop of command routing. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CCmdTarget.h"
#include "platform/win/CString.h"

class CDocTemplate;
class CWnd;

// Help commands of the program's help calls.
constexpr UINT HELP_CONTEXT = 0x0001, HELP_QUIT = 0x0002, HELP_INDEX = 0x0003,
               HELP_CONTEXTPOPUP = 0x0008, HELP_FINDER = 0x000B, HELP_CONTEXTMENU = 0x000A,
               HELP_WM_HELP = 0x000C;
constexpr UINT ID_HELP = 0xE146;

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitApplication();
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual BOOL OnIdle(LONG count);
    virtual void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);
    // The help command: the help file's contents.
    void OnHelp();
    BOOL OnCmdMsg(UINT id, int code, void* extra) override;

    // Profile: the application's key (SetRegistryKey) and the sections below it.
    void SetRegistryKey(LPCSTR key);
    UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue);
    CString GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue = nullptr);
    BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, int value);
    BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value);

    // The document templates, in the order added (not owned).
    void AddDocTemplate(CDocTemplate* docTemplate);
    const std::vector<CDocTemplate*>& DocTemplates() const { return m_docTemplates; }

    CString m_strAppName;
    CString m_strHelpFilePath;
    CWnd* m_pMainWnd = nullptr;

private:
    std::vector<CDocTemplate*> m_docTemplates;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
