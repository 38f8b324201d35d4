#include "devices/CDeviceThread.h"

#include "platform/sync/Interlocked.h"

CDeviceThread::~CDeviceThread() { Forget(); }

void CDeviceThread::Forget()
{
    if (m_handle)
        CloseHandle(m_handle);
    m_handle = nullptr;
}

bool CDeviceThread::Create(LPTHREAD_START_ROUTINE start, LPVOID arg)
{
    Forget();
    m_handle = CreateThread(nullptr, 0, start, arg, CREATE_SUSPENDED, nullptr);
    if (!m_handle)
        return false;
    SetThreadPriority(m_handle, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

void CDeviceThread::Resume()
{
    if (m_handle)
        ResumeThread(m_handle);
}

bool CDeviceThread::Stop(LONG* stopCount, DWORD ms)
{
    InterlockedIncrement(stopCount);
    if (WaitForSingleObject(m_handle, ms) != WAIT_OBJECT_0)
        return false;
    Forget();
    return true;
}

bool CDeviceThread::StillRunning()
{
    if (!m_handle)
        return false;
    if (WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT)
        return true;
    Forget();
    return false;
}
