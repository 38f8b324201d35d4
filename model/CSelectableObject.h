// The selection flag that events, patterns, instances and map entries carry
// for the editing views. A plain 32-bit flag with no behaviour of its own;
// classes that persist it transfer it as a u32.
#pragma once

#include "platform/win/WinTypes.h"

class CSelectableObject {
public:
    BOOL IsSelected() const { return m_selected != 0; }
    void SetSelected(BOOL selected) { m_selected = static_cast<DWORD>(selected); }

    DWORD m_selected = 0;
};
