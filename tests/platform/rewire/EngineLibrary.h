// The engine library as a test loads it: from a folder of its own that
// holds a link to the built library and, as "morvane", a link to the
// stand-in device program, so the engine starts the stand-in.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/rewire/ReWireRecords.h"
#include "tests/support/TempDir.h"

namespace mvtest {

struct EngineLibrary {
    using Open = std::int32_t (*)(std::int32_t, const rewire::OpenInfo*);
    using Close = std::int32_t (*)();
    using IsCloseOK = std::int32_t (*)(std::int32_t*);
    using DeviceCount = std::int32_t (*)(std::int32_t*);
    using DeviceInfo = std::int32_t (*)(std::int32_t, rewire::DeviceInfo*);
    using OpenDevice = std::int32_t (*)(std::int32_t, rewire::DeviceHandle*);
    using CloseDevice = std::int32_t (*)(rewire::DeviceHandle);
    using Drive = std::int32_t (*)(rewire::DeviceHandle, const rewire::DriveAudioInput*, rewire::DriveAudioOutput*);
    using Launched = std::int32_t (*)(rewire::DeviceHandle, std::int32_t*);
    using SetAudio = std::int32_t (*)(const rewire::AudioInfo*);

    explicit EngineLibrary(const std::string& deviceProgram)
    {
        symlink(MORVANE_BINARY_DIR "/bin/ReWire.so", folder.File("ReWire.so").c_str());
        symlink(deviceProgram.c_str(), folder.File("morvane").c_str());
        handle = dlopen(folder.File("ReWire.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        open = Resolve<Open>("RWM2OpenImp");
        close = Resolve<Close>("RWM2CloseImp");
        isCloseOK = Resolve<IsCloseOK>("RWM2IsCloseOKImp");
        deviceCount = Resolve<DeviceCount>("RWM2GetDeviceCountImp");
        deviceInfo = Resolve<DeviceInfo>("RWM2GetDeviceInfoImp");
        openDevice = Resolve<OpenDevice>("RWM2OpenDeviceImp");
        closeDevice = Resolve<CloseDevice>("RWM2CloseDeviceImp");
        drive = Resolve<Drive>("RWM2DriveAudioImp");
        launched = Resolve<Launched>("RWM2IsPanelAppLaunchedImp");
        setAudio = Resolve<SetAudio>("RWM2SetAudioInfoImp");
    }
    ~EngineLibrary()
    {
        if (handle)
            dlclose(handle);
    }
    template <class F>
    F Resolve(const char* name)
    {
        return reinterpret_cast<F>(dlsym(handle, name));
    }

    TempDir folder;
    void* handle = nullptr;
    Open open = nullptr;
    Close close = nullptr;
    IsCloseOK isCloseOK = nullptr;
    DeviceCount deviceCount = nullptr;
    DeviceInfo deviceInfo = nullptr;
    OpenDevice openDevice = nullptr;
    CloseDevice closeDevice = nullptr;
    Drive drive = nullptr;
    Launched launched = nullptr;
    SetAudio setAudio = nullptr;
};

inline rewire::OpenInfo OpenRecord(std::int32_t rate)
{
    rewire::OpenInfo info{};
    info.size = sizeof info;
    info.audio = {static_cast<std::int32_t>(sizeof(rewire::AudioInfo)), rate, 65536};
    return info;
}

}  // namespace mvtest
