#include "devices/CAsioDevice.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "devices/AudDataDeinterleave.h"
#include "devices/CAppConfig.h"
#include "devices/CAsioDriverList.h"
#include "devices/IEngineOwner.h"
#include "platform/audio/AsioHost.h"
#include "platform/sync/ThreadAffinity.h"
#include "uikit/core/CHeapCriticalSection.h"

namespace {

// What the callbacks share with the UI thread: the device they serve, the
// driver's pending reset request, whether the loaded driver is there for
// its control panel, and the engine owner that hears reset requests.
std::atomic<CAsioDevice*> g_served{nullptr};
std::atomic<bool> g_resetRequested{false};
std::atomic<bool> g_controlPanel{false};
std::atomic<IEngineOwner*> g_engineOwner{nullptr};
CAsioDriverList* g_driverList = nullptr;

// Built at program start, destroyed at exit.
CHeapCriticalSection g_deviceLock;

// The driver's thread's own.
AsioTime g_timeInfo{};
bool g_haveTimeInfo = false;

class CDeviceLockHolder {
public:
    CDeviceLockHolder() { g_deviceLock.Lock(); }
    ~CDeviceLockHolder() { g_deviceLock.Unlock(); }
    CDeviceLockHolder(const CDeviceLockHolder&) = delete;
    CDeviceLockHolder& operator=(const CDeviceLockHolder&) = delete;
};

bool IsBigEndian(std::int32_t type)
{
    return type < kAsioInt16LSB;
}

// The capability bit of a sample type within its rate's nibble; 0 for
// types the engine cannot write (floating point and anything unknown).
unsigned WidthBit(std::int32_t type)
{
    switch (type) {
    case kAsioInt16MSB:
    case kAsioInt16LSB:
        return 1u;
    case kAsioInt24MSB:
    case kAsioInt24LSB:
        return 2u;
    case kAsioInt32MSB16:
    case kAsioInt32MSB18:
    case kAsioInt32MSB20:
    case kAsioInt32MSB24:
    case kAsioInt32LSB16:
    case kAsioInt32LSB18:
    case kAsioInt32LSB20:
    case kAsioInt32LSB24:
        return 4u;
    case kAsioInt32MSB:
    case kAsioInt32LSB:
        return 8u;
    default:
        return 0u;
    }
}

// Bytes of one sample of an integer type; 0 for the others.
int ContainerBytes(std::int32_t type)
{
    switch (WidthBit(type)) {
    case 1u:
        return 2;
    case 2u:
        return 3;
    case 4u:
    case 8u:
        return 4;
    default:
        return 0;
    }
}

bool GetPreferredBufferSize(std::int32_t* preferred)
{
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t granularity = 0;
    return ASIOGetBufferSize(&minimum, &maximum, preferred, &granularity) == kAsioOk;
}

}  // namespace

const AsioCallbacks CAsioDevice::s_callbacks = {&CAsioDevice::BufferSwitch, &CAsioDevice::SampleRateDidChange,
                                                &CAsioDevice::AsioMessage, &CAsioDevice::BufferSwitchTimeInfo};

CString CAsioDevice::PortRecord::DisplayName() const
{
    CString name;
    name.Format("%s %s", driverName.GetString(), channelName.GetString());
    return name;
}

void CAsioDevice::PortRecord::FillLimits(int* limits) const
{
    std::fill_n(limits + kBufferLimitMinimum, kAudioFormatCount, minFrames);
    std::fill_n(limits + kBufferLimitMaximum, kAudioFormatCount, maxFrames);
    std::fill_n(limits + kBufferLimitGranularity, kAudioFormatCount, granularity);
}

CAsioDevice::CAsioDevice(IEngineOwner* owner) : m_owner(owner), m_format(MakeDeviceFormat(44100, 16, 0))
{
    g_engineOwner = owner;
}

