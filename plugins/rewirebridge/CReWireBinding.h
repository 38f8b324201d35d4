// The thin layer between the bridge and the ReWire engine library: it finds
// and loads the library, resolves its twenty mixer-side entry points by
// name, opens and closes the ReWire system, and forwards every other call
// unchanged. Every result is a code of the engine's table (1 success);
// nothing is shown to the user here.
//
// The library is "ReWireDebug.so" when present, else "ReWire.so", looked
// for in the given folders in order: by default the running program's and
// this plug-in's own, where an installation puts it. The system's library
// path is not searched, so that a build tree's library never stands in for
// a missing one.
//
// Threads: called under the bridge's global device lock or from its idle
// thread; no lock of its own.
#pragma once

#include <string>
#include <vector>

#include "platform/rewire/ReWireRecords.h"
#include "platform/win/Module.h"

namespace mvrewire {

class CReWireBinding {
public:
    CReWireBinding();
    explicit CReWireBinding(std::vector<std::string> folders);
    ~CReWireBinding();
    CReWireBinding(const CReWireBinding&) = delete;
    CReWireBinding& operator=(const CReWireBinding&) = delete;

    std::int32_t OpenReWire(const rewire::OpenInfo* openRecord);
    std::int32_t CloseReWire();
    bool IsOpen() const { return m_entries.open != nullptr; }
    int LoadCount() const { return m_loadCount; }

    std::int32_t IsCloseOK(std::int32_t* flag);
    std::int32_t GetDeviceCount(std::int32_t* count);
    std::int32_t GetDeviceInfo(std::int32_t index, rewire::DeviceInfo* info);
    std::int32_t GetDeviceInfoByHandle(rewire::DeviceHandle handle, rewire::DeviceInfo* info);
    std::int32_t OpenDevice(std::int32_t index, rewire::DeviceHandle* handle);
    std::int32_t IsCloseDeviceOK(rewire::DeviceHandle handle, std::int32_t* flag);
    std::int32_t CloseDevice(rewire::DeviceHandle handle);
    std::int32_t DriveAudio(rewire::DeviceHandle handle, const rewire::DriveAudioInput* in,
                            rewire::DriveAudioOutput* out);
    std::int32_t Idle();
    std::int32_t LaunchPanelApp(rewire::DeviceHandle handle);
    std::int32_t IsPanelAppLaunched(rewire::DeviceHandle handle, std::int32_t* flag);
    std::int32_t QuitPanelApp(rewire::DeviceHandle handle);
    std::int32_t GetEventInfo(rewire::DeviceHandle handle, rewire::EventInfo* info);
    std::int32_t GetEventBusInfo(rewire::DeviceHandle handle, std::int32_t bus, rewire::EventBusInfo* info);
    std::int32_t GetEventChannelInfo(rewire::DeviceHandle handle, const rewire::EventTarget* target,
                                     rewire::EventChannelInfo* info);
    std::int32_t GetNoteInfo(rewire::DeviceHandle handle, const rewire::EventTarget* target, std::int32_t note,
                             rewire::NoteInfo* info);
    std::int32_t SetAudioInfo(const rewire::AudioInfo* info);

private:
    struct Entries {
        std::int32_t (*open)(std::int32_t, const rewire::OpenInfo*);
        std::int32_t (*isCloseOK)(std::int32_t*);
        std::int32_t (*close)();
        std::int32_t (*getDeviceCount)(std::int32_t*);
        std::int32_t (*getDeviceInfo)(std::int32_t, rewire::DeviceInfo*);
        std::int32_t (*getDeviceInfoByHandle)(rewire::DeviceHandle, rewire::DeviceInfo*);
        std::int32_t (*openDevice)(std::int32_t, rewire::DeviceHandle*);
        std::int32_t (*isCloseDeviceOK)(rewire::DeviceHandle, std::int32_t*);
        std::int32_t (*closeDevice)(rewire::DeviceHandle);
        std::int32_t (*driveAudio)(rewire::DeviceHandle, const rewire::DriveAudioInput*, rewire::DriveAudioOutput*);
        std::int32_t (*idle)();
        std::int32_t (*launchPanelApp)(rewire::DeviceHandle);
        std::int32_t (*isPanelAppLaunched)(rewire::DeviceHandle, std::int32_t*);
        std::int32_t (*quitPanelApp)(rewire::DeviceHandle);
        std::int32_t (*getEventInfo)(rewire::DeviceHandle, rewire::EventInfo*);
        std::int32_t (*getEventBusInfo)(rewire::DeviceHandle, std::int32_t, rewire::EventBusInfo*);
        std::int32_t (*getEventChannelInfo)(rewire::DeviceHandle, const rewire::EventTarget*,
                                            rewire::EventChannelInfo*);
        std::int32_t (*getControllerInfo)(rewire::DeviceHandle, const rewire::EventTarget*, std::int32_t,
                                          rewire::ControllerInfo*);
        std::int32_t (*getNoteInfo)(rewire::DeviceHandle, const rewire::EventTarget*, std::int32_t,
                                    rewire::NoteInfo*);
        std::int32_t (*setAudioInfo)(const rewire::AudioInfo*);
    };
    static_assert(sizeof(Entries) == 20 * sizeof(void*));

    std::int32_t LoadEngine();
    // Loads one file name from the folders;
    // the code of the last failure in *code.
    HMODULE LoadByName(const std::string& name, std::int32_t* code);
    bool ResolveEntries();
    void Unload();

    std::vector<std::string> m_folders;
    HMODULE m_library = nullptr;
    int m_loadCount = 0;
    Entries m_entries{};
};

}  // namespace mvrewire
