// The MIDI source: owns the open MIDI input ports and delivers every
// incoming short message to its receivers, the priority ones first (any of
// them may consume it; all of them see it), then, when none consumed it,
// the normal ones. Active sensing is dropped at the port. The port choice
// is saved by name and reopened by name, so ports follow their devices when
// the system numbers them differently. In ReWire-device mode one more,
// virtual port comes last: the ReWire device injects its messages there.
//
// Threads: ports, receivers and names belong to the UI thread. Delivery
// runs on each port's MIDI input thread (and the ReWire worker) and takes
// no lock: it walks an immutable snapshot of the receiver sets that the UI
// thread swaps atomically; the UI thread frees the snapshot it replaced
// once no delivery can still be walking it, so a receiver removed here is
// never called after the removal returned.
#pragma once

#include <atomic>
#include <set>
#include <vector>

#include "devices/CMidiSink.h"
#include "devices/IMidiSource.h"
#include "platform/midi/MidiApi.h"
#include "platform/win/CString.h"

class CMidiSource : public IMidiSource {
public:
    // Ports beyond this many are refused: the input router keeps its
    // parameter state per port and channel in tables of this size.
    static constexpr int kMaxPorts = 64;

    struct PortRecord {
        UINT deviceId = 0;
        HMIDIIN handle = nullptr;  // null for the virtual port
        CMidiSource* source = nullptr;
        int portIndex = 0;
    };

    CMidiSource();
    // Saves the port choice, closes the ports.
    ~CMidiSource() override;
    CMidiSource(const CMidiSource&) = delete;
    CMidiSource& operator=(const CMidiSource&) = delete;

    // Reopens the saved ports by name; E_UNEXPECTED when a saved name
    // matches no device (the others still open). In ReWire-device mode the
    // virtual port is added last.
    HRESULT Init() override;
    // E_FAIL when the port does not open or start, or when kMaxPorts are
    // open already.
    HRESULT OpenPort(UINT deviceId);
    HRESULT CloseAllPorts();

    HRESULT GetDeviceCount(UINT* count);
    HRESULT GetDeviceName(UINT deviceId, CString* name);
    bool IsDeviceOpen(UINT deviceId);
    int GetOpenPortCount();
    bool IsVirtualPortIndex(int index);
    UINT GetPortDeviceId(int index);
    PortRecord* GetRewirePort();
    // "Port %d (%s)", cut to `length` - 1 bytes and always terminated.
    HRESULT GetPortName(int index, char* buffer, int length);

    HRESULT AddSink(CMidiSink* sink) override;
    HRESULT AddPrioritySink(CMidiSink* sink) override;
    HRESULT RemoveSink(CMidiSink* sink) override;
    HRESULT RemovePrioritySink(CMidiSink* sink) override;

    // The one entry of every incoming message (the ports' callback, the
    // ReWire device). On the delivering thread: no lock, no allocation.
    void Deliver(PortRecord* port, DWORD message, DWORD time);

    HRESULT GetOutputDeviceCount(UINT* count);
    HRESULT GetOutputDeviceName(UINT deviceId, CString* name, BOOL* isHardwarePort);

    // The process-wide switch of MIDI input: while off, the ports drop
    // everything. On at construction.
    static void SetInputEnabled(bool on);
    static bool IsInputEnabled();

private:
    struct Receivers {
        std::vector<CMidiSink*> priority;
        std::vector<CMidiSink*> normal;
    };

    static void MidiInCallback(HMIDIIN handle, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                               DWORD_PTR param2);
    // Publishes the sets as a new snapshot and frees the old one once no
    // delivery walks it.
    void Publish();
    void SavePorts();

    std::set<CMidiSink*> m_priority;
    std::set<CMidiSink*> m_normal;
    std::vector<PortRecord*> m_ports;
    std::atomic<Receivers*> m_receivers;
    std::atomic<int> m_delivering{0};
};