CAsioDevice::~CAsioDevice()
{
    ReleasePanelDriver();
    if (m_open) {
        Close(TRUE);
    } else {
        if (g_served.load() == this) {
            Stop();
            ReleaseBuffers();
        }
        UnloadDriver();
    }
    IEngineOwner* mine = m_owner;
    g_engineOwner.compare_exchange_strong(mine, nullptr);
}

void CAsioDevice::DeleteDriverList()
{
    delete g_driverList;
    g_driverList = nullptr;
}

HRESULT CAsioDevice::EnumPorts(IEnumAudioDeviceCallback* callback, int isInput)
{
    if (!callback)
        return E_POINTER;
    int limits[kBufferLimitEntries];
    for (const PortRecord& p : m_ports) {
        if ((isInput ? p.inputs : p.outputs) < 2)
            continue;
        p.FillLimits(limits);
        callback->AddPort(&GUID_NULL, p.DisplayName(), p.mask, p.driverName, limits);
    }
    return S_OK;
}

HRESULT CAsioDevice::Open()
{
    MV_ASSERT_UI_THREAD();
    if (m_open)
        return S_OK;
    if (m_ports.empty()) {
        if (!g_driverList) {
            g_driverList = new (std::nothrow) CAsioDriverList;
            if (!g_driverList)
                return E_OUTOFMEMORY;
        }
        const HRESULT hr = Enumerate();
        if (FAILED(hr)) {
            m_ports.clear();
            return hr;
        }
    }
    if (m_ports.empty())
        return E_FAIL;
    m_outputName = CAppConfig::GetAsioOutput();
    m_inputName = CAppConfig::GetAsioInput();
    if (!FindPort(m_outputName))
        m_outputName = m_ports.front().DisplayName();
    m_open = true;
    return S_OK;
}

HRESULT CAsioDevice::Close(int unloadDriver)
{
    MV_ASSERT_UI_THREAD();
    if (!m_open)
        return S_FALSE;
    if (g_served.load() == this) {
        Stop();
        ReleaseBuffers();
    }
    if (unloadDriver)
        UnloadDriver();
    m_open = false;
    return S_OK;
}

HRESULT CAsioDevice::SetWindow(HWND window)
{
    m_window = window;
    return S_OK;
}

HRESULT CAsioDevice::SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames)
{
    MV_ASSERT_UI_THREAD();
    if (bufferFrames < 1)
        return E_INVALIDARG;
    ReleasePanelDriver();
    m_bufferFrames = bufferFrames;
    m_format = MakeDeviceFormat(sampleRate, bitsPerSample, m_mode24);
    const PortRecord* found = FindPort(m_outputName);
    if (!found)
        return E_FAIL;
    const PortRecord port = *found;
    std::int32_t inputs = 0;
    std::int32_t outputs = 0;
    HRESULT hr = LoadDriver(port.driverName, &inputs, &outputs);
    if (FAILED(hr))
        return hr;
    DisposeBuffers();
    g_served = this;
    if (ASIOSetSampleRate(sampleRate) != kAsioOk)
        return E_FAIL;

    // The engine writes samples of block align / 2 bytes: the channels must
    // hold exactly that, or the split would over- or under-run them.
    AsioChannelInfo info{};
    info.channel = port.firstChannel;
    info.isInput = FALSE;
    const int sampleBytes = m_format.nBlockAlign / 2;
    if (ASIOGetChannelInfo(&info) != kAsioOk || ContainerBytes(info.type) != sampleBytes)
        return E_FAIL;
    m_sampleBits = sampleBytes * 8;
    m_bigEndian = IsBigEndian(info.type);

    m_bufferInfos[0] = AsioBufferInfo{FALSE, port.firstChannel, {nullptr, nullptr}};
    m_bufferInfos[1] = AsioBufferInfo{FALSE, port.firstChannel + 1, {nullptr, nullptr}};
    if (ASIOCreateBuffers(m_bufferInfos, 2, bufferFrames, &s_callbacks) != kAsioOk)
        return E_FAIL;
    if (FAILED(m_block.Reserve(static_cast<std::size_t>(bufferFrames) * 8 + 64)))
        return E_OUTOFMEMORY;
    m_postOutput = ASIOOutputReady() == kAsioOk;
    m_buffersCreated = true;
    return S_OK;
}

