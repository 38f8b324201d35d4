#include "platform/sync/Event.h"

#include <memory>

#include "platform/sync/CEventObject.h"
#include "platform/sync/ISignalable.h"

using mvsync::CEventObject;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    if (name)
        return nullptr;
    return mvsync::OpenHandle(std::make_shared<CEventObject>(manualReset != FALSE, initialState != FALSE));
}

namespace {

template <class Action>
BOOL WithSignalable(HANDLE event, Action action)
{
    const auto object = mvsync::LookupHandle(event);
    auto* signalable = dynamic_cast<mvsync::ISignalable*>(object.get());
    if (!signalable)
        return FALSE;
    action(*signalable);
    return TRUE;
}

}  // namespace

BOOL SetEvent(HANDLE event)
{
    return WithSignalable(event, [](mvsync::ISignalable& e) { e.Set(); });
}

BOOL ResetEvent(HANDLE event)
{
    return WithSignalable(event, [](mvsync::ISignalable& e) { e.Reset(); });
}

BOOL PulseEvent(HANDLE event)
{
    return WithSignalable(event, [](mvsync::ISignalable& e) { e.Pulse(); });
}
