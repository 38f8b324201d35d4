#include "uikit/WindowClass.h"

#include "platform/ui/CResourceException.h"

const char* RegisterWindowClassOnce(const char* className, UINT classStyle, HCURSOR cursor, int background,
                                    void*)
{
    if (GetClassInfoA(nullptr, className, nullptr))
        return className;
    const WNDCLASSA wc{classStyle, cursor, background, className};
    if (!AfxRegisterClass(&wc))
        AfxThrowResourceException();
    return className;
}
