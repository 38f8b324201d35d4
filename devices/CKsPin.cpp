#include "devices/CKsPin.h"

#include <sys/mman.h>

#include "devices/CKsFilter.h"
#include "platform/sync/Event.h"

namespace {
constexpr DWORD kCloseWaitMs = 2000;
}

CKsPin::CKsPin(CKsFilter* filter, ULONG id, ULONG dataFlow, ULONG communication)
    : m_filter(filter), m_id(id), m_dataFlow(dataFlow), m_communication(communication),
      m_isRender(dataFlow == KSPIN_DATAFLOW_IN), m_connect(sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT) + kKsWaveFormatRoom)
{
    m_format = reinterpret_cast<WAVEFORMATEX*>(m_connect.data() + sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT));
}

CKsPin::~CKsPin()
{
    Close();
    FreePackets();
}

void CKsPin::FreePackets()
{
    for (Packet& p : m_packets) {
        if (p.overlapped.hEvent)
            CloseHandle(p.overlapped.hEvent);
        ReleasePacketMemory(p);
    }
    m_packets.clear();
}

void CKsPin::ReleasePacketMemory(Packet& packet)
{
    if (packet.allocation)
        munmap(packet.allocation, packet.allocationBytes);
    packet.allocation = packet.buffer = nullptr;
    packet.allocationBytes = 0;
}

bool CKsPin::Create(int packetCount, bool looped)
{
    FreePackets();
    m_looped = looped;
    m_packets.resize(static_cast<std::size_t>(packetCount));
    for (Packet& p : m_packets) {
        p.overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        if (!p.overlapped.hEvent)
            return false;
    }
    KSPIN_CONNECT* connect = Connect();
    connect->Interface = {KSINTERFACESETID_Standard,
                          looped ? KSINTERFACE_STANDARD_LOOPED_STREAMING : KSINTERFACE_STANDARD_STREAMING, 0};
    connect->Medium = {KSMEDIUMSETID_Standard, KSMEDIUM_TYPE_ANYINSTANCE, 0};
    connect->PinId = m_id;
    connect->PinToHandle = nullptr;
    connect->Priority = {KSPRIORITY_NORMAL, 1};
    HANDLE pin = nullptr;
    const DWORD error = KsCreatePin(m_filter->GetHandle(), connect, GENERIC_READ | GENERIC_WRITE, &pin);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    m_handle = pin;
    m_state = KSSTATE_STOP;
    return true;
}

bool CKsPin::SetState(KSSTATE state)
{
    if (!IsValid() || state > KSSTATE_RUN)
        return false;
    ULONG value = state;
    KSPROPERTY request{KSPROPSETID_Connection, KSPROPERTY_CONNECTION_STATE, KSPROPERTY_TYPE_SET};
    DWORD returned = 0;
    if (!DeviceIoControl(m_handle, IOCTL_KS_PROPERTY, &request, sizeof request, &value, sizeof value, &returned,
                         nullptr))
        return false;
    m_state = state;
    return true;
}

bool CKsPin::WritePacket(int index)
{
    Packet& p = m_packets[static_cast<std::size_t>(index)];
    p.header = {};
    p.header.Size = sizeof(KSSTREAM_HEADER);
    p.header.PresentationTime.Numerator = 1;
    p.header.PresentationTime.Denominator = 1;
    p.header.FrameExtent = m_packetBytes;
    p.header.DataUsed = m_packetBytes;
    p.header.Data = p.buffer;
    p.header.OptionsFlags = (m_looped ? KSSTREAM_HEADER_OPTIONSF_LOOPEDDATA : 0) |
                            (m_state == KSSTATE_PAUSE ? KSSTREAM_HEADER_OPTIONSF_PREROLL : 0);
    ResetEvent(p.overlapped.hEvent);
    DWORD returned = 0;
    if (DeviceIoControl(m_handle, IOCTL_KS_WRITE_STREAM, nullptr, 0, &p.header, sizeof p.header, &returned,
                        &p.overlapped))
        return true;
    return GetLastError() == ERROR_IO_PENDING;
}

DWORD CKsPin::Wait(int index, DWORD timeoutMs)
{
    return WaitForSingleObject(m_packets[static_cast<std::size_t>(index)].overlapped.hEvent, timeoutMs);
}

void CKsPin::WaitAll(DWORD timeoutMs)
{
    for (int i = 0; i < GetPacketCount(); ++i)
        Wait(i, timeoutMs);
}

void CKsPin::Close()
{
    if (!IsValid())
        return;
    SetState(KSSTATE_STOP);
    WaitAll(kCloseWaitMs);
    FreePackets();
    CloseTargetHandle();
}
