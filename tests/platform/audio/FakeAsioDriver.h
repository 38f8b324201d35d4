// A scripted ASIO driver for tests: a built-in COM class whose channels,
// sample type, rates and buffer size come from a configuration chosen per
// class id, and which records what the host did with it. It never calls
// back by itself: a test drives the host's callbacks through Callbacks(),
// as the driver's thread would.
//
// Everything here is process-wide, as the ASIO host is; tests reset it with
// FakeAsio::Reset().
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "platform/audio/IAsioDriver.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/CUnknownImpl.h"
#include "platform/com/InprocServer.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"

namespace mvtest {

// Class ids for up to four fake drivers at once.
MV_DEFINE_GUID(CLSID_FakeAsioA, 0xB47EF82A, 0x65E5, 0x4DFC, 0x8D, 0x67, 0xC1, 0xF2, 0x5A, 0x0E, 0x20, 0x23);
MV_DEFINE_GUID(CLSID_FakeAsioB, 0x286A4E25, 0xE5E3, 0x404C, 0xB1, 0x53, 0x27, 0x8B, 0x5C, 0x33, 0x26, 0x6D);
MV_DEFINE_GUID(CLSID_FakeAsioC, 0x31759B55, 0x82C9, 0x42A4, 0xB1, 0x13, 0xEA, 0x4C, 0x8B, 0x06, 0xB0, 0x01);
MV_DEFINE_GUID(CLSID_FakeAsioD, 0x31759B55, 0x82C9, 0x42A4, 0xB1, 0x13, 0xEA, 0x4C, 0x8B, 0x06, 0xB0, 0x02);

struct FakeAsioConfig {
    std::int32_t inputs = 2;
    std::int32_t outputs = 2;
    std::int32_t sampleType = kAsioInt32LSB;
    std::vector<double> rates = {44100.0, 48000.0};
    std::int32_t bufferFrames = 256;
    std::string channelPrefix = "Ch";  // channels are "Ch 1", "Ch 2", ...
    bool initFails = false;
    bool outputReady = true;   // OutputReady answers kAsioOk
    std::function<void()> onStop;  // runs inside Stop, before it returns
};

// What the fake drivers saw, across all of them.
struct FakeAsioLog {
    int created = 0;
    int destroyed = 0;
    int inits = 0;
    int starts = 0;
    int stops = 0;
    int creates = 0;
    int disposes = 0;
    int outputReadies = 0;
    int controlPanels = 0;
    void* sysRef = nullptr;
    double rate = 0.0;
    bool running = false;
    AsioCallbacks callbacks{};
    std::vector<AsioBufferInfo> buffers;  // as the last CreateBuffers filled them
    std::int32_t bufferFrames = 0;
    int resetRequestsOnStart = 0;  // the next n Starts, of any fake, send a reset request
};

class FakeAsio {
public:
    static std::map<GUID, FakeAsioConfig>& Configs()
    {
        static std::map<GUID, FakeAsioConfig> configs;
        return configs;
    }
    static FakeAsioLog& Log()
    {
        static FakeAsioLog log;
        return log;
    }
    static void Reset()
    {
        for (const auto& c : Configs())
            mvcom::UnregisterBuiltinClass(c.first);
        Configs().clear();
        Log() = FakeAsioLog{};
    }

    // Registers class `clsid` with `config`, as a driver would be installed:
    // a built-in class, HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 naming
    // this program, and "software\asio\<subkey>" with its "clsid" and, when
    // given, "description".
    static void Install(REFCLSID clsid, const std::string& subkey, const char* description, FakeAsioConfig config)
    {
        Configs()[clsid] = std::move(config);
        mvcom::RegisterBuiltinClass(clsid, &Create);
        mvcom::RegisterInprocServer(clsid, "fake", mvcom::ModulePathOf(reinterpret_cast<const void*>(&Create)).c_str());
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("software\\asio\\" + subkey).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr);
        SetText(key, "clsid", mvwin::GuidToString(clsid));
        if (description)
            SetText(key, "description", description);
        RegCloseKey(key);
    }

    // The host's callbacks as the last CreateBuffers received them.
    static const AsioCallbacks& Callbacks() { return Log().callbacks; }
    // One buffer half of the channel entry `entry` of the last CreateBuffers.
    static void* Half(std::size_t entry, int index) { return Log().buffers.at(entry).buffers[index]; }

private:
    static void SetText(HKEY key, const char* name, const std::string& value)
    {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);
};

class FakeAsioDriver : public mvcom::CUnknownImpl<IAsioDriver> {
public:
    FakeAsioDriver(const GUID& clsid, const FakeAsioConfig& config) : m_clsid(clsid), m_config(config)
    {
        ++FakeAsio::Log().created;
    }

