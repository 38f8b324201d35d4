// A font from a LOGFONT, the sign of its height kept: below zero the
// character height in pixels, above zero the cell height, zero the default
// size. Faces are mapped to the fonts the system carries (Tahoma to DejaVu
// Sans, Arial to Liberation Sans); metrics come from the real font.
#pragma once

#include "platform/ui/CGdiObject.h"

class CFont : public CGdiObject {
public:
    CFont() : CGdiObject(Font) {}

    BOOL CreateFontIndirect(const LOGFONT* lf);
    BOOL CreatePointFont(int tenthsOfPoint, LPCSTR face);
    BOOL GetLogFont(LOGFONT* lf) const;
    const LOGFONT& LogFont() const { return m_lf; }

private:
    LOGFONT m_lf{};
};

namespace mvui {
// The face the system draws for a requested face name.
const char* MapFontFace(const char* face);
}
