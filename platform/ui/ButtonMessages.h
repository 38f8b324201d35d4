// Button numbers as Windows gives them: the button control messages, the
// notifications a button sends with WM_COMMAND, the button styles, and the
// font and idle-update messages that buttons answer. Plain values.
#pragma once

#include "platform/win/WinTypes.h"

constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_SETSTATE = 0x00F3;
constexpr UINT WM_SETFONT = 0x0030, WM_GETFONT = 0x0031, WM_IDLEUPDATECMDUI = 0x0363;
constexpr WORD BN_CLICKED = 0, BN_DOUBLECLICKED = 5;
// The type field (the low four bits) and the alignment of a button's style.
constexpr DWORD BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_CHECKBOX = 0x2, BS_AUTOCHECKBOX = 0x3,
                BS_RADIOBUTTON = 0x4, BS_3STATE = 0x5, BS_AUTO3STATE = 0x6, BS_AUTORADIOBUTTON = 0x9,
                BS_OWNERDRAW = 0xB, BS_TYPEMASK = 0xF, BS_LEFT = 0x100, BS_RIGHT = 0x200, BS_CENTER = 0x300;
constexpr int BST_UNCHECKED = 0, BST_CHECKED = 1;
