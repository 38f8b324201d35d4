// The audio thread of a threaded back-end (DirectSound, WDM): created
// suspended at time-critical priority, ended by the back-end's stop counter
// and a bounded wait. A thread that does not end within the wait is never
// taken for ended: its handle is kept, so the back-end can see that it
// still runs and start no second one; what it uses it must hold itself.
// UI thread.
#pragma once

#include "platform/sync/Thread.h"

class CDeviceThread {
public:
    CDeviceThread() = default;
    // Closes the handle; a thread still running goes on with what it holds.
    ~CDeviceThread();
    CDeviceThread(const CDeviceThread&) = delete;
    CDeviceThread& operator=(const CDeviceThread&) = delete;

    // Suspended, at time-critical priority. False when there is no thread.
    bool Create(LPTHREAD_START_ROUTINE start, LPVOID arg);
    void Resume();
    // Raises the stop counter and waits up to `ms`: true when the thread
    // ended (and is forgotten), false when it still runs.
    bool Stop(LONG* stopCount, DWORD ms);
    // Whether a thread that an earlier Stop could not end still runs;
    // forgets it once it has ended.
    bool StillRunning();
    bool Exists() const { return m_handle != nullptr; }

private:
    void Forget();

    HANDLE m_handle = nullptr;
};
