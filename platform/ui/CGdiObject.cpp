#include "platform/ui/CGdiObject.h"

#include "platform/ui/CBrush.h"
#include "platform/ui/CFont.h"
#include "platform/ui/CPen.h"

BOOL CGdiObject::DeleteObject()
{
    if (m_stock || !m_created)
        return FALSE;
    m_created = false;
    return TRUE;
}

namespace {

template <class T>
T* Stock(T* object)
{
    object->m_stock = true;
    return object;
}

CFont* MakeGuiFont()
{
    static CFont font;
    LOGFONT lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    std::strcpy(lf.lfFaceName, "Tahoma");
    font.CreateFontIndirect(&lf);
    return Stock(&font);
}

}  // namespace

CGdiObject* GetStockObject(int index)
{
    static CBrush* white = Stock(new CBrush(RGB(255, 255, 255)));
    static CBrush* ltgray = Stock(new CBrush(RGB(192, 192, 192)));
    static CBrush* gray = Stock(new CBrush(RGB(128, 128, 128)));
    static CBrush* dkgray = Stock(new CBrush(RGB(64, 64, 64)));
    static CBrush* black = Stock(new CBrush(RGB(0, 0, 0)));
    static CBrush* null = [] {
        auto* b = new CBrush;
        b->CreateNullBrush();
        return Stock(b);
    }();
    static CPen* whitePen = Stock(new CPen(PS_SOLID, 1, RGB(255, 255, 255)));
    static CPen* blackPen = Stock(new CPen(PS_SOLID, 1, RGB(0, 0, 0)));
    static CPen* nullPen = Stock(new CPen(PS_NULL, 1, 0));
    static CFont* gui = MakeGuiFont();
    switch (index) {
    case WHITE_BRUSH: return white;
    case LTGRAY_BRUSH: return ltgray;
    case GRAY_BRUSH: return gray;
    case DKGRAY_BRUSH: return dkgray;
    case BLACK_BRUSH: return black;
    case NULL_BRUSH: return null;
    case WHITE_PEN: return whitePen;
    case BLACK_PEN: return blackPen;
    case NULL_PEN: return nullPen;
    case ANSI_VAR_FONT: case SYSTEM_FONT: case DEFAULT_GUI_FONT: return gui;
    default: return nullptr;
    }
}
