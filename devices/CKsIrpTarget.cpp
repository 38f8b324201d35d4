#include "devices/CKsIrpTarget.h"

CKsIrpTarget::~CKsIrpTarget() { CloseTargetHandle(); }

void CKsIrpTarget::CloseTargetHandle()
{
    if (IsValid())
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}
