#include "platform/ui/CFont.h"

#include <QFontMetrics>
#include <cstring>
#include <strings.h>

#include "platform/ui/GdiImpl.h"
#include "platform/ui/SystemMetrics.h"

BOOL CFont::CreateFontIndirect(const LOGFONT* lf)
{
    if (!lf)
        return FALSE;
    m_lf = *lf;
    m_lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    m_created = true;
    return TRUE;
}

BOOL CFont::CreatePointFont(int tenthsOfPoint, LPCSTR face)
{
    LOGFONT lf{};
    lf.lfHeight = -((tenthsOfPoint * GetDisplayCaps(LOGPIXELSY) + 360) / 720);
    lf.lfWeight = FW_NORMAL;
    if (face)
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

BOOL CFont::GetLogFont(LOGFONT* lf) const
{
    if (!lf || !m_created)
        return FALSE;
    *lf = m_lf;
    return TRUE;
}

namespace mvui {

const char* MapFontFace(const char* face)
{
    if (!face || !*face)
        return "DejaVu Sans";
    struct Map {
        const char* from;
        const char* to;
    };
    static constexpr Map kMap[] = {
        {"Tahoma", "DejaVu Sans"},         {"MS Sans Serif", "DejaVu Sans"},
        {"MS Shell Dlg", "DejaVu Sans"},   {"MS Shell Dlg 2", "DejaVu Sans"},
        {"Verdana", "DejaVu Sans"},        {"Segoe UI", "DejaVu Sans"},
        {"System", "DejaVu Sans"},         {"Arial", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"},  {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"}, {"Courier", "Liberation Mono"},
    };
    for (const Map& m : kMap)
        if (strcasecmp(face, m.from) == 0)
            return m.to;
    return face;
}

QFont QtFont(const LOGFONT& lf)
{
    QFont f(QString::fromUtf8(MapFontFace(lf.lfFaceName)));
    f.setStyleHint(QFont::SansSerif);
    const int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 1, 1000);
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setItalic(lf.lfItalic != 0);
    f.setUnderline(lf.lfUnderline != 0);
    f.setStrikeOut(lf.lfStrikeOut != 0);
    if (lf.lfQuality == 3)  // non-antialiased
        f.setStyleStrategy(QFont::NoAntialias);
    if (lf.lfHeight < 0) {
        f.setPixelSize(static_cast<int>(-lf.lfHeight));
    } else {
        // A cell height: scale the character height so ascent + descent fit it.
        const int cell = lf.lfHeight > 0 ? static_cast<int>(lf.lfHeight) : 16;
        f.setPixelSize(cell);
        const QFontMetrics fm(f);
        const int got = fm.ascent() + fm.descent();
        if (got > 0 && got != cell)
            f.setPixelSize(std::max(1, cell * cell / got));
    }
    return f;
}

}  // namespace mvui
