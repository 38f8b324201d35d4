#include "platform/ipc/NamedEvent.h"

#include "platform/ipc/CNamedEventObject.h"
#include "platform/ipc/IpcName.h"

using mvipc::CNamedEventObject;

HANDLE CreateNamedEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name, BOOL* existed)
{
    if (existed)
        *existed = FALSE;
    if (manualReset)
        return nullptr;
    bool found = false;
    auto object = CNamedEventObject::Create(mvipc::PosixName("event", name), initialState != FALSE, &found);
    if (!object)
        return nullptr;
    if (existed)
        *existed = found ? TRUE : FALSE;
    return mvsync::OpenHandle(std::move(object));
}

HANDLE OpenEventA(DWORD, BOOL, LPCSTR name)
{
    auto object = CNamedEventObject::Open(mvipc::PosixName("event", name));
    return object ? mvsync::OpenHandle(std::move(object)) : nullptr;
}
