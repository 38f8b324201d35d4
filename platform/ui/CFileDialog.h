// The open and save dialogs: Qt's own (non-native) file dialog, modal over
// the owner, run from an OPENFILENAME record as the system dialog would be:
// the filter as display name and pattern pairs separated by NULs (ending in
// two), the file buffer in and out (several files chosen come back as the
// folder, NUL, each name, NUL, and a final NUL), the default extension, the
// flags. While one runs, its current file text and folder can be read (what
// CDM_GETSPEC and CDM_GETFOLDERPATH give). UI thread only.
#pragma once

#include <string>

#include "platform/ui/CDialog.h"

constexpr DWORD OFN_READONLY = 0x1, OFN_OVERWRITEPROMPT = 0x2, OFN_HIDEREADONLY = 0x4,
                OFN_ENABLEHOOK = 0x20, OFN_ALLOWMULTISELECT = 0x200, OFN_PATHMUSTEXIST = 0x800,
                OFN_FILEMUSTEXIST = 0x1000, OFN_EXPLORER = 0x80000;
// Notification of the dialog's hook: the Help button.
constexpr UINT CDN_HELP = static_cast<UINT>(-606);

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEA {
    DWORD lStructSize = sizeof(OPENFILENAMEA);
    HWND hwndOwner = nullptr;
    const char* lpstrFilter = nullptr;
    DWORD nFilterIndex = 0;  // 1-based
    char* lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    const char* lpstrInitialDir = nullptr;
    const char* lpstrTitle = nullptr;
    DWORD Flags = 0;
    const char* lpstrDefExt = nullptr;
    LPARAM lCustData = 0;
    LPOFNHOOKPROC lpfnHook = nullptr;
    DWORD dwHelpId = 0;
};

struct OFNOTIFYA {
    NMHDR hdr;
    OPENFILENAMEA* lpOFN;
    char* pszFile;
};

// TRUE when the user chose; FALSE when cancelled or the buffer is too small.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);

class CFileDialog : public CDialog {
public:
    CFileDialog(BOOL openFileDialog, LPCSTR defExt = nullptr, LPCSTR fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                CWnd* parent = nullptr);

    INT_PTR DoModal() override;
    // The chosen file (the first, with several).
    CString GetPathName() const;
    // The running dialog's file text ("a.wav", or "\"a.wav\" \"b.wav\"") and
    // folder; empty while no file dialog runs.
    static CString GetRunningSpec();
    static CString GetRunningFolder();

    OPENFILENAMEA m_ofn;
    BOOL m_bOpenFileDialog;

protected:
    std::string m_filter;      // NUL-separated pairs
    std::string m_defExt;
    std::string m_fileBuffer;  // m_ofn.lpstrFile points here
};
