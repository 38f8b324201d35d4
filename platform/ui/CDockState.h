// A frame's dock state: for each control bar its id, whether it is shown
// and floats, its place (in its dock bar, or on the screen when floating)
// and its most recently used dock and float places; for each side's dock
// bar its rows as bar ids (0 ends a row). It is saved in the profile as one
// binary value and read back with every length and count checked: a state
// that is damaged in any way is refused whole, so a frame never restores
// half of one. Floating places are kept within the device rectangle the
// state was saved on, scaled to this one and held inside the clip
// rectangle. UI thread only.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/ui/GdiTypes.h"

struct CControlBarInfo {
    UINT m_nBarID = 0;
    BOOL m_bVisible = TRUE;
    BOOL m_bFloating = FALSE;
    BOOL m_bHorz = TRUE;
    CPoint m_pointPos;
    UINT m_uMRUDockID = 0;
    CRect m_rectMRUDockPos;
    DWORD m_dwMRUFloatStyle = 0;
    CPoint m_ptMRUFloatPos;
};

struct CDockBarInfo {
    UINT m_nDockBarID = 0;
    std::vector<UINT> m_arrBarID;  // starts and ends with 0; 0 ends a row
};

class CDockState {
public:
    CDockState();
    virtual ~CDockState() = default;

    void Clear();
    // Profile section "<name>-Summary", binary entry "DockState".
    void SaveState(LPCSTR profileName) const;
    // FALSE, and the state left empty, when there is none or it is damaged.
    BOOL LoadState(LPCSTR profileName);
    std::vector<BYTE> Save() const;
    BOOL Load(const BYTE* data, std::size_t size);
    // A saved screen point moved onto this state's device and into its clip.
    CPoint ScalePoint(CPoint saved) const;

    std::vector<CControlBarInfo> m_arrBarInfo;
    std::vector<CDockBarInfo> m_arrDockBars;
    // The screen the state was saved on (from the device rectangle at save).
    CSize m_sizeSaved;
    CRect m_rectDevice;
    CRect m_rectClip;
};
