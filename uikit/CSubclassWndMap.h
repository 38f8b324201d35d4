// The process-wide table from a window handle to the newest hook on that
// window (CSubclassWnd). One instance, made on first use, lives until the
// program ends. Adding and removing hooks keep the chain of each window and
// its window procedure right: the first hook puts the shared hook procedure
// in place, the last one to go puts the window's own procedure back.
// UI thread only; not locked.
#pragma once

#include <unordered_map>

#include "platform/ui/CWnd.h"

class CSubclassWnd;

class CSubclassWndMap {
public:
    static CSubclassWndMap& Instance();

    // Puts `hook` in front of the hooks on `window`.
    void Add(CWnd* window, CSubclassWnd* hook);
    // Takes `hook` off its window, wherever it stands in the chain.
    void Remove(CSubclassWnd* hook);
    // Takes every hook off `hwnd` and restores its own procedure.
    void RemoveAll(HWND hwnd);
    // The newest hook on `hwnd`; null when none.
    CSubclassWnd* Lookup(HWND hwnd) const;

private:
    std::unordered_map<HWND, CSubclassWnd*> m_newest;
};
