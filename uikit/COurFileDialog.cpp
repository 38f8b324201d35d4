#include "uikit/COurFileDialog.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "platform/ui/CWinApp.h"
#include "platform/ui/SystemMetrics.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/PathText.h"
#include "uikit/core/ResString.h"

namespace {

constexpr int kMaxFileName = 260;

std::string NulSeparated(const CString& text)
{
    std::string out = text.GetString();
    for (char& c : out)
        if (c == '|')
            c = '\0';
    if (out.empty() || out.back() != '\0')
        out.push_back('\0');
    out.push_back('\0');
    return out;
}

bool Exists(const char* path)
{
    struct stat st {};
    return ::stat(path, &st) == 0;
}

}  // namespace

COurFileDialog::COurFileDialog(BOOL open, LPCSTR defExt, DWORD flags, LPCSTR filter, CWnd* parent)
    : CFileDialog(open, defExt, nullptr, flags | OFN_ENABLEHOOK, filter, parent)
{
    m_ofn.lpfnHook = &FileDialogHookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
}

INT_PTR COurFileDialog::DoModal()
{
    const std::size_t used = std::strlen(m_ofn.lpstrFile);
    std::memset(m_ofn.lpstrFile + used, 0, m_ofn.nMaxFile - used);
    const HWND focus = CWnd::GetFocus() ? CWnd::GetFocus()->m_hWnd : nullptr;
    CWnd* mainWnd = AfxGetMainWnd();
    CWnd placer;
    if (m_placement) {
        // A hidden window near the middle of the primary screen owns the
        // dialog, so the dialog opens there.
        static const bool registered = [] {
            WNDCLASSA wc{0, LoadCursor(nullptr, IDC_ARROW), 0, "MvFileDialogPlacer"};
            return AfxRegisterClass(&wc) != 0;
        }();
        (void)registered;
        const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 230, y = GetSystemMetrics(SM_CYSCREEN) / 2 - 180;
        placer.CreateEx(0, "MvFileDialogPlacer", "", WS_POPUP, CRect(x, y, x + 1, y + 1), nullptr, 0);
        m_ofn.hwndOwner = placer.m_hWnd;
    } else {
        m_ofn.hwndOwner = mainWnd ? mainWnd->m_hWnd : nullptr;
    }
    if (!m_customFilter.IsEmpty()) {
        m_runFilter = NulSeparated(m_customFilter);
        m_ofn.lpstrFilter = m_runFilter.c_str();
    }
    CWnd* parent = m_parent ? m_parent : mainWnd;
    const HWND parentHandle = parent ? parent->m_hWnd : nullptr;
    const bool disabled = IsWindow(parentHandle) && parent->IsWindowEnabled();
    if (disabled)
        parent->EnableWindow(FALSE);
    m_ofn.lStructSize = 88;
    const INT_PTR result = CFileDialog::DoModal();
    if (disabled && IsWindow(parentHandle))
        parent->EnableWindow(TRUE);
    if (CWnd* back = CWnd::FromHandle(focus))
        back->SetFocus();
    if (IsWindow(placer.m_hWnd))
        placer.DestroyWindow();
    return result;
}

void COurFileDialog::AppendTemplateFilter(std::string& filter, CDocTemplate* docTemplate, CString* defExt)
{
    CString ext, name;
    if (!docTemplate || !docTemplate->GetDocString(ext, CDocTemplate::filterExt) || ext.IsEmpty() ||
        !docTemplate->GetDocString(name, CDocTemplate::filterName) || name.IsEmpty())
        return;
    if (defExt) {
        *defExt = ext.GetAt(0) == '.' ? ext.Mid(1) : ext;
        m_ofn.nFilterIndex = static_cast<DWORD>(m_filterCount + 1);
    }
    filter += name.GetString();
    filter.push_back('\0');
    filter += "*";
    filter += ext.GetString();
    filter.push_back('\0');
    ++m_filterCount;
}

