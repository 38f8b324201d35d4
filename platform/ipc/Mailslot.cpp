#include "platform/ipc/Mailslot.h"

#include "platform/ipc/CMailslotObject.h"
#include "platform/ipc/IpcName.h"

using mvipc::CMailslotObject;

namespace {

// Mailslot names ignore case.
std::string SlotName(LPCSTR name)
{
    if (!name)
        return {};
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return mvipc::PosixName("slot", lower.c_str());
}

HANDLE HandleOf(std::shared_ptr<CMailslotObject> slot)
{
    return slot ? mvsync::OpenHandle(std::move(slot)) : INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE CreateMailslotA(LPCSTR name, DWORD maxMessageSize, DWORD readTimeout, LPSECURITY_ATTRIBUTES)
{
    return HandleOf(CMailslotObject::Create(SlotName(name), maxMessageSize, readTimeout));
}

HANDLE OpenMailslotA(LPCSTR name) { return HandleOf(CMailslotObject::OpenForWriting(SlotName(name))); }

BOOL WriteMailslot(HANDLE slot, LPCVOID buffer, DWORD size, DWORD* written)
{
    if (written)
        *written = 0;
    const auto object = mvsync::LookupHandleAs<CMailslotObject>(slot);
    if (!object || !object->Write(buffer, size))
        return FALSE;
    if (written)
        *written = size;
    return TRUE;
}

BOOL ReadMailslot(HANDLE slot, LPVOID buffer, DWORD size, DWORD* read)
{
    if (read)
        *read = 0;
    const auto object = mvsync::LookupHandleAs<CMailslotObject>(slot);
    return object && object->Read(buffer, size, read) ? TRUE : FALSE;
}

BOOL GetMailslotInfo(HANDLE slot, DWORD* maxMessageSize, DWORD* nextSize, DWORD* messageCount, DWORD* readTimeout)
{
    const auto object = mvsync::LookupHandleAs<CMailslotObject>(slot);
    return object && object->Info(maxMessageSize, nextSize, messageCount, readTimeout) ? TRUE : FALSE;
}
