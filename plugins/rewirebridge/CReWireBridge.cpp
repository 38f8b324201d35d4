#include "plugins/rewirebridge/CReWireBridge.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "platform/res/MessageBox.h"
#include "platform/win/FloatControl.h"
#include "platform/win/WideString.h"
#include "plugins/rewirebridge/CPanelAppLauncher.h"
#include "plugins/rewirebridge/CReWireBinding.h"

namespace mvrewire {

using mvsynth::DXiBuffer;
using mvsynth::DXiEvent;

namespace {

constexpr int kIdlePeriodMs = 50;
constexpr int kPollMs = 50;
constexpr int kQuietBeforeIdleDriveMs = 200;
constexpr int kCloseRetryMs = 2000;
constexpr const char* kCannotCloseYet = "Cannot close ReWire system yet.  Try again?";
constexpr int kHostReadBackMs = 100;
constexpr int kHostReadBackTries = 20;
constexpr LONGLONG kFixedPerDevice = 4096;  // 48.16 ticks per 15360-a-quarter position
constexpr LONG kMaxMeterExponent = 5;

struct DeviceState {
    rewire::DeviceHandle handle = 0;
    int users = 0;
    std::atomic<CReWireBridge*> streaming{nullptr};
};

// What all instances of the process share, under `lock`.
struct Globals {
    std::recursive_mutex lock;
    std::vector<CReWireBridge*> instances;
    bool systemOpen = false;
    std::thread idle;
    std::atomic<bool> stopIdle{false};
    std::vector<rewire::DeviceInfo> info;
    std::unique_ptr<DeviceState[]> state;
    std::unique_ptr<CReWireBinding> binding;
    std::vector<std::string> folders;
    bool foldersGiven = false;
};

// Goes with the library: the last instance has ended the idle thread by then.
Globals& G()
{
    static Globals g;
    return g;
}

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Masks every floating-point exception for the time of a call into the engine.
class MaskedFloat {
public:
    MaskedFloat() : m_saved(_control87(0, 0)) { _control87(_MCW_EM, _MCW_EM); }
    ~MaskedFloat() { _control87(m_saved, _MCW_EM); }

private:
    unsigned int m_saved;
};

void IdleLoop()
{
    Globals& g = G();
    while (!g.stopIdle) {
        SleepMs(kIdlePeriodMs);
        std::lock_guard guard(g.lock);
        if (!g.systemOpen || g.stopIdle)
            continue;
        g.binding->Idle();
        for (std::size_t d = 0; d < g.info.size(); ++d) {
            if (!g.state[d].handle)
                continue;
            CReWireBridge* user = g.state[d].streaming.load();
            for (CReWireBridge* instance : g.instances)
                if (!user && instance->DeviceIndex() == static_cast<LONG>(d))
                    user = instance;
            if (user)
                user->Refresh(*g.binding);
        }
    }
}

}  // namespace

const mvsynth::SynthClass& CReWireBridge::Class()
{
    static const mvsynth::SynthClass cls{&CLSID_ReWireBridge, kBridgeInstrumentName, nullptr, 0,
                                         []() -> mvsynth::CDXi* { return new (std::nothrow) CReWireBridge(); },
                                         false, false};
    return cls;
}

void CReWireBridge::SetEngineFolders(std::vector<std::string> folders)
{
    std::lock_guard guard(G().lock);
    G().folders = std::move(folders);
    G().foldersGiven = true;
}

CReWireBridge::CReWireBridge()
{
    m_in.size = sizeof m_in;
    m_out.size = sizeof m_out;
    for (CReWireInstrument*& channel : m_channels) {
        channel = new (std::nothrow) CReWireInstrument();
        if (channel)
            channel->AddRef();
    }
}

CReWireBridge::~CReWireBridge()
{
    Globals& g = G();
    std::thread idle;
    {
        std::lock_guard guard(g.lock);
        g.instances.erase(std::remove(g.instances.begin(), g.instances.end(), this), g.instances.end());
        if (m_attached && m_deviceIndex >= 0) {
            DeviceState& s = g.state[static_cast<std::size_t>(m_deviceIndex)];
            CReWireBridge* self = this;
            s.streaming.compare_exchange_strong(self, nullptr);
            if (--s.users == 0 && s.handle) {
                g.binding->CloseDevice(s.handle);
                s.handle = 0;
            }
        }
        if (g.instances.empty()) {
            if (g.systemOpen) {
                std::int32_t ok = 0;
                if (g.binding->IsCloseOK(&ok) == rewire::kOk && !ok) {
                    SleepMs(kCloseRetryMs);
                    // The user may give the devices more time. Unanswered
                    // (no display) the prompt says No: nothing waits forever.
                    while (g.binding->IsCloseOK(&ok) == rewire::kOk && !ok &&
                           MessageBoxA(nullptr, kCannotCloseYet, kBridgeFilterName, MB_YESNO | MB_DEFBUTTON2) ==
                               IDYES)
                        SleepMs(kCloseRetryMs);
                }
                // A system that still may not close is closed anyway: the
                // last instance is going and nothing could reopen it.
                g.binding->CloseReWire();
                g.systemOpen = false;
            }
            g.stopIdle = true;
            idle = std::move(g.idle);
            std::vector<rewire::DeviceInfo>().swap(g.info);
            std::vector<CReWireBridge*>().swap(g.instances);
            g.state.reset();
            g.binding.reset();
        }
    }
    if (idle.joinable())
        idle.join();
    for (CReWireInstrument* channel : m_channels)
        if (channel)
            channel->Release();
}

HRESULT CReWireBridge::Initialize()
{
    Globals& g = G();
    std::lock_guard guard(g.lock);
    g.instances.push_back(this);
    for (CReWireInstrument* channel : m_channels)
        if (!channel)
            return E_OUTOFMEMORY;
    if (g.instances.size() != 1)
        return S_OK;
    g.binding = g.foldersGiven ? std::make_unique<CReWireBinding>(g.folders) : std::make_unique<CReWireBinding>();
    const rewire::OpenInfo open{sizeof(rewire::OpenInfo), {sizeof(rewire::AudioInfo), 44100, 65536}};
    if (g.binding->OpenReWire(&open) != rewire::kOk)
        return E_FAIL;
    g.systemOpen = true;
    std::int32_t count = 0;
    if (g.binding->GetDeviceCount(&count) != rewire::kOk || count < 0)
        return E_FAIL;
    try {
        g.info.assign(static_cast<std::size_t>(count), rewire::DeviceInfo{});
        g.state.reset(new DeviceState[static_cast<std::size_t>(count)]);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        g.info[static_cast<std::size_t>(i)].size = sizeof(rewire::DeviceInfo);
        if (g.binding->GetDeviceInfo(i, &g.info[static_cast<std::size_t>(i)]) != rewire::kOk)
            return E_FAIL;
        // The engine's record is trusted no further than its own arrays.
        rewire::DeviceInfo& d = g.info[static_cast<std::size_t>(i)];
        d.name[rewire::kDeviceNameChars - 1] = '\0';
        d.channelCount = std::clamp(d.channelCount, 0, rewire::kMaxChannels);
        for (auto& name : d.channelNames)
            name[rewire::kChannelNameChars - 1] = '\0';
        d.eventBufferSize = std::clamp(d.eventBufferSize, 1, kQueuedDeviceEvents);
    }
    return S_OK;
}

HRESULT CReWireBridge::CheckInputFormat(const WAVEFORMATEX* format)
{
    return format && format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

WORD CReWireBridge::PinChannels(DWORD pinId) const
{
    for (const PinChannel& p : m_pins)
        if (p.pinId == pinId)
            return p.stereo ? 2 : 1;
    return 0;
}

HRESULT CReWireBridge::CheckPinFormat(const WAVEFORMATEX* format, DWORD pinId)
{
    const WORD channels = PinChannels(pinId);
    if (channels == 0)
        return E_INVALIDARG;
    return format && format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && format->nChannels == channels
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CReWireBridge::CheckPinFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output, DWORD pinId)
{
    if (HRESULT hr = CheckPinFormat(output, pinId); hr != S_OK)
        return hr;
    return CheckInputFormat(input);
}

HRESULT CReWireBridge::AdjustPinFormat(WAVEFORMATEX* format, DWORD pinId)
{
    const WORD channels = PinChannels(pinId);
    if (channels == 0)
        return E_INVALIDARG;
    if (!format || format->nChannels == 0)
        return E_POINTER;
    const WORD bytesPerChannel = static_cast<WORD>(format->nBlockAlign / format->nChannels);
    format->nChannels = channels;
    format->nBlockAlign = static_cast<WORD>(channels * bytesPerChannel);
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    return S_OK;
}

HRESULT CReWireBridge::AcceptEvent(const DXiEvent& event)
{
    return event.kind <= mvsynth::kMfxWheel ? S_OK : S_FALSE;
}

HRESULT CReWireBridge::UpdateNote(const DXiEvent& event, bool flush)
{
    if (!flush)
        return S_OK;
    // Flushed (the host started or stopped): a held note becomes its own
    // note-off and is driven once more.
    const_cast<DXiEvent&>(event).SetDuration(mvsynth::kMfxNoteOff);
    return S_FALSE;
}

HRESULT CReWireBridge::QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv)
{
    if (!IsEqualGUID(riid, IID_IReWireBridge))
        return E_NOINTERFACE;
    m_owner = owner;
    owner->AddRef();
    *ppv = static_cast<IReWireBridge*>(this);
    return S_OK;
}

STDMETHODIMP CReWireBridge::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return m_owner ? m_owner->QueryInterface(riid, ppv) : E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CReWireBridge::AddRef() { return m_owner ? m_owner->AddRef() : 1; }
STDMETHODIMP_(ULONG) CReWireBridge::Release() { return m_owner ? m_owner->Release() : 1; }

void CReWireBridge::OnHostConnect(IUnknown* host)
{
    if (FAILED(host->QueryInterface(IID_IReWireHostTransport, reinterpret_cast<void**>(&m_hostTransport))))
        m_hostTransport = nullptr;
}

void CReWireBridge::OnHostDisconnect()
{
    if (m_hostTransport)
        m_hostTransport->Release();
    m_hostTransport = nullptr;
}

STDMETHODIMP CReWireBridge::GetDeviceCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard guard(G().lock);
    *count = static_cast<LONG>(G().info.size());
    return S_OK;
}

