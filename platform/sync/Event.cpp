#include "platform/sync/Event.h"

#include <memory>

#include "platform/sync/CEventObject.h"

using mvsync::CEventObject;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    if (name)
        return nullptr;
    return mvsync::OpenHandle(std::make_shared<CEventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event)
{
    const auto object = mvsync::LookupHandleAs<CEventObject>(event);
    if (!object)
        return FALSE;
    object->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    const auto object = mvsync::LookupHandleAs<CEventObject>(event);
    if (!object)
        return FALSE;
    object->Reset();
    return TRUE;
}
