// The audio thread of a threaded back-end (DirectSound, WDM): created
// suspended at time-critical priority, ended by the back-end's stop counter
// and a bounded wait. A thread that does not end within the wait is never
// taken for ended: its handle is kept, so the back-end can see that it
// still runs and start no second one; what it uses it must hold itself.
// The thread marks itself as the audio thread before the start routine runs.
// UI thread.
#pragma once

#include <memory>

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
    // Suspended, with a reference of its own to `state`, handed over as a
    // heap-held shared_ptr the thread takes and deletes. False (nothing
    // handed over) when there is no thread.
    template <class State>
    bool Create(LPTHREAD_START_ROUTINE start, const std::shared_ptr<State>& state)
    {
        auto* arg = new std::shared_ptr<State>(state);
        if (Create(start, static_cast<LPVOID>(arg)))
            return true;
        delete arg;
        return false;
    }
    void Resume();
    // Raises the stop counter and waits up to `ms`: true when the thread
    // ended (and is forgotten), false when it still runs.
    bool Stop(LONG* stopCount, DWORD ms);
    // Ends the thread sharing `state` through its stop counter; the
    // back-end's share goes once the thread has ended. True when no thread
    // runs (also when there was none), false when it still runs.
    template <class State>
    bool Stop(std::shared_ptr<State>& state, DWORD ms)
    {
        if (!Exists() || !state)
            return true;
        if (!Stop(&state->stopCount, ms))
            return false;
        state.reset();
        return true;
    }
    // Whether a thread that an earlier Stop could not end still runs;
    // forgets it once it has ended.
    bool StillRunning();
    bool Exists() const { return m_handle != nullptr; }

private:
    void Forget();

    HANDLE m_handle = nullptr;
};
