// A document: the data a frame's views show. It keeps its views, tells them
// of changes (UpdateAllViews with a hint) and answers commands after the
// active view. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CCmdTarget.h"
#include "platform/win/CString.h"

class CView;
class CDocTemplate;
class CObject {
public:
    virtual ~CObject() = default;
};

class CDocument : public CCmdTarget {
public:
    ~CDocument() override;

    virtual BOOL OnNewDocument();
    virtual void DeleteContents() {}
    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& Views() const { return m_views; }
    // Every view but `sender` gets OnUpdate(sender, hint, object).
    void UpdateAllViews(CView* sender, LPARAM hint = 0, CObject* object = nullptr);
    void SetModifiedFlag(BOOL modified = TRUE) { m_modified = modified; }
    BOOL IsModified() const { return m_modified; }
    void SetTitle(LPCSTR title) { m_title = title; }
    const CString& GetTitle() const { return m_title; }
    void SetPathName(LPCSTR path) { m_path = path; }
    const CString& GetPathName() const { return m_path; }
    // Writes the document to `path`; FALSE when it cannot.
    virtual BOOL OnSaveDocument(LPCSTR path);
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    CDocTemplate* m_pDocTemplate = nullptr;

private:
    std::vector<CView*> m_views;
    BOOL m_modified = FALSE;
    CString m_title;
    CString m_path;
};
