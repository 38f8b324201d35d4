#include "uikit/COurDockState.h"

#include "platform/ui/SystemMetrics.h"

COurDockState::COurDockState()
{
    m_rectDevice = CRect(0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    m_rectClip = m_rectDevice;
    m_rectClip.right -= GetSystemMetrics(SM_CXICON);
    m_rectClip.bottom -= GetSystemMetrics(SM_CYICON);
    m_sizeSaved = m_rectDevice.Size();
}
