// The object behind a named-event handle: a POSIX named semaphore that
// holds 0 (not signalled) or 1 (signalled). Set raises it only from 0, so
// that two sets before a wait release one waiter, as an auto-reset event
// does; between two processes that each set at once it may reach 2, which
// releases one extra wait (the protocols here have one setter per event).
#pragma once

#include <semaphore.h>

#include <string>

#include "platform/sync/CKernelObject.h"
#include "platform/sync/ISignalable.h"

namespace mvipc {

class CNamedEventObject : public mvsync::CKernelObject, public mvsync::ISignalable {
public:
    static std::shared_ptr<CNamedEventObject> Create(const std::string& posixName, bool initialState,
                                                     bool* existed);
    static std::shared_ptr<CNamedEventObject> Open(const std::string& posixName);
    ~CNamedEventObject() override;

    // Safe on the audio thread: no allocation, no lock.
    void Set() override;
    void Reset() override;
    void Pulse() override;
    DWORD Wait(DWORD milliseconds) override;

private:
    CNamedEventObject(sem_t* semaphore, std::string ownedName);

    sem_t* m_semaphore;
    std::string m_ownedName;  // empty unless this handle created the name
};

}  // namespace mvipc
