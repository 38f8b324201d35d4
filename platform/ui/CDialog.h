// A dialog: a window from a template by id, shown modeless (Create) or
// modal (DoModal, a local event loop that ends with EndDialog). OK and
// Cancel (commands IDOK and IDCANCEL, Enter and Escape) end it through OnOK
// and OnCancel; data moves between controls and members through
// DoDataExchange, called by UpdateData. While a modal loop runs, the owner
// is disabled. UI thread only.
#pragma once

#include <map>
#include <vector>

#include "platform/res/MessageBox.h"
#include "platform/ui/CWnd.h"

// IDOK, IDCANCEL, IDYES and IDNO come with the message boxes.
constexpr int IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDHELP = 9;
constexpr UINT WM_INITDIALOG = 0x0110;

// One control of a dialog template: its window class ("Button", "Edit",
// "Static", "msctls_trackbar32", "msctls_progress32", "SysTabControl32"),
// id, text, styles and rectangle in dialog units. WS_CHILD is always added.
struct DialogControl {
    CString className;
    int id = -1;
    CString text;
    DWORD style = WS_VISIBLE;
    DWORD exStyle = 0;
    CRect rect;  // dialog units
};

// A dialog template: caption, size in dialog units, the dialog font and the
// controls, made in this order (their order is the windows' sibling order).
struct DialogTemplate {
    CString caption;
    CRect rect;  // dialog units
    CString fontFace = "MS Shell Dlg";
    int pointSize = 8;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    DWORD exStyle = 0;
    std::vector<DialogControl> controls;
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    // The control the next check is about: a failure goes back to it.
    void PrepareCtrl(int id) { m_idLastControl = id; m_editLastControl = false; }
    void PrepareEditCtrl(int id) { m_idLastControl = id; m_editLastControl = true; }
    // Validation failed: UpdateData returns FALSE and the focus goes back to
    // the last prepared control (an edit control's text all selected).
    void Fail();

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    bool m_failed = false;
    int m_idLastControl = 0;
    bool m_editLastControl = false;
};

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}

    virtual INT_PTR DoModal();
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx) {}
    // Controls to members (TRUE) or members to controls (FALSE).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    // The pixel rectangle of a rectangle in this dialog's dialog units.
    void MapDialogRect(LPRECT rect) const;
    UINT TemplateId() const { return m_templateId; }
    // The template's rectangle in pixels, by the template's own font; empty without a template.
    CRect TemplatePixelRect() const;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnClose() override;
    // Makes the dialog's window (hidden): from the template, as a child of
    // `parent` when one is given, else a top window.
    virtual BOOL CreateDialogWindow(CWnd* parent);

    UINT m_templateId = 0;
    CWnd* m_parent = nullptr;
    bool m_modal = false;
    bool m_ended = false;
    int m_result = IDCANCEL;
    CSize m_baseUnits{6, 13};
    void* m_loop = nullptr;
};

// The template a dialog id is built from; null when none is registered.
const DialogTemplate* FindDialogTemplate(UINT id);

namespace mvui {
// Registers the template a dialog id is built from (the resource table's job).
void RegisterDialogTemplate(UINT id, const DialogTemplate& dialogTemplate);
// Makes the window of one template control inside `parent` at `rect`
// (pixels); the window object goes with its window. Null for a class the
// layer does not know or a failed creation.
CWnd* CreateDialogControl(const DialogControl& control, const CRect& rect, CWnd* parent);
bool IsDialogControlClass(const char* className);
// The window class of dialogs: double clicks, the button face as background.
const char* DialogClassName();
// Called with each modal dialog once its loop runs (tests answer dialogs with it).
using ModalHook = void (*)(CDialog* dialog, void* context);
void SetModalHook(ModalHook hook, void* context);
}  // namespace mvui
