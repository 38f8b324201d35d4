#include "platform/audio/CJackAsioDriver.h"

#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include <fmt/format.h>

#include "platform/audio/JackSampleConvert.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/InprocServer.h"
#include "platform/registry/Registry.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

constexpr const char* kAsioKey = "software\\asio\\JACK";
constexpr std::int32_t kDriverVersion = 1;

void CopyText(char* dst, std::size_t size, const char* src)
{
    std::strncpy(dst, src, size - 1);
    dst[size - 1] = '\0';
}

std::string ChannelName(bool isInput, std::int32_t number)
{
    return fmt::format("{} {}", isInput ? "In" : "Out", number + 1);
}

// The server's physical ports that our channels of one direction meet:
// playback ports for outputs, capture ports for inputs.
class CPhysicalPorts {
public:
    CPhysicalPorts(jack_client_t* client, bool forInputs)
        : m_names(jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                 JackPortIsPhysical | (forInputs ? JackPortIsOutput : JackPortIsInput)))
    {
    }
    ~CPhysicalPorts() { jack_free(m_names); }
    CPhysicalPorts(const CPhysicalPorts&) = delete;
    CPhysicalPorts& operator=(const CPhysicalPorts&) = delete;

    std::int32_t Count() const
    {
        std::int32_t n = 0;
        while (m_names && m_names[n])
            ++n;
        return n;
    }
    const char* Name(std::int32_t i) const { return i < Count() ? m_names[i] : nullptr; }

private:
    const char** m_names;
};

LONG SetText(HKEY key, const char* name, const std::string& value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

}  // namespace

HRESULT CJackAsioDriver::Register()
{
    HRESULT hr = mvcom::RegisterBuiltinClass(CLSID_JackAsioDriver, &CJackAsioDriver::Create);
    if (FAILED(hr))
        return hr;
    const std::string library = mvcom::ModulePathOf(reinterpret_cast<const void*>(&CJackAsioDriver::Create));
    hr = mvcom::RegisterInprocServer(CLSID_JackAsioDriver, kDriverName, library.c_str());
    if (FAILED(hr))
        return hr;
    HKEY key = nullptr;
    LONG err = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAsioKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (err == ERROR_SUCCESS) {
        err = SetText(key, "clsid", mvwin::GuidToString(CLSID_JackAsioDriver));
        if (err == ERROR_SUCCESS)
            err = SetText(key, "description", kDriverName);
        RegCloseKey(key);
    }
    return HRESULT_FROM_WIN32(err);
}

HRESULT CJackAsioDriver::Unregister()
{
    mvcom::UnregisterBuiltinClass(CLSID_JackAsioDriver);
    const LONG err = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kAsioKey);
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(err);
    return mvcom::UnregisterInprocServer(CLSID_JackAsioDriver);
}

HRESULT CJackAsioDriver::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* driver = new (std::nothrow) CJackAsioDriver;
    if (!driver)
        return E_OUTOFMEMORY;
    const HRESULT hr = driver->QueryInterface(riid, ppv);
    driver->Release();
    return hr;
}

std::span<const mvcom::InterfaceEntry> CJackAsioDriver::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {Entry<CJackAsioDriver, IAsioDriver>(CLSID_JackAsioDriver)};
    return table;
}

CJackAsioDriver::~CJackAsioDriver()
{
    if (!m_client)
        return;
    Stop();
    UnregisterChannels();
    jack_client_close(m_client);
}

AsioBool CJackAsioDriver::Init(void*)
{
    if (m_client)
        return TRUE;
    const char* server = std::getenv("MORVANE_JACK_SERVER");
    const bool named = server && *server;
    const char* client = std::getenv("MORVANE_JACK_CLIENT");
    if (!client || !*client)
        client = kClientName;
    jack_status_t status{};
    m_client = named ? jack_client_open(client, static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                        &status, server)
                     : jack_client_open(client, JackNoStartServer, &status);
    if (!m_client) {
        m_error = named ? fmt::format("Cannot connect to the JACK server \"{}\"", server)
                        : std::string("Cannot connect to the JACK server");
        return FALSE;
    }
    jack_on_shutdown(m_client, &CJackAsioDriver::OnShutdown, this);
    jack_set_buffer_size_callback(m_client, &CJackAsioDriver::OnBufferSize, this);
    jack_set_process_callback(m_client, &CJackAsioDriver::OnProcess, this);
    m_rate = jack_get_sample_rate(m_client);
    m_serverFrames = static_cast<std::int32_t>(jack_get_buffer_size(m_client));
    m_outputs = std::max(2, CPhysicalPorts(m_client, false).Count());
    m_inputs = std::max(2, CPhysicalPorts(m_client, true).Count());
    m_error.clear();
    return TRUE;
}

