#include "devices/CMidiSource.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "devices/CAppConfig.h"
#include "platform/registry/Profile.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr char kPortSection[] = "Options";
std::atomic<LONG> g_inputEnabled{1};

}  // namespace

void CMidiSource::SetInputEnabled(bool on) { g_inputEnabled.store(on ? 1 : 0); }

bool CMidiSource::IsInputEnabled() { return g_inputEnabled.load() != 0; }

CMidiSource::CMidiSource() : m_receivers(new Receivers) { SetInputEnabled(true); }

CMidiSource::~CMidiSource()
{
    MV_ASSERT_UI_THREAD();
    SavePorts();
    CloseAllPorts();
    delete m_receivers.exchange(nullptr);
}

void CMidiSource::SavePorts()
{
    for (int i = 0; i < static_cast<int>(m_ports.size()); ++i) {
        if (IsVirtualPortIndex(i))
            continue;
        MIDIINCAPSA caps{};
        if (midiInGetDevCapsA(m_ports[static_cast<std::size_t>(i)]->deviceId, &caps, sizeof caps) == MMSYSERR_NOERROR)
            WriteProfileString(kPortSection, std::to_string(i).c_str(), caps.szPname);
    }
    CAppConfig::SetMidiInPortCount(static_cast<int>(m_ports.size()));
}

HRESULT CMidiSource::Init()
{
    MV_ASSERT_UI_THREAD();
    CloseAllPorts();
    HRESULT result = S_OK;
    const UINT devices = midiInGetNumDevs();
    const int saved = CAppConfig::GetMidiInPortCount();
    for (int i = 0; i < saved; ++i) {
        const CString name = GetProfileStringA(kPortSection, std::to_string(i).c_str(), "");
        if (name.Str().empty())
            continue;
        bool found = false;
        for (UINT d = 0; d < devices && !found; ++d) {
            MIDIINCAPSA caps{};
            if (midiInGetDevCapsA(d, &caps, sizeof caps) == MMSYSERR_NOERROR && name.Str() == caps.szPname) {
                found = true;
                OpenPort(d);
            }
        }
        if (!found)
            result = E_UNEXPECTED;
    }
    if (CAppConfig::IsRewireDeviceMode()) {
        auto* record = new (std::nothrow) PortRecord;
        if (!record)
            return E_FAIL;
        record->deviceId = devices;
        record->source = this;
        record->portIndex = static_cast<int>(m_ports.size());
        m_ports.push_back(record);
    }
    return result;
}

HRESULT CMidiSource::OpenPort(UINT deviceId)
{
    MV_ASSERT_UI_THREAD();
    if (static_cast<int>(m_ports.size()) >= kMaxPorts)
        return E_FAIL;
    auto* record = new (std::nothrow) PortRecord;
    if (!record)
        return E_FAIL;
    record->deviceId = deviceId;
    record->source = this;
    record->portIndex = static_cast<int>(m_ports.size());
    const bool virtualPort = CAppConfig::IsRewireDeviceMode() && deviceId == midiInGetNumDevs();
    if (!virtualPort) {
        if (midiInOpen(&record->handle, deviceId, reinterpret_cast<DWORD_PTR>(&CMidiSource::MidiInCallback),
                       reinterpret_cast<DWORD_PTR>(record), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
            delete record;
            return E_FAIL;
        }
        if (midiInStart(record->handle) != MMSYSERR_NOERROR) {
            midiInClose(record->handle);
            delete record;
            return E_FAIL;
        }
    }
    m_ports.push_back(record);
    return S_OK;
}

HRESULT CMidiSource::CloseAllPorts()
{
    MV_ASSERT_UI_THREAD();
    for (PortRecord* record : m_ports) {
        // Returns after the port's last callback: the record may go.
        if (record->handle)
            midiInClose(record->handle);
        delete record;
    }
    m_ports.clear();
    return S_OK;
}

HRESULT CMidiSource::GetDeviceCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = midiInGetNumDevs() + (CAppConfig::IsRewireDeviceMode() ? 1 : 0);
    return S_OK;
}

