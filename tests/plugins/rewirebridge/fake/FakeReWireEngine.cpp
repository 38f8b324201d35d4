// A stand-in ReWire engine library for the bridge's tests: the twenty entry
// points over one device of three channels (a stereo pair and a mono
// channel), which names two MIDI channels of its third event bus and some
// notes of one of them. The test reaches the same loaded library through
// the extra "FakeEngine" entry points: to change the device's names and
// have the next drive say so, to make its note calls fail, to let the
// system close or not, and to count what was asked of it.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/rewire/ReWireRecords.h"

using namespace rewire;

#define RW_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr DeviceHandle kHandle = 7;
constexpr int kBus = 2;

bool g_open = false;
bool g_deviceOpen = false;
std::atomic<int> g_generation{0};
std::atomic<bool> g_changePending{false};
std::atomic<bool> g_failNotes{false};
std::atomic<int> g_closeOK{1};
std::atomic<int> g_closeAsks{0};
std::atomic<int> g_launches{0};
std::atomic<bool> g_launched{false};
std::atomic<int> g_lastBus{-1};

template <typename T>
bool Cleared(T* record)
{
    if (!record || record->size != static_cast<std::int32_t>(sizeof(T)))
        return false;
    std::memset(reinterpret_cast<char*>(record) + 4, 0, sizeof(T) - 4);
    return true;
}

bool Ours(DeviceHandle h) { return g_open && g_deviceOpen && h == kHandle; }

const char* Env(const char* name, const char* otherwise)
{
    const char* v = std::getenv(name);
    return v ? v : otherwise;
}

}  // namespace