HRESULT CAsioDevice::Set24BitMode(unsigned short mode)
{
    m_mode24 = mode;
    return S_OK;
}

HRESULT CAsioDevice::ReleaseBuffers()
{
    MV_ASSERT_UI_THREAD();
    CDeviceLockHolder hold;
    DisposeBuffers();
    m_driverLoaded = false;
    if (HandlePendingReset()) {
        m_ports.clear();
        m_open = false;
    }
    CAsioDevice* self = this;
    g_served.compare_exchange_strong(self, nullptr);
    return S_OK;
}

HRESULT CAsioDevice::GetBufferBytes(unsigned* bytes)
{
    if (!bytes)
        return E_POINTER;
    *bytes = static_cast<unsigned>(m_format.nBlockAlign) * static_cast<unsigned>(m_bufferFrames);
    return S_OK;
}

HRESULT CAsioDevice::Start()
{
    MV_ASSERT_UI_THREAD();
    if (m_running)
        return S_OK;
    if (ASIOStart() != kAsioOk)
        return E_FAIL;
    m_running = true;
    return S_OK;
}

HRESULT CAsioDevice::Stop()
{
    MV_ASSERT_UI_THREAD();
    if (!m_running)
        return S_OK;
    CDeviceLockHolder hold;
    ASIOStop();
    m_running = false;
    return S_OK;
}

HRESULT CAsioDevice::Pause()
{
    return S_OK;
}

HRESULT CAsioDevice::Resume()
{
    return S_OK;
}

WAVEFORMATEX* CAsioDevice::GetWaveFormat()
{
    return &m_format;
}

HRESULT CAsioDevice::GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits)
{
    if (!id && !name)
        return E_INVALIDARG;
    if (id)
        *id = GUID_NULL;
    const CString& portName = direction == kAudioOutput ? m_outputName : m_inputName;
    if (name)
        *name = portName;
    if (const PortRecord* p = FindPort(portName)) {
        if (mask)
            *mask = p->mask;
        if (limits)
            p->FillLimits(limits);
    }
    return S_OK;
}