STDMETHODIMP CReWireBridge::GetDeviceName(LONG index, char* buffer, LONG length)
{
    if (!buffer)
        return E_POINTER;
    std::lock_guard guard(G().lock);
    if (index < 0 || static_cast<std::size_t>(index) >= G().info.size() || length <= 0)
        return E_INVALIDARG;
    std::snprintf(buffer, static_cast<std::size_t>(length), "%s", G().info[static_cast<std::size_t>(index)].name);
    return S_OK;
}

STDMETHODIMP CReWireBridge::SelectDevice(const char* name)
{
    if (!name)
        return E_POINTER;
    std::lock_guard guard(G().lock);
    CAutoLock lock(this);
    for (std::size_t i = 0; i < G().info.size(); ++i) {
        if (strcasecmp(G().info[i].name, name) != 0)
            continue;
        if (m_deviceIndex >= 0 && m_deviceIndex != static_cast<LONG>(i))
            return E_UNEXPECTED;
        m_deviceIndex = static_cast<LONG>(i);
        std::snprintf(m_deviceName, sizeof m_deviceName, "%s", G().info[i].name);
        return S_OK;
    }
    return E_INVALIDARG;
}

STDMETHODIMP CReWireBridge::Attach()
{
    Globals& g = G();
    std::lock_guard guard(g.lock);
    CAutoLock lock(this);
    if (m_deviceIndex < 0)
        return E_FAIL;
    if (!g.idle.joinable()) {
        g.stopIdle = false;
        try {
            g.idle = std::thread(IdleLoop);
        } catch (...) {
            return E_FAIL;
        }
    }
    DeviceState& s = g.state[static_cast<std::size_t>(m_deviceIndex)];
    if (!s.handle && g.binding->OpenDevice(m_deviceIndex, &s.handle) != rewire::kOk) {
        s.handle = 0;
        return E_FAIL;
    }
    if (!m_attached) {
        ++s.users;
        m_attached = true;
    }
    m_handle = s.handle;
    // Names the device does not give leave the lists empty; it still sounds.
    RefreshNames(*g.binding);
    if (!m_pins.empty())
        return S_OK;
    const rewire::DeviceInfo& d = g.info[static_cast<std::size_t>(m_deviceIndex)];
    try {
        for (int c = 0; c < d.channelCount; ++c) {
            const bool stereo = c % 2 == 0 && c + 1 < d.channelCount && rewire::TestBit(d.stereoPairs, c / 2);
            char name[2 * rewire::kChannelNameChars + 4];
            if (stereo)
                std::snprintf(name, sizeof name, "%s / %s", d.channelNames[c], d.channelNames[c + 1]);
            else
                std::snprintf(name, sizeof name, "%s", d.channelNames[c]);
            const std::u16string wide = mvwin::Utf8ToUtf16(name);
            DWORD id = 0;
            if (HRESULT hr = Context()->AddOutputPin(wide.c_str(), &id); FAILED(hr))
                return hr;
            m_pins.push_back({id, c, stereo});
            if (stereo)
                ++c;
        }
        m_inEvents.assign(kInEvents, rewire::Event{});
        m_outEvents.assign(static_cast<std::size_t>(d.eventBufferSize), rewire::Event{});
        m_channelScratch.assign(m_pins.size() * 2 * kDriveFrames, 0.0f);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CReWireBridge::GetDeviceUsers(const char* instanceName, LONG* count)
{
    if (!instanceName || !count)
        return E_POINTER;
    std::lock_guard guard(G().lock);
    for (CReWireBridge* instance : G().instances)
        if (instance->m_deviceIndex >= 0 && strcasecmp(instance->m_deviceName, instanceName) == 0) {
            *count = G().state[static_cast<std::size_t>(instance->m_deviceIndex)].users;
            return S_OK;
        }
    return E_FAIL;
}

mvsynth::IMfxInstrument* CReWireBridge::Names()
{
    if (!m_attached)
        return nullptr;
    for (CReWireInstrument* channel : m_channels)
        if (channel->Used())
            return channel;
    return nullptr;
}

HRESULT CReWireBridge::RefreshNames(CReWireBinding& binding)
{
    // The device is asked without the filter's lock, which the streaming
    // thread needs for every block: only the bus is set under it, and each
    // channel's names under the channel's own lock.
    rewire::EventInfo info{};
    info.size = sizeof info;
    int bus = -1;
    if (binding.GetEventInfo(m_handle, &info) == rewire::kOk)
        for (int b = 0; b < rewire::kMaxChannels && bus < 0; ++b)
            if (rewire::TestBit(info.usedBuses, b))
                bus = b;
    rewire::EventBusInfo busInfo{};
    busInfo.size = sizeof busInfo;
    if (bus < 0 || binding.GetEventBusInfo(m_handle, bus, &busInfo) != rewire::kOk) {
        for (CReWireInstrument* channel : m_channels)
            channel->Clear();
        return bus < 0 ? S_OK : E_FAIL;
    }
    const auto busId = static_cast<std::uint16_t>(bus);
    {
        CAutoLock lock(this);
        m_bus = busId;
    }
    HRESULT result = S_OK;
    for (int c = 0; c < kMidiChannels; ++c) {
        const rewire::EventTarget target{busId, static_cast<std::uint16_t>(c)};
        rewire::EventChannelInfo channel{};
        channel.size = sizeof channel;
        if (!rewire::TestBit(busInfo.usedChannels, c) ||
            binding.GetEventChannelInfo(m_handle, &target, &channel) != rewire::kOk) {
            m_channels[c]->Clear();
            continue;
        }
        channel.name[rewire::kChannelNameChars - 1] = '\0';
        std::map<LONG, std::string> notes;
        bool failed = false;
        for (int n = 0; n < 128 && !failed; ++n) {
            if (!rewire::TestBit(channel.usedNotes, n))
                continue;
            rewire::NoteInfo note{};
            note.size = sizeof note;
            if (binding.GetNoteInfo(m_handle, &target, n, &note) != rewire::kOk) {
                failed = true;
                result = E_FAIL;
            } else if (note.kind == rewire::kNoteNamed) {
                note.name[sizeof note.name - 1] = '\0';
                notes.emplace(n, note.name);
            }
        }
        // A device that names no channel still has it: the host sees it by number.
        std::string name = channel.name[0] ? channel.name : "Channel " + std::to_string(c + 1);
        m_channels[c]->SetChannel(std::move(name), std::move(notes), failed);
    }
    return result;
}

void CReWireBridge::RefreshNamesOfDevice(CReWireBinding& binding, LONG deviceIndex)
{
    for (CReWireBridge* instance : G().instances)
        if (instance->m_deviceIndex == deviceIndex && instance->m_attached)
            instance->RefreshNames(binding);
}

void CReWireBridge::RemovePins()
{
    for (const PinChannel& p : m_pins)
        Context()->RemoveOutputPin(p.pinId);
    m_pins.clear();
}

STDMETHODIMP CReWireBridge::Detach(DWORD timeoutMs)
{
    Globals& g = G();
    std::lock_guard guard(g.lock);
    CAutoLock lock(this);
    if (!m_attached)
        return S_OK;
    DeviceState& s = g.state[static_cast<std::size_t>(m_deviceIndex)];
    CReWireBridge* self = this;
    s.streaming.compare_exchange_strong(self, nullptr);
    m_attached = false;
    m_handle = 0;
    RemovePins();
    if (--s.users > 0)
        return S_OK;
    std::int32_t launched = 0;
    if (g.binding->IsPanelAppLaunched(s.handle, &launched) == rewire::kOk && launched)
        return E_FAIL;
    for (DWORD waited = 0;; waited += kPollMs) {
        std::int32_t ok = 0;
        if (g.binding->IsCloseDeviceOK(s.handle, &ok) == rewire::kOk && ok)
            break;
        if (waited >= timeoutMs)
            return S_FALSE;
        SleepMs(kPollMs);
    }
    g.binding->CloseDevice(s.handle);
    s.handle = 0;
    return S_OK;
}

STDMETHODIMP CReWireBridge::LaunchPanelApp()
{
    std::lock_guard guard(G().lock);
    CAutoLock lock(this);
    if (!m_handle)
        return E_UNEXPECTED;
    const rewire::DeviceInfo& d = G().info[static_cast<std::size_t>(m_deviceIndex)];
    if (CPanelAppLauncher::StartsEditor(d.name, d.kind))
        return CPanelAppLauncher::Launch(d.name);
    return G().binding->LaunchPanelApp(m_handle) == rewire::kOk ? S_OK : E_FAIL;
}

STDMETHODIMP CReWireBridge::IsPanelAppLaunched()
{
    std::lock_guard guard(G().lock);
    CAutoLock lock(this);
    std::int32_t launched = 0;
    return m_handle && G().binding->IsPanelAppLaunched(m_handle, &launched) == rewire::kOk && launched ? S_OK
                                                                                                         : S_FALSE;
}

STDMETHODIMP CReWireBridge::QuitPanelApp(DWORD timeoutMs)
{
    std::lock_guard guard(G().lock);
    CAutoLock lock(this);
    if (!m_handle)
        return E_UNEXPECTED;
    std::int32_t launched = 0;
    if (G().binding->IsPanelAppLaunched(m_handle, &launched) != rewire::kOk || !launched)
        return S_OK;
    if (G().binding->QuitPanelApp(m_handle) != rewire::kOk)
        return E_FAIL;
    for (DWORD waited = 0;; waited += kPollMs) {
        if (G().binding->IsPanelAppLaunched(m_handle, &launched) == rewire::kOk && !launched)
            return S_OK;
        if (waited >= timeoutMs)
            return S_FALSE;
        SleepMs(kPollMs);
    }
}

STDMETHODIMP CReWireBridge::SetFlag(DWORD value)
{
    CAutoLock lock(this);
    m_flag = value;
    return S_OK;
}

STDMETHODIMP_(BOOL) CReWireBridge::QueryFlag()
{
    CAutoLock lock(this);
    return m_flag == 0 ? TRUE : FALSE;
}

HRESULT CReWireBridge::OnStreamStart()
{
    if (m_deviceIndex < 0)
        return E_UNEXPECTED;
    if (m_attached) {
        const rewire::AudioInfo audio{sizeof(rewire::AudioInfo), static_cast<std::int32_t>(m_inputFormat.nSamplesPerSec),
                                      32768};
        if (G().binding->SetAudioInfo(&audio) != rewire::kOk)
            return E_FAIL;
        G().state[static_cast<std::size_t>(m_deviceIndex)].streaming = this;
    }
    m_wasPlaying = false;
    if (m_skipLoopRead) {
        m_skipLoopRead = false;
    } else if (m_hostTransport && !m_deviceLoopChange) {
        HostTime t{};
        if (SUCCEEDED(m_hostTransport->GetTime(1, &t)))
            m_loopStart = static_cast<std::int32_t>(t.value / kFixedPerDevice);
        if (SUCCEEDED(m_hostTransport->GetTime(2, &t)))
            m_loopEnd = static_cast<std::int32_t>(t.value / kFixedPerDevice);
        LONG on = 0;
        if (SUCCEEDED(m_hostTransport->GetValue(5, &on)))
            m_loopOn = on ? 1 : 0;
    }
    return S_OK;
}

HRESULT CReWireBridge::OnStreamStop()
{
    if (m_deviceIndex >= 0 && G().state) {
        CReWireBridge* self = this;
        G().state[static_cast<std::size_t>(m_deviceIndex)].streaming.compare_exchange_strong(self, nullptr);
    }
    return S_OK;
}

bool CReWireBridge::ConvertEvent(const DXiEvent& in, LONGLONG bufferStart, DWORD frames, rewire::Event& out) const
{
    std::uint16_t status = 0, d1 = 0, d2 = 0;
    switch (in.kind) {
    case mvsynth::kMfxNote:
        status = in.Duration() == mvsynth::kMfxNoteOff ? 128 : 144;
        d1 = in.data[0];
        d2 = in.data[1];
        break;
    case mvsynth::kMfxKeyAftertouch:
        status = 160;
        d1 = in.data[0];
        d2 = in.data[1];
        break;
    case mvsynth::kMfxController:
        status = 176;
        d1 = in.data[0];
        d2 = in.data[1];
        break;
    case mvsynth::kMfxPatch:
        status = 192;
        d1 = in.data[0];
        d2 = in.data[1];
        break;
    case mvsynth::kMfxChannelAftertouch:
        status = 208;
        d1 = in.data[1];
        break;
    case mvsynth::kMfxWheel: {
        // The wheel is signed around 0; MIDI carries it offset by 8192.
        const auto wheel = static_cast<std::int16_t>(in.data[0] | in.data[1] << 8);
        const int value = std::clamp(wheel + 8192, 0, 16383);
        status = 224;
        d1 = static_cast<std::uint16_t>(value & 0x7F);
        d2 = static_cast<std::uint16_t>((value >> 7) & 0x7F);
        break;
    }
    default:
        return false;
    }
    const LONGLONG offset = in.sampleTime - bufferStart;
    out = rewire::Event{};
    out.kind = rewire::kEventMidi;
    out.midi.frame = static_cast<std::uint32_t>(std::clamp<LONGLONG>(offset, 0, frames ? frames - 1 : 0));
    out.midi.bus = m_bus;
    out.midi.channel = in.channel & 0x0F;
    out.midi.status = status;
    out.midi.data1 = d1 & 0x7F;
    out.midi.data2 = d2 & 0x7F;
    return true;
}

void CReWireBridge::ReadTransport(LONGLONG renderedTotal)
{
    mvsynth::CDXiSynthContext* c = Context();
    const bool playing = c->IsPlaying();
    const LONGLONG fixed = c->SamplesToFixedTicks(renderedTotal);
    if (playing) {
        m_position = static_cast<std::int32_t>(fixed / kFixedPerDevice);
        m_playMode = m_wasPlaying ? 2 : 1;
    } else {
        m_playMode = 0;
    }
    m_wasPlaying = playing;
    const LONG ticks = static_cast<LONG>(fixed >> 16);
    if (mvsynth::IMfxTempoMap* tempo = c->GetTempoMap()) {
        LONG at = 0, value = 0;
        if (SUCCEEDED(tempo->GetTempoAt(tempo->GetTempoIndexAt(ticks), &at, &value)) && value > 0)
            m_tempo = value * 10;
    }
    if (mvsynth::IMfxMeterMap* meter = c->GetMeterMap()) {
        LONG at = 0, n = 0, d = 0;
        // A denominator outside the map's range of exponents keeps the last meter.
        if (SUCCEEDED(meter->GetMeterAt(meter->GetMeterIndexAt(ticks), &at, &n, &d)) && n > 0 && d >= 0 &&
            d <= kMaxMeterExponent) {
            m_numerator = n;
            m_denominator = 1 << d;
        }
    }
}

HRESULT CReWireBridge::DriveOnce(CReWireBinding& binding, DWORD frames)
{
    m_in.frames = static_cast<std::int32_t>(frames);
    m_in.playMode = m_playMode;
    m_in.position = m_position;
    m_in.tempo = m_tempo;
    m_in.numerator = m_numerator;
    m_in.denominator = m_denominator;
    m_in.loopStart = m_loopStart;
    m_in.loopEnd = m_loopEnd;
    m_in.loopOn = m_loopOn;
    m_out.events = {20, 24, static_cast<std::int32_t>(m_outEvents.size()), 0, m_outEvents.data()};
    std::int32_t r;
    {
        MaskedFloat masked;
        r = binding.DriveAudio(m_handle, &m_in, &m_out);
    }
    m_lastResult = r;
    m_lastDriveMs = NowMs();
    if (r != rewire::kOk)
        return E_FAIL;
    QueueDeviceEvents();
    if (m_playMode == 1)
        m_playMode = 2;
    return S_OK;
}

void CReWireBridge::QueueDeviceEvents()
{
    const int count = std::clamp(m_out.events.count, 0, static_cast<int>(m_outEvents.size()));
    for (int i = 0; i < count; ++i) {
        const rewire::Event& e = m_outEvents[static_cast<std::size_t>(i)];
        const bool kept = e.kind == rewire::kEventReposition || e.kind == rewire::kEventLoop ||
                          e.kind == rewire::kEventPlay || e.kind == rewire::kEventStop ||
                          e.kind == rewire::kEventDeviceChanged;
        if (kept && m_deviceEventCount < kQueuedDeviceEvents)
            m_deviceEvents[m_deviceEventCount++] = e;
    }
}

HRESULT CReWireBridge::Process(LONGLONG, const DXiBuffer*, DXiBuffer* outputs, DWORD outputCount,
                               LONGLONG renderedTotal, const mvsynth::DXiEventList& events)
{
    if (!m_attached || m_pins.empty() || outputCount == 0)
        return S_OK;
    CReWireBinding& binding = *G().binding;
    ReadTransport(renderedTotal);
    const DWORD frames = outputs[0].frames;
    for (DWORD done = 0; done < frames || (frames == 0 && done == 0);) {
        const DWORD chunk = std::min(kDriveFrames, frames - done);
        std::fill(std::begin(m_in.requestedChannels), std::end(m_in.requestedChannels), 0u);
        std::fill(std::begin(m_in.channelBuffers), std::end(m_in.channelBuffers), nullptr);
        for (DWORD k = 0; k < outputCount; ++k)
            for (std::size_t p = 0; p < m_pins.size(); ++p)
                if (m_pins[p].pinId == outputs[k].pinId) {
                    float* left = m_channelScratch.data() + p * 2 * kDriveFrames;
                    const int c = m_pins[p].channel;
                    rewire::SetBit(m_in.requestedChannels, c);
                    m_in.channelBuffers[c] = left;
                    if (m_pins[p].stereo) {
                        rewire::SetBit(m_in.requestedChannels, c + 1);
                        m_in.channelBuffers[c + 1] = left + kDriveFrames;
                    }
                }
        int n = 0;
        for (const DXiEvent& e : events) {
            if (n >= kInEvents)
                break;  // the rest wait for the next buffer
            const LONGLONG at = e.sampleTime - renderedTotal;
            const bool inChunk = (at < static_cast<LONGLONG>(done + chunk) && (at >= done || done == 0)) ||
                                 (chunk == 0 && done == 0);
            if (inChunk && ConvertEvent(e, renderedTotal + done, chunk, m_inEvents[static_cast<std::size_t>(n)]))
                ++n;
        }
        m_in.events = {20, 24, kInEvents, n, m_inEvents.data()};
        if (FAILED(DriveOnce(binding, chunk)))
            return E_FAIL;
        for (DWORD k = 0; k < outputCount; ++k)
            for (std::size_t p = 0; p < m_pins.size(); ++p) {
                if (m_pins[p].pinId != outputs[k].pinId)
                    continue;
                const int c = m_pins[p].channel;
                const bool served = rewire::TestBit(m_out.servedChannels, c);
                if (!served)
                    continue;  // left for the deferred zero fill
                BeginWrite(outputs[k]);
                const bool stereo = m_pins[p].stereo;
                auto* out = reinterpret_cast<float*>(SliceData(outputs[k], stereo ? 8 : 4));
                if (!out)
                    continue;
                const float* left = m_in.channelBuffers[c];
                if (!stereo) {
                    std::copy(left, left + chunk, out + done);
                    continue;
                }
                // A pair whose right side the device left unserved plays its left on both.
                const float* right = rewire::TestBit(m_out.servedChannels, c + 1) ? m_in.channelBuffers[c + 1] : left;
                for (DWORD f = 0; f < chunk; ++f) {
                    out[(done + f) * 2] = left[f];
                    out[(done + f) * 2 + 1] = right[f];
                }
            }
        if (chunk == 0)
            break;
        done += chunk;
    }
    return S_OK;
}

void CReWireBridge::Refresh(CReWireBinding& binding)
{
    rewire::Event pending[kQueuedDeviceEvents];
    int count = 0;
    IReWireHostTransport* host = nullptr;
    {
        CAutoLock lock(this);
        if (!m_attached)
            return;
        if (!Context()->IsPlaying() && NowMs() - m_lastDriveMs > kQuietBeforeIdleDriveMs) {
            std::fill(std::begin(m_in.requestedChannels), std::end(m_in.requestedChannels), 0u);
            m_in.events = {20, 24, kInEvents, 0, m_inEvents.data()};
            m_playMode = 0;
            m_wasPlaying = false;
            DriveOnce(binding, 0);
        }
        count = m_deviceEventCount;
        std::copy(m_deviceEvents, m_deviceEvents + count, pending);
        m_deviceEventCount = 0;
        host = m_hostTransport;
        if (host)
            host->AddRef();
    }
    // The host is asked outside the instance lock: its answers may wait.
    // Meanwhile the host may disconnect; the reference taken above keeps
    // it alive to the end of the request in progress.
    for (int i = 0; i < count; ++i) {
        if (pending[i].kind == rewire::kEventDeviceChanged) {
            RefreshNamesOfDevice(binding, m_deviceIndex);
            continue;
        }
        if (host && !ApplyDeviceEvent(host, pending[i])) {
            host->Release();
            host = nullptr;
        }
    }
    if (host)
        host->Release();
}

void CReWireBridge::SetHostTime(IReWireHostTransport* host, DWORD id, LONG devicePosition)
{
    HostTime now{};
    const LONGLONG value = static_cast<LONGLONG>(devicePosition) * kFixedPerDevice;
    if (SUCCEEDED(host->GetTime(id, &now)) && now.value == value)
        return;
    const HostTime t{4, 0, value};
    host->SetTime(id, &t);
}

void CReWireBridge::SetHostValueWaiting(IReWireHostTransport* host, DWORD id, LONG value)
{
    host->SetValue(id, value);
    for (int i = 0; i < kHostReadBackTries; ++i) {
        LONG now = 0;
        if (SUCCEEDED(host->GetValue(id, &now)) && now == value)
            return;
        SleepMs(kHostReadBackMs);
    }
}

bool CReWireBridge::ApplyDeviceEvent(IReWireHostTransport* host, const rewire::Event& e)
{
    {
        // The streaming thread drives with the loop fields and reads the
        // host's loop at a stream start, both under the instance lock.
        CAutoLock lock(this);
        if (m_hostTransport != host)
            return false;
        if (e.kind == rewire::kEventLoop) {
            m_loopStart = e.values[0];
            m_loopEnd = e.values[1];
            m_loopOn = e.values[2] ? 1 : 0;
            m_deviceLoopChange = true;
        }
    }
    switch (e.kind) {
    case rewire::kEventReposition:
        SetHostTime(host, 0, e.values[0]);
        break;
    case rewire::kEventPlay:
        host->SetValue(1, 1);
        break;
    case rewire::kEventStop:
        host->SetValue(1, 0);
        break;
    case rewire::kEventLoop: {
        const std::int32_t loopStart = e.values[0];
        const std::int32_t loopEnd = e.values[1];
        LONG hostOwn = 0;
        if (SUCCEEDED(host->GetValue(3, &hostOwn)) && hostOwn)
            break;
        int cleared = -1;
        LONG v = 0;
        if (SUCCEEDED(host->GetValue(1, &v)) && v) {
            SetHostValueWaiting(host, 1, 0);
            cleared = 1;
        } else if (SUCCEEDED(host->GetValue(0, &v)) && v) {
            SetHostValueWaiting(host, 0, 0);
            cleared = 0;
        }
        if (loopStart < 0) {
            SetHostTime(host, 1, loopStart);
            SetHostTime(host, 2, loopEnd);
        } else {
            SetHostTime(host, 2, loopEnd);
            SetHostTime(host, 1, loopStart);
        }
        host->SetValue(5, e.values[2] ? 1 : 0);
        if (cleared >= 0)
            host->SetValue(static_cast<DWORD>(cleared), 1);
        CAutoLock lock(this);
        m_deviceLoopChange = false;
        m_skipLoopRead = true;
        break;
    }
    default:
        break;
    }
    return true;
}

HRESULT CReWireBridge::SaveState(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    BYTE block[kStateBytes] = {};
    CAutoLock lock(this);
    std::memcpy(block, m_deviceName, sizeof m_deviceName);
    block[rewire::kDeviceNameChars - 1] = 0;
    std::memcpy(block + 64, &m_deviceIndex, 4);
    std::memcpy(block + 68, &m_flag, 4);
    ULONG written = 0;
    return SUCCEEDED(stream->Write(block, kStateBytes, &written)) && written == kStateBytes ? S_OK : E_FAIL;
}

HRESULT CReWireBridge::LoadState(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    BYTE block[kStateBytes] = {};
    ULONG read = 0;
    if (FAILED(stream->Read(block, kStateBytes, &read)) || read != kStateBytes)
        return E_FAIL;
    CAutoLock lock(this);
    // The saved name and index are not used: devices are chosen anew.
    std::memcpy(&m_flag, block + 68, 4);
    return S_OK;
}

}  // namespace mvrewire
