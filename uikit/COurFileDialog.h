// The program's open and save dialog: the non-native file dialog placed
// near the middle of the screen (through a hidden helper window), a filter
// text with '|' separators that stays as given for the next run, filters
// from the application's document templates, the document save under a
// name the user is asked for, and the multi-selection of the running dialog
// as folder-qualified paths. The owner is disabled while it runs and the
// focus goes back where it was. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/CDocTemplate.h"
#include "platform/ui/CDocument.h"
#include "platform/ui/CFileDialog.h"

class COurFileDialog : public CFileDialog {
public:
    COurFileDialog(BOOL open, LPCSTR defExt = nullptr, DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                   LPCSTR filter = nullptr, CWnd* parent = nullptr);

    void SetFilter(LPCSTR text) { m_customFilter = text; }
    const CString& GetFilter() const { return m_customFilter; }
    INT_PTR DoModal() override;
    // Asks for a file name; the title is string `titleId` (61441 and 61444,
    // the save titles, offer every document template's filter). True on OK,
    // with `fileName` the choice.
    virtual bool DoPromptFileName(CString& fileName, UINT titleId, DWORD flags, BOOL addAllFilter,
                                  CDocTemplate* docTemplate, DWORD helpId);
    // Saves m_document to `path`, or to a name the user chooses when null.
    virtual bool DoSave(LPCSTR path, BOOL replace, DWORD helpId);
    // Appends the template's filter ("name", NUL, "*.ext", NUL) when it has
    // both strings; with `defExt`, that extension (without its dot) becomes
    // the default and its filter the selected one.
    void AppendTemplateFilter(std::string& filter, CDocTemplate* docTemplate, CString* defExt);
    // The running dialog's chosen files, at most `capacity`: one name as it
    // stands, or each quoted name joined to the folder. 0 while none runs.
    int CollectSelectedFiles(std::vector<CString>& files, int capacity) const;

    static UINT_PTR FileDialogHookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool m_placement = true;
    CDocument* m_document = nullptr;

private:
    CString m_customFilter;
    std::string m_promptFilter;
    std::string m_runFilter;
    int m_filterCount = 0;
};