HRESULT CAsioDevice::SetPort(const GUID*, const char* name, int direction)
{
    const char* text = name ? name : "";
    if (direction == kAudioOutput) {
        m_outputName = text;
        CAppConfig::SetAsioOutput(text);
    } else if (direction == kAudioInput) {
        m_inputName = text;
        CAppConfig::SetAsioInput(text);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CAsioDevice::GetErrorList(std::vector<CString>*)
{
    return S_OK;
}

HRESULT CAsioDevice::ShowControlPanel(const char* driverName)
{
    if (!driverName)
        return E_POINTER;
    if (g_controlPanel.load()) {
        ReleasePanelDriver();
        m_ports.clear();
        m_open = false;
        Open();
    }
    std::int32_t inputs = 0;
    std::int32_t outputs = 0;
    const HRESULT hr = LoadDriver(driverName, &inputs, &outputs);
    if (FAILED(hr))
        return hr;
    g_controlPanel = true;
    return ASIOControlPanel() == kAsioOk ? S_OK : E_FAIL;
}

HRESULT CAsioDevice::Enumerate()
{
    for (int i = 0; i < g_driverList->GetCount(); ++i) {
        char name[kDriverNameLength];
        if (g_driverList->GetDriverName(i, name, sizeof name) != 0)
            return E_FAIL;
        std::int32_t inputs = 0;
        std::int32_t outputs = 0;
        PortRecord probe{name, "", 0, 0, 0, 0, 0, 0, 0, 0u};
        if (SUCCEEDED(LoadDriver(name, &inputs, &outputs)) && outputs >= 2 && SUCCEEDED(ProbeDriver(probe))) {
            probe.inputs = inputs;
            probe.outputs = outputs;
            for (std::int32_t first = 0; first + 1 < outputs; first += 2) {
                AsioChannelInfo info{};
                info.channel = first;
                info.isInput = FALSE;
                if (ASIOGetChannelInfo(&info) != kAsioOk)
                    continue;
                PortRecord port = probe;
                port.firstChannel = first;
                port.channelName = CString(info.name, static_cast<int>(strnlen(info.name, sizeof info.name)));
                m_ports.push_back(port);
            }
        }
        DisposeBuffers();
        m_driverLoaded = false;
    }
    UnloadDriver();
    return S_OK;
}

HRESULT CAsioDevice::ProbeDriver(PortRecord& probe)
{
    AsioChannelInfo info{};
    info.channel = 0;
    info.isInput = FALSE;
    if (ASIOGetChannelInfo(&info) != kAsioOk)
        return E_FAIL;
    std::int32_t preferred = 0;
    if (!GetPreferredBufferSize(&preferred))
        return E_FAIL;
    // The device always runs at the driver's preferred size.
    probe.minFrames = probe.maxFrames = probe.preferredFrames = preferred;
    probe.granularity = 0;
    const unsigned bit = WidthBit(info.type);
    probe.mask = 0;
    for (int i = 0; i < kAudioRateCount; ++i) {
        if (ASIOCanSampleRate(kAudioRates[i]) == kAsioOk)
            probe.mask |= bit << (4 * i);
    }
    return S_OK;
}

HRESULT CAsioDevice::LoadDriver(const char* name, std::int32_t* inputs, std::int32_t* outputs)
{
    if (m_driverLoaded)
        return E_UNEXPECTED;
    // A driver that asks for a reset while it is being tried gets one more try.
    for (int attempt = 0; attempt < 2; ++attempt) {
        HandlePendingReset();
        const HRESULT hr = TestStartDriver(name, inputs, outputs);
        if (FAILED(hr))
            return hr;
        if (!g_resetRequested.load()) {
            ASIOStop();
            m_driverLoaded = true;
            return S_OK;
        }
    }
    // Leave nothing running behind the failure.
    HandlePendingReset();
    return E_FAIL;
}

HRESULT CAsioDevice::TestStartDriver(const char* name, std::int32_t* inputs, std::int32_t* outputs)
{
    if (!MakeDriverCurrent(name))
        return E_FAIL;
    AsioDriverInfo info{};
    info.asioVersion = kAsioHostVersion;
    info.sysRef = m_window;
    if (ASIOInit(&info) != kAsioOk || ASIOGetChannels(inputs, outputs) != kAsioOk || *outputs < 2)
        return E_FAIL;
    std::int32_t preferred = 0;
    if (!GetPreferredBufferSize(&preferred))
        return E_FAIL;
    m_postOutput = ASIOOutputReady() == kAsioOk;
    int count = 0;
    for (std::int32_t i = 0; i < std::clamp(*inputs, 0, 2); ++i)
        m_bufferInfos[count++] = AsioBufferInfo{TRUE, i, {nullptr, nullptr}};
    for (std::int32_t i = 0; i < 2; ++i)
        m_bufferInfos[count++] = AsioBufferInfo{FALSE, i, {nullptr, nullptr}};
    if (ASIOCreateBuffers(m_bufferInfos, count, preferred, &s_callbacks) != kAsioOk)
        return E_FAIL;
    if (ASIOStart() != kAsioOk) {
        ASIODisposeBuffers();
        return E_FAIL;
    }
    double rate = 0.0;
    if (ASIOGetSampleRate(&rate) == kAsioOk)
        ASIOSetSampleRate(rate);
    return S_OK;
}

bool CAsioDevice::MakeDriverCurrent(const char* name)
{
    UnloadDriver();
    if (!g_driverList)
        return false;
    for (int i = 0; i < g_driverList->GetCount(); ++i) {
        char listed[kDriverNameLength];
        IAsioDriver* driver = nullptr;
        if (g_driverList->GetDriverName(i, listed, sizeof listed) != 0 || std::strcmp(listed, name) != 0)
            continue;
        if (g_driverList->OpenDriver(i, &driver) != 0)
            return false;
        mvasio::SetCurrentDriver(driver);
        m_driverIndex = i;
        return true;
    }
    return false;
}

void CAsioDevice::UnloadDriver()
{
    m_driverLoaded = false;
    if (m_driverIndex < 0)
        return;
    m_buffersCreated = false;
    ASIOExit();
    if (g_driverList)
        g_driverList->CloseDriver(m_driverIndex);
    m_driverIndex = -1;
}

void CAsioDevice::DisposeBuffers()
{
    m_buffersCreated = false;
    ASIODisposeBuffers();
}

bool CAsioDevice::HandlePendingReset()
{
    if (!g_resetRequested.exchange(false))
        return false;
    ASIOStop();
    m_running = false;
    DisposeBuffers();
    UnloadDriver();
    return true;
}

void CAsioDevice::ReleasePanelDriver()
{
    if (!g_controlPanel.exchange(false))
        return;
    DisposeBuffers();
    UnloadDriver();
}

const CAsioDevice::PortRecord* CAsioDevice::FindPort(const char* displayName) const
{
    for (const PortRecord& p : m_ports) {
        if (p.DisplayName().CompareNoCase(displayName) == 0)
            return &p;
    }
    return nullptr;
}

void CAsioDevice::RenderHalf(int index)
{
    void* block = m_block.Get();
    if (!m_owner || !block) {
        ZeroHalf(index);
        return;
    }
    m_owner->ProcessBuffer(block, nullptr, static_cast<UINT>(m_bufferFrames) * m_format.nBlockAlign, -1);
    void* left = m_bufferInfos[0].buffers[index];
    void* right = m_bufferInfos[1].buffers[index];
    if (m_bigEndian)
        DeinterleaveBigEndian(m_sampleBits, block, left, right, m_bufferFrames);
    else
        Deinterleave(m_sampleBits, block, left, right, m_bufferFrames);
}

void CAsioDevice::ZeroHalf(int index)
{
    const std::size_t bytes = static_cast<std::size_t>(m_bufferFrames) * static_cast<std::size_t>(m_sampleBits / 8);
    for (int channel = 0; channel < 2; ++channel) {
        if (void* half = m_bufferInfos[channel].buffers[index])
            std::memset(half, 0, bytes);
    }
}

void CAsioDevice::BufferSwitch(std::int32_t index, AsioBool)
{
    MV_ASSERT_AUDIO_THREAD();
    const int half = index != 0 ? 1 : 0;
    CAsioDevice* device = g_served.load();
    if (!g_deviceLock.TryLock()) {
        // Stop or ReleaseBuffers is under way: play silence, not the old half.
        if (device && device->m_buffersCreated.load()) {
            device->ZeroHalf(half);
            if (device->m_postOutput)
                ASIOOutputReady();
        }
        return;
    }
    if (device && device->m_buffersCreated.load()) {
        if (g_resetRequested.load())
            device->ZeroHalf(half);
        else
            device->RenderHalf(half);
        if (device->m_postOutput)
            ASIOOutputReady();
    }
    g_deviceLock.Unlock();
}

void CAsioDevice::SampleRateDidChange(double)
{
}

std::int32_t CAsioDevice::AsioMessage(std::int32_t selector, std::int32_t, void*, double*)
{
    switch (selector) {
    case kAsioEngineVersion:
        return 2;
    case kAsioResetRequest:
        if (!g_controlPanel.load()) {
            if (IEngineOwner* owner = g_engineOwner.load())
                owner->RequestAudioReset();
        }
        g_resetRequested = true;
        return 1;
    case kAsioResyncRequest:
        return 1;
    default:
        return 0;
    }
}

AsioTime* CAsioDevice::BufferSwitchTimeInfo(AsioTime* params, std::int32_t index, AsioBool directProcess)
{
    if (!g_haveTimeInfo && params) {
        g_timeInfo = *params;
        g_haveTimeInfo = true;
    }
    BufferSwitch(index, directProcess);
    return &g_timeInfo;
}
