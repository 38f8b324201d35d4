// The twenty exported entry points of the engine library, by the names the
// bridge resolves; each forwards to the process's one engine.
#include "platform/rewire/CRewireEngine.h"

using namespace rewire;

#define RW_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
CRewireEngine& E() { return CRewireEngine::Instance(); }
}  // namespace

RW_EXPORT std::int32_t RWM2OpenImp(std::int32_t version, const OpenInfo* info) { return E().Open(version, info); }
RW_EXPORT std::int32_t RWM2IsCloseOKImp(std::int32_t* ok) { return E().IsCloseOK(ok); }
RW_EXPORT std::int32_t RWM2CloseImp() { return E().Close(); }
RW_EXPORT std::int32_t RWM2GetDeviceCountImp(std::int32_t* count) { return E().GetDeviceCount(count); }
RW_EXPORT std::int32_t RWM2GetDeviceInfoImp(std::int32_t index, DeviceInfo* info)
{
    return E().GetDeviceInfo(index, info);
}
RW_EXPORT std::int32_t RWM2GetDeviceInfoByHandleImp(DeviceHandle handle, DeviceInfo* info)
{
    return E().GetDeviceInfoByHandle(handle, info);
}
RW_EXPORT std::int32_t RWM2OpenDeviceImp(std::int32_t index, DeviceHandle* handle)
{
    return E().OpenDevice(index, handle);
}
RW_EXPORT std::int32_t RWM2IsCloseDeviceOKImp(DeviceHandle handle, std::int32_t* ok)
{
    return E().IsCloseDeviceOK(handle, ok);
}
RW_EXPORT std::int32_t RWM2CloseDeviceImp(DeviceHandle handle) { return E().CloseDevice(handle); }
RW_EXPORT std::int32_t RWM2DriveAudioImp(DeviceHandle handle, const DriveAudioInput* in, DriveAudioOutput* out)
{
    return E().DriveAudio(handle, in, out);
}
RW_EXPORT std::int32_t RWM2IdleImp() { return E().Idle(); }
RW_EXPORT std::int32_t RWM2LaunchPanelAppImp(DeviceHandle handle) { return E().LaunchPanelApp(handle); }
RW_EXPORT std::int32_t RWM2IsPanelAppLaunchedImp(DeviceHandle handle, std::int32_t* launched)
{
    return E().IsPanelAppLaunched(handle, launched);
}
RW_EXPORT std::int32_t RWM2QuitPanelAppImp(DeviceHandle handle) { return E().QuitPanelApp(handle); }
RW_EXPORT std::int32_t RWM2GetEventInfoImp(DeviceHandle handle, EventInfo* info)
{
    return E().GetEventInfo(handle, info);
}
RW_EXPORT std::int32_t RWM2GetEventBusInfoImp(DeviceHandle handle, std::int32_t bus, EventBusInfo* info)
{
    return E().GetEventBusInfo(handle, bus, info);
}
RW_EXPORT std::int32_t RWM2GetEventChannelInfoImp(DeviceHandle handle, const EventTarget* target,
                                                  EventChannelInfo* info)
{
    return E().GetEventChannelInfo(handle, target, info);
}
RW_EXPORT std::int32_t RWM2GetControllerInfoImp(DeviceHandle handle, const EventTarget* target,
                                                std::int32_t controller, ControllerInfo* info)
{
    return E().GetControllerInfo(handle, target, controller, info);
}
RW_EXPORT std::int32_t RWM2GetNoteInfoImp(DeviceHandle handle, const EventTarget* target, std::int32_t note,
                                          NoteInfo* info)
{
    return E().GetNoteInfo(handle, target, note, info);
}
RW_EXPORT std::int32_t RWM2SetAudioInfoImp(const AudioInfo* info) { return E().SetAudioInfo(info); }
