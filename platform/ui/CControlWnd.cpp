#include "platform/ui/CControlWnd.h"

BOOL CControlWnd::CreateControl(LPCSTR className, LPCSTR text, DWORD style, const RECT& rect,
                                CWnd* parent, UINT id, DWORD exStyle)
{
    WNDCLASSA wc{CS_DBLCLKS, nullptr, COLOR_BTNFACE + 1, className};
    if (!GetClassInfoA(nullptr, className, nullptr))
        AfxRegisterClass(&wc);
    return CreateEx(exStyle, className, text, style, rect, parent, id);
}

CFont* CControlWnd::ControlFont()
{
    static CFont font;
    if (!font.IsCreated())
        font.CreatePointFont(80, "Tahoma");
    return &font;
}

void CControlWnd::PostNcDestroy()
{
    if (m_autoDelete)
        delete this;
}

void CControlWnd::NotifyParent(WORD code)
{
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), code),
                            reinterpret_cast<LPARAM>(m_hWnd));
}