HRESULT CMidiSource::GetDeviceName(UINT deviceId, CString* name)
{
    if (!name)
        return E_POINTER;
    const UINT devices = midiInGetNumDevs();
    if (CAppConfig::IsRewireDeviceMode() && deviceId == devices) {
        *name = LoadResString(IDS_REWIRE_MIDI_INPUT);
        return S_OK;
    }
    if (deviceId >= devices)
        return E_INVALIDARG;
    MIDIINCAPSA caps{};
    if (midiInGetDevCapsA(deviceId, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return E_UNEXPECTED;
    *name = caps.szPname;
    return S_OK;
}

bool CMidiSource::IsDeviceOpen(UINT deviceId)
{
    if (CAppConfig::IsRewireDeviceMode() && deviceId == midiInGetNumDevs())
        return true;
    for (const PortRecord* record : m_ports)
        if (record->deviceId == deviceId)
            return true;
    return false;
}

int CMidiSource::GetOpenPortCount() { return static_cast<int>(m_ports.size()); }

bool CMidiSource::IsVirtualPortIndex(int index)
{
    return CAppConfig::IsRewireDeviceMode() && index == static_cast<int>(m_ports.size()) - 1;
}

UINT CMidiSource::GetPortDeviceId(int index)
{
    if (IsVirtualPortIndex(index))
        return midiInGetNumDevs();
    if (index < 0 || index >= static_cast<int>(m_ports.size()))
        return 0x7FFFFFFF;
    return m_ports[static_cast<std::size_t>(index)]->deviceId;
}

CMidiSource::PortRecord* CMidiSource::GetRewirePort()
{
    if (!CAppConfig::IsRewireDeviceMode() || m_ports.empty())
        return nullptr;
    return m_ports.back();
}

HRESULT CMidiSource::GetPortName(int index, char* buffer, int length)
{
    if (!buffer || length <= 0)
        return E_POINTER;
    std::string text;
    if (IsVirtualPortIndex(index)) {
        text = LoadResString(IDS_REWIRE_MIDI_INPUT);
    } else {
        std::string device = "no device";
        if (index >= 0 && index < static_cast<int>(m_ports.size())) {
            MIDIINCAPSA caps{};
            if (midiInGetDevCapsA(m_ports[static_cast<std::size_t>(index)]->deviceId, &caps, sizeof caps) !=
                MMSYSERR_NOERROR)
                return E_FAIL;
            device = caps.szPname;
        }
        char formatted[256];
        std::snprintf(formatted, sizeof formatted, LoadResString(IDS_MIDI_PORT_NAME), index + 1, device.c_str());
        text = formatted;
    }
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(length - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    buffer[length - 1] = 0;
    return S_OK;
}

HRESULT CMidiSource::AddSink(CMidiSink* sink)
{
    MV_ASSERT_UI_THREAD();
    if (m_normal.count(sink) || m_priority.count(sink))
        return E_FAIL;
    m_normal.insert(sink);
    Publish();
    return S_OK;
}

HRESULT CMidiSource::AddPrioritySink(CMidiSink* sink)
{
    MV_ASSERT_UI_THREAD();
    if (m_normal.count(sink) || m_priority.count(sink))
        return E_FAIL;
    m_priority.insert(sink);
    Publish();
    return S_OK;
}

HRESULT CMidiSource::RemoveSink(CMidiSink* sink)
{
    MV_ASSERT_UI_THREAD();
    if (!m_normal.erase(sink))
        return E_FAIL;
    Publish();
    return S_OK;
}

HRESULT CMidiSource::RemovePrioritySink(CMidiSink* sink)
{
    MV_ASSERT_UI_THREAD();
    if (!m_priority.erase(sink))
        return E_FAIL;
    Publish();
    return S_OK;
}

void CMidiSource::Publish()
{
    auto* next = new Receivers{{m_priority.begin(), m_priority.end()}, {m_normal.begin(), m_normal.end()}};
    Receivers* old = m_receivers.exchange(next, std::memory_order_seq_cst);
    // A delivery counts itself before it reads the snapshot: once the count
    // is seen at zero after the swap, every delivery still running read the
    // new one. Deliveries are short; this waits for at most one message.
    while (m_delivering.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    delete old;
}

void CMidiSource::Deliver(PortRecord* port, DWORD message, DWORD time)
{
    m_delivering.fetch_add(1, std::memory_order_seq_cst);
    const Receivers* receivers = m_receivers.load(std::memory_order_seq_cst);
    if (receivers) {
        const int index = port ? port->portIndex : 0;
        bool consumed = false;
        for (CMidiSink* sink : receivers->priority)
            consumed = sink->OnShortMsg(message, time, index) != 0 || consumed;
        if (!consumed)
            for (CMidiSink* sink : receivers->normal)
                sink->OnShortMsg(message, time, index);
    }
    m_delivering.fetch_sub(1, std::memory_order_seq_cst);
}

void CMidiSource::MidiInCallback(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2)
{
    if (!IsInputEnabled() || message != MIM_DATA)
        return;
    if (param1 == 0xFE)  // active sensing
        return;
    auto* record = reinterpret_cast<PortRecord*>(instance);
    record->source->Deliver(record, static_cast<DWORD>(param1), static_cast<DWORD>(param2));
}

HRESULT CMidiSource::GetOutputDeviceCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = midiOutGetNumDevs();
    return S_OK;
}

HRESULT CMidiSource::GetOutputDeviceName(UINT deviceId, CString* name, BOOL* isHardwarePort)
{
    if (!name || !isHardwarePort)
        return E_POINTER;
    if (deviceId >= midiOutGetNumDevs())
        return E_INVALIDARG;
    MIDIOUTCAPSA caps{};
    if (midiOutGetDevCapsA(deviceId, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return E_UNEXPECTED;
    *name = caps.szPname;
    *isHardwarePort = caps.wTechnology == MOD_MIDIPORT;
    return S_OK;
}
