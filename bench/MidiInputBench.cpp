// Live MIDI input latency: one note from another JACK client's MIDI output
// through the JACK MIDI port, the port's MIDI input thread, the MIDI source
// and the input router (with 32 learned controllers registered) to the
// receiver that stands for the channels' live-input queues.
// - BM_NoteToChannelLatency: on a JACK server of its own (dummy driver,
//   48000 Hz, 64-frame period), the player writes a note at frame 0 of a
//   cycle; the receiver notes JACK's frame time when the note reaches it.
//   Counters: frames from the note to its arrival (mean and max) and the
//   share of notes that arrived before the next cycle began (the goal: the
//   next buffer renders every note), and notes lost in cycles the server
//   dropped on a loaded machine. Needs jackd on PATH.
#include <benchmark/benchmark.h>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "devices/CAppConfig.h"
#include "devices/CMidiInputRouter.h"
#include "devices/CMidiSource.h"
#include "devices/IMidiLearnedMsg.h"
#include "platform/midi/CJackMidiProvider.h"
#include "platform/midi/MidiApi.h"
#include "tests/platform/audio/JackTestSupport.h"

namespace {

constexpr int kPeriod = 64;

// A learned controller that never matches a note.
class LearnedController : public IMidiLearnedMsg {
public:
    explicit LearnedController(int number) : m_number(number) {}
    int GetKind() override { return 0; }
    WORD GetChannel() override { return kAnyChannel; }
    WORD GetKind1Number() override { return 0; }
    WORD GetNrpnNumber() override { return 0; }
    WORD GetRpnNumber() override { return 0; }
    WORD GetNoteNumber() override { return 0; }
    BOOL IsValueQualified() override { return FALSE; }
    LONG GetQualifyingValue() override { return 0; }
    DWORD GetLongPrefixLength() override { return 0; }
    DWORD GetLongPrefix(DWORD) override { return 0; }
    DWORD BuildShortMsg(int value, int) override { return 0xB0u | m_number << 8 | static_cast<DWORD>(value) << 16; }
    int GetShortMsgCount() override { return 1; }
    int Match(DWORD, DWORD m, int) override { return (m & 0xF0) == 0xB0 && ((m >> 8) & 127) == static_cast<DWORD>(m_number); }
    int MatchLong(DWORD, DWORD, const BYTE*, int) override { return 0; }
    int MatchNrpn(DWORD, DWORD, int, int, int, int) override { return 0; }

private:
    DWORD m_number;
};

// Writes one note at frame 0 of the next cycle when asked, and notes the
// frame it went out at.
class NotePlayer {
public:
    explicit NotePlayer(const char* server)
    {
        jack_status_t status{};
        m_client = jack_client_open("mvbench-noteplayer", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                    &status, server);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_client, &NotePlayer::Process, this);
        jack_activate(m_client);
    }
    ~NotePlayer()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    bool IsOpen() const { return m_client && m_port; }
    std::string PortName() const { return jack_port_name(m_port); }
    jack_client_t* Client() const { return m_client; }
    void Play() { m_request = true; }
    std::atomic<jack_nframes_t> sentAt{0};
    std::atomic<int> sent{0};

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* p = static_cast<NotePlayer*>(self);
        void* buffer = jack_port_get_buffer(p->m_port, frames);
        jack_midi_clear_buffer(buffer);
        if (p->m_request.exchange(false)) {
            const BYTE note[] = {0x90, 0x3C, 0x64};
            jack_midi_event_write(buffer, 0, note, sizeof note);
            p->sentAt = jack_last_frame_time(p->m_client);
            p->sent.fetch_add(1);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<bool> m_request{false};
};

class ChannelInput : public CMidiSink {
public:
    explicit ChannelInput(jack_client_t* clock) : m_clock(clock) {}
    int OnShortMsg(DWORD message, DWORD, int) override
    {
        if ((message & 0xF0) == 0x90) {
            arrivedAt = jack_frame_time(m_clock);
            arrived.fetch_add(1);
        }
        return 0;
    }
    std::atomic<jack_nframes_t> arrivedAt{0};
    std::atomic<int> arrived{0};

private:
    jack_client_t* m_clock;
};

void BM_NoteToChannelLatency(benchmark::State& state)
{
    mvtest::JackTestServer server(kPeriod);
    if (!server.IsUp()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    mvtest::ScopedEnv env("MORVANE_JACK_SERVER", server.Name().c_str());
    NotePlayer player(server.Name().c_str());
    auto jack = std::make_shared<mvmidi::CJackMidiProvider>();
    if (!player.IsOpen() || !jack->IsConnected()) {
        state.SkipWithError("no JACK clients");
        return;
    }
    MidiSetDeviceProvider(jack);
    CAppConfig config;
    int device = -1;
    const auto inputs = jack->Inputs();
    for (std::size_t i = 0; i < inputs.size(); ++i)
        if (inputs[i].name == player.PortName())
            device = static_cast<int>(i);
    {
        CMidiSource source;
        CMidiInputRouter router(nullptr);
        std::vector<std::unique_ptr<LearnedController>> learned;
        for (int c = 0; c < 32; ++c) {
            learned.push_back(std::make_unique<LearnedController>(c + 20));
            router.Register(learned.back().get());
        }
        ChannelInput channel(player.Client());
        source.AddPrioritySink(&router);
        source.AddSink(&channel);
        if (device < 0 || source.OpenPort(static_cast<UINT>(device)) != S_OK) {
            state.SkipWithError("the player's port did not open");
        } else {
            double total = 0, worst = 0;
            int notes = 0, inNextBuffer = 0, lost = 0;
            for (auto _ : state) {
                const int before = channel.arrived.load();
                player.Play();
                if (!mvtest::WaitFor([&] { return channel.arrived.load() > before; },
                                     std::chrono::milliseconds(200))) {
                    ++lost;  // a cycle the loaded server dropped
                    continue;
                }
                const double frames =
                    static_cast<double>(static_cast<std::int32_t>(channel.arrivedAt.load() - player.sentAt.load()));
                total += frames;
                worst = std::max(worst, frames);
                inNextBuffer += frames < kPeriod ? 1 : 0;
                ++notes;
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            if (notes) {
                state.counters["frames_mean"] = total / notes;
                state.counters["frames_max"] = worst;
                state.counters["next_buffer_share"] = static_cast<double>(inNextBuffer) / notes;
                state.counters["lost"] = lost;
            }
        }
        source.RemoveSink(&channel);
        source.RemovePrioritySink(&router);
        for (auto& l : learned)
            router.Unregister(l.get());
    }
    MidiSetDeviceProvider(nullptr);
}
BENCHMARK(BM_NoteToChannelLatency)->Iterations(500)->Unit(benchmark::kMillisecond);

}  // namespace
