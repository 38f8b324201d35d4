// MIDI ports over JACK: the input ports are the MIDI outputs of the other
// clients of the server, the output ports their MIDI inputs, each named by
// its full JACK port name. Opening one registers a port of our own client
// and connects it. One client serves every open stream; its process
// callback reads the inputs (time-stamped by their frame, counted from the
// frame the stream started at) and writes what
// was queued for the outputs one period after it was sent, at the frame
// it was sent, so the spacing of messages survives the trip.
//
// The server is $MORVANE_JACK_SERVER when set, else the default one; the
// client is "morvane-midi" (JACK numbers a second one).
#pragma once

#include <array>
#include <atomic>
#include <jack/jack.h>
#include <mutex>

#include "platform/midi/MidiDeviceProvider.h"

namespace mvmidi {

class CJackMidiProvider : public IMidiDeviceProvider {
public:
    static constexpr std::size_t kMaxStreams = 64;

    CJackMidiProvider();
    ~CJackMidiProvider() override;
    CJackMidiProvider(const CJackMidiProvider&) = delete;
    CJackMidiProvider& operator=(const CJackMidiProvider&) = delete;

    bool IsConnected() const { return m_client != nullptr; }
    // Our client's name as the server knows it ("" when not connected).
    std::string ClientName() const;

    std::vector<MidiPortDescription> Inputs() override;
    std::vector<MidiPortDescription> Outputs() override;
    std::unique_ptr<IMidiInStream> OpenInput(UINT index, IMidiInReceiver* receiver) override;
    std::unique_ptr<IMidiOutStream> OpenOutput(UINT index) override;

    struct InSlot;
    struct OutSlot;

private:
    friend class CJackMidiIn;
    friend class CJackMidiOut;

    static int OnProcess(jack_nframes_t frames, void* self);
    static void OnShutdown(void* self);
    void Process(jack_nframes_t frames);
    std::vector<MidiPortDescription> Ports(unsigned long flags);
    // Waits until the process callback has run twice more, so a slot just
    // emptied is no longer read; returns at once when the server is gone.
    void WaitForCycles();
    template <class Slot>
    int TakeSlot(std::array<std::atomic<Slot*>, kMaxStreams>& slots, Slot* slot);

    jack_client_t* m_client = nullptr;
    std::mutex m_lock;  // slot allocation, port registration
    std::array<std::atomic<InSlot*>, kMaxStreams> m_in{};
    std::array<std::atomic<OutSlot*>, kMaxStreams> m_out{};
    std::atomic<std::uint64_t> m_cycles{0};
    std::atomic<bool> m_gone{false};
    unsigned m_serial = 0;
};

}  // namespace mvmidi
