#include "platform/midi/CJackMidiProvider.h"

#include <jack/midiport.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/sync/CSpscByteRing.h"

namespace mvmidi {

struct CJackMidiProvider::InSlot {
    jack_port_t* port = nullptr;
    IMidiInReceiver* receiver = nullptr;
    std::atomic<bool> running{false};
    std::atomic<jack_nframes_t> startFrame{0};
};

struct CJackMidiProvider::OutSlot {
    static constexpr std::size_t kQueueBytes = 1 << 15;
    jack_port_t* port = nullptr;
    CSpscByteRing queue{kQueueBytes};
};

namespace {

// One queued output message: the frame it was sent at, its length, then
// its bytes.
struct OutRecord {
    jack_nframes_t frame;
    std::uint32_t length;
};

}  // namespace

class CJackMidiIn : public IMidiInStream {
public:
    CJackMidiIn(CJackMidiProvider* owner, int index, CJackMidiProvider::InSlot* slot)
        : m_owner(owner), m_index(index), m_slot(slot)
    {
    }
    ~CJackMidiIn() override
    {
        m_slot->running = false;
        m_owner->m_in[static_cast<std::size_t>(m_index)].store(nullptr, std::memory_order_release);
        m_owner->WaitForCycles();
        std::lock_guard<std::mutex> lock(m_owner->m_lock);
        jack_port_unregister(m_owner->m_client, m_slot->port);
        delete m_slot;
    }
    bool Start() override
    {
        // The start of the cycle now running: no event read after this
        // comes from a frame before it.
        m_slot->startFrame = jack_last_frame_time(m_owner->m_client);
        m_slot->running = true;
        return true;
    }
    void Stop() override { m_slot->running = false; }

private:
    CJackMidiProvider* m_owner;
    int m_index;
    CJackMidiProvider::InSlot* m_slot;
};

class CJackMidiOut : public IMidiOutStream {
public:
    CJackMidiOut(CJackMidiProvider* owner, int index, CJackMidiProvider::OutSlot* slot)
        : m_owner(owner), m_index(index), m_slot(slot)
    {
    }
    ~CJackMidiOut() override
    {
        m_owner->m_out[static_cast<std::size_t>(m_index)].store(nullptr, std::memory_order_release);
        m_owner->WaitForCycles();
        std::lock_guard<std::mutex> lock(m_owner->m_lock);
        jack_port_unregister(m_owner->m_client, m_slot->port);
        delete m_slot;
    }
    bool Send(const BYTE* bytes, std::size_t length) override
    {
        if (m_owner->m_gone.load())
            return false;
        // One write, so the process callback never sees a record without
        // its bytes.
        char whole[sizeof(OutRecord) + CJackMidiProvider::OutSlot::kQueueBytes / 4];
        if (length == 0 || length > sizeof whole - sizeof(OutRecord))
            return false;
        const OutRecord record{jack_frame_time(m_owner->m_client), static_cast<std::uint32_t>(length)};
        std::memcpy(whole, &record, sizeof record);
        std::memcpy(whole + sizeof record, bytes, length);
        return m_slot->queue.Write(whole, sizeof record + length);
    }

private:
    CJackMidiProvider* m_owner;
    int m_index;
    CJackMidiProvider::OutSlot* m_slot;
};

CJackMidiProvider::CJackMidiProvider()
{
    const char* server = std::getenv("MORVANE_JACK_SERVER");
    const bool named = server && *server;
    jack_status_t status{};
    m_client = named ? jack_client_open("morvane-midi",
                                        static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                                        server)
                     : jack_client_open("morvane-midi", JackNoStartServer, &status);
    if (!m_client)
        return;
    jack_set_process_callback(m_client, &CJackMidiProvider::OnProcess, this);
    jack_on_shutdown(m_client, &CJackMidiProvider::OnShutdown, this);
    if (jack_activate(m_client) != 0) {
        jack_client_close(m_client);
        m_client = nullptr;
    }
}

CJackMidiProvider::~CJackMidiProvider()
{
    if (m_client)
        jack_client_close(m_client);
}

std::string CJackMidiProvider::ClientName() const { return m_client ? jack_get_client_name(m_client) : ""; }

int CJackMidiProvider::OnProcess(jack_nframes_t frames, void* self)
{
    static_cast<CJackMidiProvider*>(self)->Process(frames);
    return 0;
}

void CJackMidiProvider::OnShutdown(void* self) { static_cast<CJackMidiProvider*>(self)->m_gone = true; }

void CJackMidiProvider::Process(jack_nframes_t frames)
{
    const jack_nframes_t cycleStart = jack_last_frame_time(m_client);
    for (auto& s : m_in) {
        InSlot* slot = s.load(std::memory_order_acquire);
        if (!slot)
            continue;
        void* buffer = jack_port_get_buffer(slot->port, frames);
        if (!slot->running.load(std::memory_order_acquire))
            continue;
        const jack_nframes_t start = slot->startFrame.load(std::memory_order_relaxed);
        const double rate = jack_get_sample_rate(m_client);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
                continue;
            // Counted in frames, so the stamps keep the spacing the sender
            // gave, whatever the server's clock estimate does.
            const auto since = static_cast<std::int32_t>(cycleStart + event.time - start);
            const auto micros = since > 0 ? static_cast<std::uint64_t>(since * 1e6 / rate) : 0;
            slot->receiver->Post(event.buffer, event.size, micros);
        }
    }
    for (auto& s : m_out) {
        OutSlot* slot = s.load(std::memory_order_acquire);
        if (!slot)
            continue;
        void* buffer = jack_port_get_buffer(slot->port, frames);
        jack_midi_clear_buffer(buffer);
        jack_nframes_t last = 0;
        BYTE bytes[OutSlot::kQueueBytes / 4];
        OutRecord record{};
        while (slot->queue.Peek(&record, sizeof record)) {
            if (record.length > sizeof bytes || record.length > slot->queue.ReadSpace() - sizeof record) {
                // Cannot happen: Send writes whole records only. Drop
                // what is there rather than read a torn record.
                slot->queue.Skip(slot->queue.ReadSpace());
                break;
            }
            // One period after it was sent, at the frame it was sent; a
            // message sent while this cycle was already due goes first.
            const auto offset = static_cast<std::int64_t>(record.frame) + frames - cycleStart;
            jack_nframes_t at = offset < 0 ? 0 : offset >= frames ? frames - 1 : static_cast<jack_nframes_t>(offset);
            at = std::max(at, last);
            slot->queue.Skip(sizeof record);
            slot->queue.Read(bytes, record.length);
            if (jack_midi_event_write(buffer, at, bytes, record.length) == 0)
                last = at;
        }
    }
    m_cycles.fetch_add(1, std::memory_order_release);
}

