#include "platform/ipc/CNamedEventObject.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/ipc/Deadline.h"

namespace mvipc {

CNamedEventObject::CNamedEventObject(sem_t* semaphore, std::string ownedName)
    : m_semaphore(semaphore), m_ownedName(std::move(ownedName))
{
}

std::shared_ptr<CNamedEventObject> CNamedEventObject::Create(const std::string& posixName, bool initialState,
                                                             bool* existed)
{
    if (existed)
        *existed = false;
    if (posixName.empty())
        return nullptr;
    sem_t* semaphore = sem_open(posixName.c_str(), O_CREAT | O_EXCL, 0600, initialState ? 1u : 0u);
    if (semaphore == SEM_FAILED && errno == EEXIST) {
        if (existed)
            *existed = true;
        return Open(posixName);
    }
    if (semaphore == SEM_FAILED)
        return nullptr;
    return std::shared_ptr<CNamedEventObject>(new CNamedEventObject(semaphore, posixName));
}

std::shared_ptr<CNamedEventObject> CNamedEventObject::Open(const std::string& posixName)
{
    if (posixName.empty())
        return nullptr;
    sem_t* semaphore = sem_open(posixName.c_str(), 0);
    if (semaphore == SEM_FAILED)
        return nullptr;
    return std::shared_ptr<CNamedEventObject>(new CNamedEventObject(semaphore, {}));
}

CNamedEventObject::~CNamedEventObject()
{
    sem_close(m_semaphore);
    if (!m_ownedName.empty())
        sem_unlink(m_ownedName.c_str());
}

void CNamedEventObject::Set()
{
    int value = 0;
    if (sem_getvalue(m_semaphore, &value) == 0 && value <= 0)
        sem_post(m_semaphore);
}

void CNamedEventObject::Reset()
{
    while (sem_trywait(m_semaphore) == 0) {
    }
}

void CNamedEventObject::Pulse() { Set(); }

DWORD CNamedEventObject::Wait(DWORD milliseconds)
{
    int result;
    if (milliseconds == INFINITE) {
        do
            result = sem_wait(m_semaphore);
        while (result != 0 && errno == EINTR);
        return result == 0 ? WAIT_OBJECT_0 : WAIT_FAILED;
    }
    const timespec deadline = DeadlineAfter(CLOCK_MONOTONIC, milliseconds);
    do
        result = sem_clockwait(m_semaphore, CLOCK_MONOTONIC, &deadline);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return WAIT_OBJECT_0;
    return errno == ETIMEDOUT ? WAIT_TIMEOUT : WAIT_FAILED;
}

}  // namespace mvipc