bool COurFileDialog::DoPromptFileName(CString& fileName, UINT titleId, DWORD flags, BOOL addAllFilter,
                                      CDocTemplate* docTemplate, DWORD helpId)
{
    const CString title(LoadResString(titleId));
    m_ofn.lpstrTitle = title.GetString();
    m_ofn.Flags |= flags;
    std::string filter;
    CString defExt;
    m_filterCount = 0;
    if (titleId == IDS_SAVE_FILE || titleId == IDS_SAVE_FILE_COPY) {
        bool first = true;
        if (CWinApp* app = AfxGetApp())
            for (CDocTemplate* t : app->DocTemplates()) {
                AppendTemplateFilter(filter, t, first ? &defExt : nullptr);
                first = false;
            }
    } else if (docTemplate) {
        AppendTemplateFilter(filter, docTemplate, &defExt);
    } else {
        filter = NulSeparated(m_customFilter);
        filter.pop_back();
    }
    if (m_bOpenFileDialog && addAllFilter) {
        filter += LoadResString(IDS_ALL_FILTER);
        filter.push_back('\0');
        filter += "*.*";
        filter.push_back('\0');
    }
    filter.push_back('\0');
    m_promptFilter = filter;
    m_ofn.lpstrFilter = m_promptFilter.c_str();
    if (!defExt.IsEmpty()) {
        m_defExt = defExt.GetString();
        m_ofn.lpstrDefExt = m_defExt.c_str();
    }
    m_fileBuffer.assign(kMaxFileName, '\0');
    std::strncpy(m_fileBuffer.data(), fileName.GetString(), kMaxFileName - 1);
    m_ofn.lpstrFile = m_fileBuffer.data();
    m_ofn.nMaxFile = kMaxFileName;
    m_ofn.Flags |= OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    if (helpId)
        m_ofn.dwHelpId = 0x20000 + helpId;
    // The filter asked for here is the one shown, not the custom text.
    const CString custom = m_customFilter;
    m_customFilter = "";
    const bool ok = DoModal() == IDOK;
    m_customFilter = custom;
    m_ofn.lpstrTitle = nullptr;
    if (ok)
        fileName = m_fileBuffer.c_str();
    return ok;
}

bool COurFileDialog::DoSave(LPCSTR path, BOOL replace, DWORD helpId)
{
    if (!m_document)
        return false;
    CString name = path ? CString(path) : CString();
    if (!path) {
        name = m_document->GetPathName();
        if (name.IsEmpty() && replace) {
            name = m_document->GetTitle();
            const int cut = name.FindOneOf(" #%;/\\");
            if (cut >= 0)
                name = name.Left(cut);
            CString ext;
            if (CDocTemplate* t = m_document->GetDocTemplate(); t && t->GetDocString(ext, CDocTemplate::filterExt))
                name += ext;
        }
        if (m_ofn.lpstrInitialDir && *m_ofn.lpstrInitialDir)
            StripPathToFileName(name);
        m_bOpenFileDialog = FALSE;
        if (!DoPromptFileName(name, replace ? IDS_SAVE_FILE : IDS_SAVE_FILE_COPY,
                              OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT, FALSE,
                              m_document->GetDocTemplate(), helpId))
            return false;
    }
    // A file this save would create is removed again when the save fails;
    // one that was there before is the user's and stays.
    const bool existed = Exists(name);
    if (!m_document->OnSaveDocument(name)) {
        if (!path && !existed)
            std::remove(name.GetString());
        return false;
    }
    m_fileBuffer.assign(kMaxFileName, '\0');
    std::strncpy(m_fileBuffer.data(), name.GetString(), kMaxFileName - 1);
    m_ofn.lpstrFile = m_fileBuffer.data();
    m_ofn.nMaxFile = kMaxFileName;
    if (replace)
        m_document->SetPathName(name);
    return true;
}

int COurFileDialog::CollectSelectedFiles(std::vector<CString>& files, int capacity) const
{
    files.clear();
    const CString spec = GetRunningSpec();
    const CString folder = GetRunningFolder();
    if (capacity < 1 || spec.IsEmpty() || folder.IsEmpty())
        return 0;
    if (spec.Find('"') < 0) {
        files.push_back(spec);
        return 1;
    }
    const int length = spec.GetLength();
    for (int at = 0; static_cast<int>(files.size()) < capacity;) {
        const int open = spec.Find('"', at);
        if (open < 0)
            break;
        const int close = spec.Find('"', open + 1);
        if (close < 0)
            break;
        files.push_back(folder + "/" + spec.Mid(open + 1, close - open - 1));
        if (close >= length - 2)
            break;
        at = close + 1;
    }
    return static_cast<int>(files.size());
}

UINT_PTR COurFileDialog::FileDialogHookProc(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY || !lParam)
        return 0;
    const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
    if (notify->hdr.code != CDN_HELP || !notify->lpOFN)
        return 0;
    auto* dialog = reinterpret_cast<COurFileDialog*>(notify->lpOFN->lCustData);
    if (dialog && &dialog->m_ofn == notify->lpOFN)
        if (CWinApp* app = AfxGetApp())
            app->WinHelp(dialog->m_ofn.dwHelpId, HELP_CONTEXT);
    return 0;
}
