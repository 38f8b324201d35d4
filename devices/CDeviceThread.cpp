#include "devices/CDeviceThread.h"

#include <new>

#include "platform/sync/Interlocked.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

// What the new thread runs before the back-end's loop: it marks itself as
// the audio thread, so every entry point down the per-buffer path can check
// who calls it.
struct AudioStart {
    LPTHREAD_START_ROUTINE start;
    LPVOID arg;
};

DWORD RunAsAudioThread(LPVOID p)
{
    const AudioStart launch = *static_cast<AudioStart*>(p);
    delete static_cast<AudioStart*>(p);
    mv::MarkCurrentThread(mv::ThreadRole::Audio);
    return launch.start(launch.arg);
}

}  // namespace

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
    if (!start)
        return false;
    auto* launch = new (std::nothrow) AudioStart{start, arg};
    if (!launch)
        return false;
    m_handle = CreateThread(nullptr, 0, RunAsAudioThread, launch, CREATE_SUSPENDED, nullptr);
    if (!m_handle) {
        delete launch;
        return false;
    }
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