RW_EXPORT std::int32_t RWM2OpenImp(std::int32_t, const OpenInfo*)
{
    g_open = true;
    return kOk;
}
RW_EXPORT std::int32_t RWM2IsCloseOKImp(std::int32_t* ok)
{
    ++g_closeAsks;
    *ok = g_closeOK;
    return kOk;
}
RW_EXPORT std::int32_t RWM2CloseImp()
{
    g_open = false;
    g_deviceOpen = false;
    return kOk;
}
RW_EXPORT std::int32_t RWM2GetDeviceCountImp(std::int32_t* count)
{
    *count = 1;
    return kOk;
}
RW_EXPORT std::int32_t RWM2GetDeviceInfoImp(std::int32_t index, DeviceInfo* info)
{
    if (index != 0 || !Cleared(info))
        return kBadArgument;
    std::snprintf(info->name, sizeof info->name, "%s", Env("FAKE_ENGINE_DEVICE", "Fake Device"));
    info->channelCount = 3;
    std::snprintf(info->channelNames[0], kChannelNameChars, "Left");
    std::snprintf(info->channelNames[1], kChannelNameChars, "Right");
    std::snprintf(info->channelNames[2], kChannelNameChars, "Solo");
    SetBit(info->stereoPairs, 0);
    info->eventBufferSize = 16;
    info->kind = std::atoi(Env("FAKE_ENGINE_KIND", "0"));
    return kOk;
}
RW_EXPORT std::int32_t RWM2GetDeviceInfoByHandleImp(DeviceHandle h, DeviceInfo* info)
{
    return Ours(h) ? RWM2GetDeviceInfoImp(0, info) : kDeviceNotOpen;
}
RW_EXPORT std::int32_t RWM2OpenDeviceImp(std::int32_t index, DeviceHandle* handle)
{
    if (!g_open || index != 0)
        return kBadArgument;
    g_deviceOpen = true;
    *handle = kHandle;
    return kOk;
}
RW_EXPORT std::int32_t RWM2IsCloseDeviceOKImp(DeviceHandle h, std::int32_t* ok)
{
    *ok = 1;
    return Ours(h) ? kOk : kDeviceNotOpen;
}
RW_EXPORT std::int32_t RWM2CloseDeviceImp(DeviceHandle h)
{
    if (!Ours(h))
        return kDeviceNotOpen;
    g_deviceOpen = false;
    return kOk;
}
// Channel c sounds (c + 1) / 4 in every frame it is asked for.
RW_EXPORT std::int32_t RWM2DriveAudioImp(DeviceHandle h, const DriveAudioInput* in, DriveAudioOutput* out)
{
    if (!Ours(h))
        return kDeviceNotOpen;
    std::memset(out->servedChannels, 0, sizeof out->servedChannels);
    for (int c = 0; c < 3; ++c)
        if (TestBit(in->requestedChannels, c) && in->channelBuffers[c]) {
            for (int f = 0; f < in->frames; ++f)
                in->channelBuffers[c][f] = (c + 1) * 0.25f;
            SetBit(out->servedChannels, c);
        }
    if (in->events.count > 0)
        g_lastBus = in->events.events[in->events.count - 1].midi.bus;
    out->events.count = 0;
    if (g_changePending.exchange(false) && out->events.capacity > 0) {
        ++g_generation;
        out->events.events[0] = Event{};
        out->events.events[0].kind = kEventDeviceChanged;
        out->events.count = 1;
    }
    return kOk;
}
RW_EXPORT std::int32_t RWM2IdleImp() { return kOk; }
RW_EXPORT std::int32_t RWM2LaunchPanelAppImp(DeviceHandle h)
{
    if (!Ours(h))
        return kDeviceNotOpen;
    ++g_launches;
    g_launched = true;
    return kOk;
}
RW_EXPORT std::int32_t RWM2IsPanelAppLaunchedImp(DeviceHandle h, std::int32_t* launched)
{
    *launched = g_launched ? 1 : 0;
    return Ours(h) ? kOk : kDeviceNotOpen;
}
RW_EXPORT std::int32_t RWM2QuitPanelAppImp(DeviceHandle h)
{
    g_launched = false;
    return Ours(h) ? kOk : kDeviceNotOpen;
}
RW_EXPORT std::int32_t RWM2GetEventInfoImp(DeviceHandle h, EventInfo* info)
{
    if (!Ours(h) || !Cleared(info))
        return kBadArgument;
    info->busCount = kBus + 1;
    SetBit(info->usedBuses, kBus);
    return kOk;
}
RW_EXPORT std::int32_t RWM2GetEventBusInfoImp(DeviceHandle h, std::int32_t bus, EventBusInfo* info)
{
    if (!Ours(h) || bus != kBus || !Cleared(info))
        return kBadArgument;
    info->channelCount = 16;
    SetBit(info->usedChannels, 0);
    SetBit(info->usedChannels, 9);
    return kOk;
}
// Channel 1 "Drums" marks notes 36, 38 and 42 and names the first two;
// channel 10 "Lead" names no notes. After a change every name carries the change's number.
RW_EXPORT std::int32_t RWM2GetEventChannelInfoImp(DeviceHandle h, const EventTarget* target, EventChannelInfo* info)
{
    if (!Ours(h) || target->bus != kBus || !Cleared(info))
        return kBadArgument;
    const int g = g_generation;
    if (target->channel == 0) {
        std::snprintf(info->name, sizeof info->name, g ? "Drums %d" : "Drums", g);
        for (int n : {36, 38, 42})
            SetBit(info->usedNotes, n);
    } else if (target->channel == 9) {
        std::snprintf(info->name, sizeof info->name, g ? "Lead %d" : "Lead", g);
    } else {
        return kBadArgument;
    }
    return kOk;
}
RW_EXPORT std::int32_t RWM2GetControllerInfoImp(DeviceHandle, const EventTarget*, std::int32_t, ControllerInfo*)
{
    return kBadArgument;
}
RW_EXPORT std::int32_t RWM2GetNoteInfoImp(DeviceHandle h, const EventTarget* target, std::int32_t note,
                                          NoteInfo* info)
{
    if (!Ours(h) || g_failNotes || target->bus != kBus || !Cleared(info))
        return kBadArgument;
    const int g = g_generation;
    if (note == 36 || note == 38) {
        info->kind = kNoteNamed;
        std::snprintf(info->name, sizeof info->name, "%s%s", note == 36 ? "Kick" : "Snare", g ? " new" : "");
    } else {
        info->kind = 1;
    }
    return kOk;
}
RW_EXPORT std::int32_t RWM2SetAudioInfoImp(const AudioInfo*) { return kOk; }

RW_EXPORT void FakeEngineSignalChange() { g_changePending = true; }
RW_EXPORT void FakeEngineFailNotes(bool fail) { g_failNotes = fail; }
RW_EXPORT void FakeEngineSetCloseOK(int ok) { g_closeOK = ok; }
RW_EXPORT int FakeEngineCloseAsks() { return g_closeAsks; }
RW_EXPORT int FakeEngineLaunches() { return g_launches; }
RW_EXPORT bool FakeEngineIsOpen() { return g_open; }
RW_EXPORT int FakeEngineLastBus() { return g_lastBus; }
RW_EXPORT void FakeEngineReset()
{
    g_generation = 0;
    g_changePending = false;
    g_failNotes = false;
    g_closeOK = 1;
    g_closeAsks = 0;
    g_launches = 0;
    g_launched = false;
    g_lastBus = -1;
}
