// What an owner-drawn control hands its owner to draw an item with.
#pragma once

#include "platform/ui/CDC.h"

constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODA_DRAWENTIRE = 0x1, ODA_SELECT = 0x2, ODA_FOCUS = 0x4;
constexpr UINT ODS_SELECTED = 0x1, ODS_GRAYED = 0x2, ODS_DISABLED = 0x4, ODS_CHECKED = 0x8,
               ODS_FOCUS = 0x10;
constexpr UINT WM_DRAWITEM = 0x002B;

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    DWORD_PTR itemData;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;
