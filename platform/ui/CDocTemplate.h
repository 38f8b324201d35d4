// A document template as the file dialogs use it: the document strings
// that name its file type (the filter name "Morvane Project (*.mvp)" and
// the extension ".mvp"). The application keeps its templates in the order
// they were added. UI thread only.
#pragma once

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CDocTemplate {
public:
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt };

    CDocTemplate(LPCSTR filterNameText, LPCSTR filterExtText) : m_filterName(filterNameText), m_filterExt(filterExtText) {}
    virtual ~CDocTemplate() = default;

    // TRUE with `out` set for the filter name and extension; FALSE for the others.
    BOOL GetDocString(CString& out, DocStringIndex index) const;

private:
    CString m_filterName;
    CString m_filterExt;
};
