// A pin of a kernel-streaming filter: what enumeration found (id, data flow,
// communication) and, once created, the connected pin with its streaming
// packets. Each packet has a buffer, a stream header and an overlapped
// record whose manual-reset event is signalled while the packet is free.
//
// Threads: created, set to a state and closed on the UI thread; WritePacket
// and Wait also on the device thread, for one packet at a time.
#pragma once

#include <memory>
#include <vector>

#include "devices/CKsIrpTarget.h"

class CKsFilter;

class CKsPin : public CKsIrpTarget {
public:
    CKsPin(CKsFilter* filter, ULONG id, ULONG dataFlow, ULONG communication);
    ~CKsPin() override;

    // (Re)allocates `packetCount` packets, each with its event, builds the
    // connect request (looped or standard streaming) and connects the pin
    // on its filter for read and write. False on failure (GetLastError).
    bool Create(int packetCount, bool looped);
    // 0 stop .. 3 run, on a connected pin only.
    bool SetState(KSSTATE state);
    // Hands packet `index` to the pin again. True when done or pending.
    // Audio thread: no allocation, no blocking.
    bool WritePacket(int index);
    // WAIT_OBJECT_0 once packet `index` is free again, WAIT_TIMEOUT.
    // Audio thread: no allocation; it waits only for the device.
    DWORD Wait(int index, DWORD timeoutMs);
    void WaitAll(DWORD timeoutMs);
    // Stops, waits for the packets (up to 2000 ms each), frees them and
    // closes the pin. Nothing on a pin that is not connected.
    void Close();

    CKsFilter* GetFilter() const { return m_filter; }
    ULONG GetId() const { return m_id; }
    ULONG GetDataFlow() const { return m_dataFlow; }
    ULONG GetCommunication() const { return m_communication; }
    KSSTATE GetState() const { return m_state; }
    // Audio thread: no allocation, no blocking (these two).
    ULONG GetPacketBytes() const { return m_packetBytes; }
    int GetPacketCount() const { return static_cast<int>(m_packets.size()); }
    BYTE* GetPacketBuffer(int index) const { return m_packets[index].buffer; }
    bool IsRender() const { return m_isRender; }

protected:
    struct Packet {
        BYTE* buffer = nullptr;      // the allocation plus the alignment offset
        BYTE* allocation = nullptr;
        std::size_t allocationBytes = 0;
        KSSTREAM_HEADER header{};
        OVERLAPPED overlapped{};
    };

    void FreePackets();
    static void ReleasePacketMemory(Packet& packet);
    // The connect request, its data format header and room for a
    // 40-byte wave format after it.
    KSPIN_CONNECT* Connect() { return reinterpret_cast<KSPIN_CONNECT*>(m_connect.data()); }
    KSDATAFORMAT* DataFormat() { return reinterpret_cast<KSDATAFORMAT*>(m_connect.data() + sizeof(KSPIN_CONNECT)); }
    WAVEFORMATEX* m_format;

    CKsFilter* const m_filter;
    const ULONG m_id;
    const ULONG m_dataFlow;
    const ULONG m_communication;
    bool m_isRender;
    KSSTATE m_state = KSSTATE_STOP;
    std::vector<BYTE> m_connect;
    ULONG m_packetBytes = 0;
    bool m_looped = false;
    std::vector<Packet> m_packets;
    ULONG m_alignment = 0;
};

inline constexpr std::size_t kKsWaveFormatRoom = 40;