    STDMETHODIMP_(AsioBool) Init(void* sysRef) override
    {
        ++Log().inits;
        Log().sysRef = sysRef;
        m_ready = !m_config.initFails;
        return m_ready ? TRUE : FALSE;
    }
    STDMETHODIMP_(void) GetDriverName(char name[32]) override { std::strcpy(name, "Fake"); }
    STDMETHODIMP_(std::int32_t) GetDriverVersion() override { return 7; }
    STDMETHODIMP_(void) GetErrorMessage(char text[124]) override { std::strcpy(text, "fake refuses"); }
    STDMETHODIMP_(AsioError) Start() override
    {
        if (!m_ready || Log().buffers.empty())
            return kAsioNotPresent;
        ++Log().starts;
        Log().running = true;
        if (Log().resetRequestsOnStart > 0) {
            --Log().resetRequestsOnStart;
            Log().callbacks.asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
        }
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) Stop() override
    {
        ++Log().stops;
        if (m_config.onStop && Log().running)
            m_config.onStop();
        Log().running = false;
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) GetChannels(std::int32_t* inputs, std::int32_t* outputs) override
    {
        if (!m_ready)
            return kAsioNotPresent;
        *inputs = m_config.inputs;
        *outputs = m_config.outputs;
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) GetBufferSize(std::int32_t* minimum, std::int32_t* maximum, std::int32_t* preferred,
                                           std::int32_t* granularity) override
    {
        *minimum = m_config.bufferFrames / 2;
        *maximum = m_config.bufferFrames * 4;
        *preferred = m_config.bufferFrames;
        *granularity = -1;
        return m_ready ? kAsioOk : kAsioNotPresent;
    }
    STDMETHODIMP_(AsioError) CanSampleRate(double rate) override
    {
        for (double r : m_config.rates) {
            if (r == rate)
                return kAsioOk;
        }
        return kAsioNoClock;
    }
    STDMETHODIMP_(AsioError) GetSampleRate(double* rate) override
    {
        *rate = Log().rate != 0.0 ? Log().rate : m_config.rates.front();
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) SetSampleRate(double rate) override
    {
        if (CanSampleRate(rate) != kAsioOk)
            return kAsioNoClock;
        Log().rate = rate;
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) GetChannelInfo(AsioChannelInfo* info) override
    {
        if (info->channel < 0 || info->channel >= (info->isInput ? m_config.inputs : m_config.outputs))
            return kAsioInvalidParameter;
        info->isActive = FALSE;
        info->channelGroup = 0;
        info->type = m_config.sampleType;
        *fmt::format_to_n(info->name, 31, "{} {}", m_config.channelPrefix, info->channel + 1).out = '\0';
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) CreateBuffers(AsioBufferInfo* infos, std::int32_t count, std::int32_t frames,
                                           const AsioCallbacks* callbacks) override
    {
        ++Log().creates;
        if (!Log().buffers.empty() || frames != m_config.bufferFrames)
            return kAsioInvalidMode;
        m_storage.assign(static_cast<std::size_t>(count),
                         std::vector<unsigned char>(2 * static_cast<std::size_t>(frames) * SampleBytes()));
        for (std::int32_t i = 0; i < count; ++i) {
            infos[i].buffers[0] = m_storage[static_cast<std::size_t>(i)].data();
            infos[i].buffers[1] = m_storage[static_cast<std::size_t>(i)].data() + frames * SampleBytes();
        }
        Log().buffers.assign(infos, infos + count);
        Log().bufferFrames = frames;
        Log().callbacks = *callbacks;
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) DisposeBuffers() override
    {
        if (Log().buffers.empty())
            return kAsioInvalidMode;
        ++Log().disposes;
        Stop();
        Log().buffers.clear();
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) ControlPanel() override
    {
        ++Log().controlPanels;
        return kAsioOk;
    }
    STDMETHODIMP_(AsioError) OutputReady() override
    {
        ++Log().outputReadies;
        return m_config.outputReady ? kAsioOk : kAsioNotPresent;
    }

protected:
    ~FakeAsioDriver() override
    {
        if (!Log().buffers.empty())
            DisposeBuffers();
        ++Log().destroyed;
    }
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        // The driver's interface id is its class id; the table holds one.
        static const mvcom::InterfaceEntry table[] = {Entry<FakeAsioDriver, IAsioDriver>(IID_IUnknown)};
        return table;
    }

public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == m_clsid && ppv) {
            *ppv = static_cast<IAsioDriver*>(this);
            AddRef();
            return S_OK;
        }
        return CUnknownImpl::QueryInterface(riid, ppv);
    }

private:
    static FakeAsioLog& Log() { return FakeAsio::Log(); }
    std::size_t SampleBytes() const
    {
        switch (m_config.sampleType) {
        case kAsioInt16MSB:
        case kAsioInt16LSB:
            return 2;
        case kAsioInt24MSB:
        case kAsioInt24LSB:
            return 3;
        case kAsioFloat64MSB:
        case kAsioFloat64LSB:
            return 8;
        default:
            return 4;
        }
    }

    GUID m_clsid;
    FakeAsioConfig m_config;
    bool m_ready = false;
    std::vector<std::vector<unsigned char>> m_storage;
};

inline HRESULT FakeAsio::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    // The interface asked for is the class's own id: it picks the configuration.
    auto it = Configs().find(riid);
    if (it == Configs().end())
        return E_NOINTERFACE;
    auto* driver = new FakeAsioDriver(riid, it->second);
    const HRESULT hr = driver->QueryInterface(riid, ppv);
    driver->Release();
    return hr;
}

}  // namespace mvtest
