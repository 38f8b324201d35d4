#include "platform/rewire/CRewireEngine.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "platform/rewire/MvDeviceProtocol.h"

namespace rewire {

namespace {

constexpr const char* kDeviceName = "Morvane";
constexpr int kAuxPairs = 4;
constexpr int kEventBufferSize = 64;
constexpr int kMidiChannels = 16;

void CopyName(char* dest, std::size_t size, const char* text)
{
    std::snprintf(dest, size, "%s", text);
}

}  // namespace

CRewireEngine& CRewireEngine::Instance()
{
    static CRewireEngine engine;
    return engine;
}

std::string CRewireEngine::ProgramPath() const
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&CRewireEngine::Instance), &info) == 0 || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/morvane";
}

std::int32_t CRewireEngine::Open(std::int32_t version, const OpenInfo* info)
{
    if (m_open)
        return kAlreadyOpen;
    if (version != kOpenVersion || !info || info->size != sizeof(OpenInfo) || info->audio.size != sizeof(AudioInfo))
        return kBadArgument;
    if (info->audio.sampleRate > 0)
        m_sampleRate = info->audio.sampleRate;
    m_open = true;
    return kOk;
}

std::int32_t CRewireEngine::IsCloseOK(std::int32_t* ok) const
{
    if (!ok)
        return kBadArgument;
    *ok = m_deviceOpen ? 0 : 1;
    return kOk;
}

std::int32_t CRewireEngine::Close()
{
    if (!m_open)
        return kNotOpen;
    m_link.Close();
    m_deviceOpen = false;
    m_open = false;
    return kOk;
}

std::int32_t CRewireEngine::GetDeviceCount(std::int32_t* count) const
{
    if (!m_open)
        return kNotOpen;
    if (!count)
        return kBadArgument;
    *count = 1;
    return kOk;
}

std::int32_t CRewireEngine::GetDeviceInfo(std::int32_t index, DeviceInfo* info) const
{
    if (!m_open)
        return kNotOpen;
    if (index != 0 || !info || info->size != sizeof(DeviceInfo))
        return kBadArgument;
    std::memset(reinterpret_cast<char*>(info) + 4, 0, sizeof(DeviceInfo) - 4);
    CopyName(info->name, sizeof info->name, kDeviceName);
    // What the shared block carries: its stereo pairs, not every branch.
    info->channelCount = mvdevice::kChannels;
    for (int pair = 0; pair < mvdevice::kPairs; ++pair) {
        char label[24];
        if (pair == 0)
            std::snprintf(label, sizeof label, "Mix");
        else if (pair <= kAuxPairs)
            std::snprintf(label, sizeof label, "Aux %d", pair);
        else
            std::snprintf(label, sizeof label, "Out %d", pair - kAuxPairs);
        std::snprintf(info->channelNames[2 * pair], kChannelNameChars, "%s L", label);
        std::snprintf(info->channelNames[2 * pair + 1], kChannelNameChars, "%s R", label);
        SetBit(info->stereoPairs, pair);
    }
    info->eventBufferSize = kEventBufferSize;
    info->kind = 0;
    return kOk;
}

std::int32_t CRewireEngine::GetDeviceInfoByHandle(DeviceHandle handle, DeviceInfo* info) const
{
    return IsOurDevice(handle) ? GetDeviceInfo(0, info) : kDeviceNotOpen;
}

std::int32_t CRewireEngine::OpenDevice(std::int32_t index, DeviceHandle* handle)
{
    if (!m_open)
        return kNotOpen;
    if (index != 0 || !handle)
        return kBadArgument;
    if (!m_deviceOpen) {
        const std::int32_t r = m_link.Open(ProgramPath(), m_sampleRate);
        if (r != kOk)
            return r;
        m_deviceOpen = true;
    }
    *handle = kDeviceHandle;
    return kOk;
}

std::int32_t CRewireEngine::IsCloseDeviceOK(DeviceHandle handle, std::int32_t* ok) const
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!ok)
        return kBadArgument;
    *ok = 1;
    return kOk;
}

