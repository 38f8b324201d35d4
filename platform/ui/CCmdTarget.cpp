#include "platform/ui/CCmdTarget.h"

BOOL CCmdTarget::OnCmdMsg(UINT, int, void*)
{
    return FALSE;
}