void CJackAsioDriver::GetDriverName(char name[32])
{
    CopyText(name, 32, kDriverName);
}

std::int32_t CJackAsioDriver::GetDriverVersion()
{
    return kDriverVersion;
}

void CJackAsioDriver::GetErrorMessage(char text[124])
{
    CopyText(text, 124, m_error.c_str());
}

AsioError CJackAsioDriver::Start()
{
    if (!m_client)
        return kAsioNotPresent;
    if (m_channels.empty())
        return kAsioInvalidMode;
    if (m_running)
        return kAsioOk;
    m_half = 0;
    m_running = true;
    if (jack_activate(m_client) != 0) {
        m_running = false;
        return kAsioHwMalfunction;
    }
    ConnectPhysicalPorts();
    return kAsioOk;
}

AsioError CJackAsioDriver::Stop()
{
    if (!m_client)
        return kAsioNotPresent;
    if (!m_running)
        return kAsioOk;
    // From here on a cycle writes silence; wait out one that is still in
    // the host's buffer switch before the client stops.
    m_running = false;
    while (m_inProcess.load() != 0)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    jack_deactivate(m_client);
    return kAsioOk;
}

AsioError CJackAsioDriver::GetChannels(std::int32_t* inputs, std::int32_t* outputs)
{
    if (!m_client)
        return kAsioNotPresent;
    if (!inputs || !outputs)
        return kAsioInvalidParameter;
    *inputs = m_inputs;
    *outputs = m_outputs;
    return kAsioOk;
}

AsioError CJackAsioDriver::GetBufferSize(std::int32_t* minimum, std::int32_t* maximum, std::int32_t* preferred,
                                         std::int32_t* granularity)
{
    if (!m_client)
        return kAsioNotPresent;
    if (!minimum || !maximum || !preferred || !granularity)
        return kAsioInvalidParameter;
    *minimum = *maximum = *preferred = m_serverFrames;
    *granularity = 0;
    return kAsioOk;
}

AsioError CJackAsioDriver::CanSampleRate(double rate)
{
    if (!m_client)
        return kAsioNotPresent;
    return rate == m_rate ? kAsioOk : kAsioNoClock;
}

AsioError CJackAsioDriver::GetSampleRate(double* rate)
{
    if (!m_client)
        return kAsioNotPresent;
    if (!rate)
        return kAsioInvalidParameter;
    *rate = m_rate;
    return kAsioOk;
}

AsioError CJackAsioDriver::SetSampleRate(double rate)
{
    return CanSampleRate(rate);
}

AsioError CJackAsioDriver::GetChannelInfo(AsioChannelInfo* info)
{
    if (!m_client)
        return kAsioNotPresent;
    if (!info || info->channel < 0 || info->channel >= ChannelCount(info->isInput != 0))
        return kAsioInvalidParameter;
    const bool isInput = info->isInput != 0;
    info->isActive = std::any_of(m_channels.begin(), m_channels.end(), [&](const Channel& c) {
        return c.isInput == isInput && c.number == info->channel;
    });
    info->channelGroup = 0;
    info->type = kAsioInt32LSB24;
    CopyText(info->name, sizeof info->name, ChannelName(isInput, info->channel).c_str());
    return kAsioOk;
}

AsioError CJackAsioDriver::CreateBuffers(AsioBufferInfo* infos, std::int32_t count, std::int32_t frames,
                                         const AsioCallbacks* callbacks)
{
    if (!m_client)
        return kAsioNotPresent;
    if (!infos || !callbacks || !callbacks->bufferSwitch || count <= 0)
        return kAsioInvalidParameter;
    if (m_running || !m_channels.empty() || frames != m_serverFrames)
        return kAsioInvalidMode;
    for (std::int32_t i = 0; i < count; ++i) {
        const AsioBufferInfo& b = infos[i];
        const bool twice = std::any_of(infos, infos + i, [&](const AsioBufferInfo& o) {
            return (o.isInput != 0) == (b.isInput != 0) && o.channelNum == b.channelNum;
        });
        if (b.channelNum < 0 || b.channelNum >= ChannelCount(b.isInput != 0) || twice)
            return kAsioInvalidParameter;
    }
    try {
        m_channels.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i) {
            const bool isInput = infos[i].isInput != 0;
            const std::int32_t number = infos[i].channelNum;
            jack_port_t* port = jack_port_register(m_client, ChannelName(isInput, number).c_str(),
                                                   JACK_DEFAULT_AUDIO_TYPE,
                                                   isInput ? JackPortIsInput : JackPortIsOutput, 0);
            if (!port) {
                UnregisterChannels();
                return kAsioHwMalfunction;
            }
            m_channels.push_back(
                Channel{isInput, number, port, std::vector<std::int32_t>(2 * static_cast<std::size_t>(frames))});
            infos[i].buffers[0] = m_channels.back().halves.data();
            infos[i].buffers[1] = m_channels.back().halves.data() + frames;
        }
    } catch (const std::bad_alloc&) {
        UnregisterChannels();
        return kAsioNoMemory;
    }
    m_callbacks = *callbacks;
    m_bufferFrames = frames;
    m_message = callbacks->asioMessage;
    return kAsioOk;
}

