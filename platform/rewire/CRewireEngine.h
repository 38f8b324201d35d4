// The ReWire engine library (mixer side) of this system: the ReWire system
// that the bridge opens and closes, and its one device, the program in
// device mode, found beside the library as "morvane". One engine per
// process; the entry points (ReWireEntryPoints.cpp) forward to it. The
// bridge calls it under its global device lock or from its idle thread.
#pragma once

#include <string>

#include "platform/rewire/CMvDeviceLink.h"
#include "platform/rewire/ReWireRecords.h"

namespace rewire {

class CRewireEngine {
public:
    static CRewireEngine& Instance();

    std::int32_t Open(std::int32_t version, const OpenInfo* info);
    std::int32_t IsCloseOK(std::int32_t* ok) const;
    std::int32_t Close();
    std::int32_t GetDeviceCount(std::int32_t* count) const;
    std::int32_t GetDeviceInfo(std::int32_t index, DeviceInfo* info) const;
    std::int32_t GetDeviceInfoByHandle(DeviceHandle handle, DeviceInfo* info) const;
    std::int32_t OpenDevice(std::int32_t index, DeviceHandle* handle);
    std::int32_t IsCloseDeviceOK(DeviceHandle handle, std::int32_t* ok) const;
    std::int32_t CloseDevice(DeviceHandle handle);
    std::int32_t DriveAudio(DeviceHandle handle, const DriveAudioInput* in, DriveAudioOutput* out);
    std::int32_t Idle();
    std::int32_t LaunchPanelApp(DeviceHandle handle);
    std::int32_t IsPanelAppLaunched(DeviceHandle handle, std::int32_t* launched);
    std::int32_t QuitPanelApp(DeviceHandle handle);
    std::int32_t GetEventInfo(DeviceHandle handle, EventInfo* info) const;
    std::int32_t GetEventBusInfo(DeviceHandle handle, std::int32_t bus, EventBusInfo* info) const;
    std::int32_t GetEventChannelInfo(DeviceHandle handle, const EventTarget* target, EventChannelInfo* info) const;
    std::int32_t GetControllerInfo(DeviceHandle handle, const EventTarget* target, std::int32_t controller,
                                   ControllerInfo* info) const;
    std::int32_t GetNoteInfo(DeviceHandle handle, const EventTarget* target, std::int32_t note,
                             NoteInfo* info) const;
    std::int32_t SetAudioInfo(const AudioInfo* info);

private:
    static constexpr DeviceHandle kDeviceHandle = 1;
    bool IsOurDevice(DeviceHandle handle) const { return m_open && m_deviceOpen && handle == kDeviceHandle; }
    std::string ProgramPath() const;

    bool m_open = false;
    bool m_deviceOpen = false;
    std::int32_t m_sampleRate = 44100;
    CMvDeviceLink m_link;
};

}  // namespace rewire
