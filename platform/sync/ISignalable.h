// A kernel object that SetEvent, ResetEvent and PulseEvent act on: the
// events of this process (CEventObject) and the named events that other
// processes share (platform/ipc).
#pragma once

namespace mvsync {

class ISignalable {
public:
    virtual void Set() = 0;
    virtual void Reset() = 0;
    // Releases the threads waiting at this moment (one for an auto-reset
    // event) and leaves the object not signalled.
    virtual void Pulse() = 0;

protected:
    ~ISignalable() = default;
};

}  // namespace mvsync
