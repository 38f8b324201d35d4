// The start-up window: a modeless dialog on the desktop with a status line
// that start-up rewrites step by step, a second line, an optional progress
// bar, and the progress interface long initialisations drive. It stays on
// top for 15 seconds, then goes to the bottom. Every text and progress call
// first runs the pending messages (start-up stays responsive between its
// steps) and closes the splash while Ctrl is held; calls on a splash that
// never showed or has closed do nothing. The message pump inside those
// calls runs other messages re-entrantly: hold no lock across them.
// UI thread only.
#pragma once

#include "platform/ui/CBrush.h"
#include "platform/ui/CDialog.h"
#include "platform/ui/CFont.h"
#include "uikit/IProgress.h"

class CSplashCtrl : public CDialog, public IProgress {
public:
    static constexpr UINT_PTR kTimerId = 200;
    static constexpr UINT kTopmostMs = 15000;

    CSplashCtrl() = default;
    ~CSplashCtrl() override;

    // Stores the ids (0: the template has no such control) and shows the splash.
    bool ShowSplash(UINT templateId, UINT statusId, UINT progressId, UINT secondId);
    // False when there is no template id or the window cannot be made.
    bool CreateSplashWindow();
    void Close();

    virtual void SetStatusText(const CString& text);
    virtual void SetSecondText(const CString& text);
    // This object's progress interface while the splash is up and has a progress bar; else null.
    virtual IProgress* GetProgressInterface();

    // IProgress
    void SetStatusText(const char* text) override;
    void SetRange(int lower, int upper) override;
    void SetPos(int pos) override;
    int GetPos() override { return m_lastPos; }

    void OnCancel() override;
    void OnTimer(UINT_PTR id) override;

    COLORREF m_statusColour;
    COLORREF m_secondColour;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // Runs the pending messages, closes the splash while Ctrl is down; whether it is still up.
    bool PumpAndCheckAlive();
    void ReplaceText(UINT id, const CString& text);
    CWnd* ProgressBar() const;

    UINT m_statusId = 0;
    UINT m_secondId = 0;
    UINT m_progressId = 0;
    int m_lastPos = 0;
    CBrush m_hollow;
    CFont m_secondFont;
};