AsioError CJackAsioDriver::DisposeBuffers()
{
    if (!m_client)
        return kAsioNotPresent;
    if (m_channels.empty())
        return kAsioInvalidMode;
    Stop();
    UnregisterChannels();
    return kAsioOk;
}

AsioError CJackAsioDriver::ControlPanel()
{
    return kAsioNotPresent;
}

AsioError CJackAsioDriver::OutputReady()
{
    return kAsioNotPresent;
}

void CJackAsioDriver::UnregisterChannels()
{
    m_message = nullptr;
    m_bufferFrames = 0;
    for (const Channel& c : m_channels)
        jack_port_unregister(m_client, c.port);
    m_channels.clear();
}

void CJackAsioDriver::ConnectPhysicalPorts()
{
    const CPhysicalPorts playback(m_client, false);
    const CPhysicalPorts capture(m_client, true);
    for (const Channel& c : m_channels) {
        const char* ours = jack_port_name(c.port);
        const char* theirs = (c.isInput ? capture : playback).Name(c.number);
        if (theirs)
            jack_connect(m_client, c.isInput ? theirs : ours, c.isInput ? ours : theirs);
    }
}

int CJackAsioDriver::OnProcess(std::uint32_t frames, void* self)
{
    auto* d = static_cast<CJackAsioDriver*>(self);
    // JACK's process thread is the audio thread; it is JACK's own, so it is
    // marked on its first cycle (one thread-local read from then on).
    if (mv::CurrentThreadRole() != mv::ThreadRole::Audio)
        mv::MarkCurrentThread(mv::ThreadRole::Audio);
    d->m_inProcess.fetch_add(1);
    if (d->m_running.load() && static_cast<std::int32_t>(frames) == d->m_bufferFrames.load())
        d->SwitchBuffers(frames);
    else
        d->WriteSilence(frames);
    d->m_inProcess.fetch_sub(1);
    return 0;
}

void CJackAsioDriver::SwitchBuffers(std::uint32_t frames)
{
    const int n = static_cast<int>(frames);
    const std::size_t half = static_cast<std::size_t>(m_half) * frames;
    for (Channel& c : m_channels) {
        if (c.isInput) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(c.port, frames));
            JackFloatToInt24In32(c.halves.data() + half, in, n);
        }
    }
    m_callbacks.bufferSwitch(m_half, TRUE);
    for (const Channel& c : m_channels) {
        if (!c.isInput)
            Int24In32ToJackFloat(static_cast<float*>(jack_port_get_buffer(c.port, frames)), c.halves.data() + half, n);
    }
    m_half = 1 - m_half;
}

void CJackAsioDriver::WriteSilence(std::uint32_t frames)
{
    for (const Channel& c : m_channels) {
        if (!c.isInput)
            std::memset(jack_port_get_buffer(c.port, frames), 0, frames * sizeof(float));
    }
}

int CJackAsioDriver::OnBufferSize(std::uint32_t frames, void* self)
{
    auto* d = static_cast<CJackAsioDriver*>(self);
    d->m_serverFrames = static_cast<std::int32_t>(frames);
    const std::int32_t made = d->m_bufferFrames.load();
    if (made != 0 && made != static_cast<std::int32_t>(frames))
        d->RequestReset();
    return 0;
}

void CJackAsioDriver::OnShutdown(void* self)
{
    static_cast<CJackAsioDriver*>(self)->RequestReset();
}

void CJackAsioDriver::RequestReset()
{
    if (auto message = m_message.load())
        message(kAsioResetRequest, 0, nullptr, nullptr);
}