std::int32_t CRewireEngine::CloseDevice(DeviceHandle handle)
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    m_link.Close();
    m_deviceOpen = false;
    return kOk;
}

std::int32_t CRewireEngine::DriveAudio(DeviceHandle handle, const DriveAudioInput* in, DriveAudioOutput* out)
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!in || !out || in->size != sizeof(DriveAudioInput) || out->size != sizeof(DriveAudioOutput))
        return kBadArgument;
    return m_link.Drive(*in, *out);
}

std::int32_t CRewireEngine::Idle() { return m_open ? kOk : kNotOpen; }

std::int32_t CRewireEngine::LaunchPanelApp(DeviceHandle handle)
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    return m_link.IsOpen() ? m_link.StartProgram() : kDeviceNotAnswering;
}

std::int32_t CRewireEngine::IsPanelAppLaunched(DeviceHandle handle, std::int32_t* launched)
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!launched)
        return kBadArgument;
    *launched = m_link.IsProgramRunning() ? 1 : 0;
    return kOk;
}

std::int32_t CRewireEngine::QuitPanelApp(DeviceHandle handle)
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    m_link.EndProgram();
    return kOk;
}

std::int32_t CRewireEngine::GetEventInfo(DeviceHandle handle, EventInfo* info) const
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!info || info->size != sizeof(EventInfo))
        return kBadArgument;
    std::memset(reinterpret_cast<char*>(info) + 4, 0, sizeof(EventInfo) - 4);
    info->busCount = 1;
    SetBit(info->usedBuses, 0);
    return kOk;
}

std::int32_t CRewireEngine::GetEventBusInfo(DeviceHandle handle, std::int32_t bus, EventBusInfo* info) const
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (bus != 0 || !info || info->size != sizeof(EventBusInfo))
        return kBadArgument;
    std::memset(reinterpret_cast<char*>(info) + 4, 0, sizeof(EventBusInfo) - 4);
    info->channelCount = kMidiChannels;
    for (int c = 0; c < kMidiChannels; ++c)
        SetBit(info->usedChannels, c);
    return kOk;
}

std::int32_t CRewireEngine::GetEventChannelInfo(DeviceHandle handle, const EventTarget* target,
                                                EventChannelInfo* info) const
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!target || target->bus != 0 || target->channel >= kMidiChannels || !info ||
        info->size != sizeof(EventChannelInfo))
        return kBadArgument;
    std::memset(reinterpret_cast<char*>(info) + 4, 0, sizeof(EventChannelInfo) - 4);
    std::snprintf(info->name, sizeof info->name, "Channel %d", target->channel + 1);
    return kOk;
}

std::int32_t CRewireEngine::GetControllerInfo(DeviceHandle handle, const EventTarget* target,
                                              std::int32_t controller, ControllerInfo* info) const
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!target || controller < 0 || controller > 127 || !info || info->size != sizeof(ControllerInfo))
        return kBadArgument;
    std::memset(reinterpret_cast<char*>(info) + 4, 0, sizeof(ControllerInfo) - 4);
    return kOk;
}

std::int32_t CRewireEngine::GetNoteInfo(DeviceHandle handle, const EventTarget* target, std::int32_t note,
                                        NoteInfo* info) const
{
    if (!IsOurDevice(handle))
        return kDeviceNotOpen;
    if (!target || note < 0 || note > 127 || !info || info->size != sizeof(NoteInfo))
        return kBadArgument;
    std::memset(reinterpret_cast<char*>(info) + 4, 0, sizeof(NoteInfo) - 4);
    return kOk;
}

std::int32_t CRewireEngine::SetAudioInfo(const AudioInfo* info)
{
    if (!m_open)
        return kNotOpen;
    if (!info || info->size != sizeof(AudioInfo) || info->sampleRate <= 0)
        return kBadArgument;
    m_sampleRate = info->sampleRate;
    m_link.SetSampleRate(m_sampleRate);
    return kOk;
}

}  // namespace rewire