void CJackMidiProvider::WaitForCycles()
{
    const std::uint64_t target = m_cycles.load(std::memory_order_acquire) + 2;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (m_cycles.load(std::memory_order_acquire) < target && !m_gone.load() &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

std::vector<MidiPortDescription> CJackMidiProvider::Ports(unsigned long flags)
{
    std::vector<MidiPortDescription> result;
    if (!m_client || m_gone.load())
        return result;
    const char** names = jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!names)
        return result;
    const std::string ours = ClientName() + ":";
    for (const char** n = names; *n; ++n) {
        if (std::strncmp(*n, ours.c_str(), ours.size()) == 0)
            continue;
        jack_port_t* port = jack_port_by_name(m_client, *n);
        result.push_back({*n, port && (jack_port_flags(port) & JackPortIsPhysical) != 0});
    }
    jack_free(names);
    return result;
}

std::vector<MidiPortDescription> CJackMidiProvider::Inputs() { return Ports(JackPortIsOutput); }

std::vector<MidiPortDescription> CJackMidiProvider::Outputs() { return Ports(JackPortIsInput); }

template <class Slot>
int CJackMidiProvider::TakeSlot(std::array<std::atomic<Slot*>, kMaxStreams>& slots, Slot* slot)
{
    for (std::size_t i = 0; i < slots.size(); ++i) {
        Slot* expected = nullptr;
        if (slots[i].compare_exchange_strong(expected, slot, std::memory_order_acq_rel))
            return static_cast<int>(i);
    }
    return -1;
}

std::unique_ptr<IMidiInStream> CJackMidiProvider::OpenInput(UINT index, IMidiInReceiver* receiver)
{
    const auto inputs = Inputs();
    if (index >= inputs.size() || !receiver)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    auto* slot = new InSlot;
    slot->receiver = receiver;
    slot->port = jack_port_register(m_client, ("in_" + std::to_string(++m_serial)).c_str(), JACK_DEFAULT_MIDI_TYPE,
                                    JackPortIsInput, 0);
    if (!slot->port) {
        delete slot;
        return nullptr;
    }
    if (jack_connect(m_client, inputs[index].name.c_str(), jack_port_name(slot->port)) != 0) {
        jack_port_unregister(m_client, slot->port);
        delete slot;
        return nullptr;
    }
    const int at = TakeSlot(m_in, slot);
    if (at < 0) {
        jack_port_unregister(m_client, slot->port);
        delete slot;
        return nullptr;
    }
    return std::make_unique<CJackMidiIn>(this, at, slot);
}

std::unique_ptr<IMidiOutStream> CJackMidiProvider::OpenOutput(UINT index)
{
    const auto outputs = Outputs();
    if (index >= outputs.size())
        return nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    auto* slot = new OutSlot;
    slot->port = jack_port_register(m_client, ("out_" + std::to_string(++m_serial)).c_str(),
                                    JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!slot->port || jack_connect(m_client, jack_port_name(slot->port), outputs[index].name.c_str()) != 0) {
        if (slot->port)
            jack_port_unregister(m_client, slot->port);
        delete slot;
        return nullptr;
    }
    const int at = TakeSlot(m_out, slot);
    if (at < 0) {
        jack_port_unregister(m_client, slot->port);
        delete slot;
        return nullptr;
    }
    return std::make_unique<CJackMidiOut>(this, at, slot);
}

}  // namespace mvmidi
