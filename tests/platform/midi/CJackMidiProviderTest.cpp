#include "platform/midi/CJackMidiProvider.h"

#include <gtest/gtest.h>
#include <jack/midiport.h>

#include <atomic>
#include <mutex>

#include "platform/midi/MidiApi.h"
#include "tests/platform/audio/JackTestSupport.h"

namespace {

using Bytes = std::vector<BYTE>;

// A second client whose MIDI output plays a note-on at frame 0 and its
// note-off at the cycle's last frame of one cycle, when asked.
class MidiPlayer {
public:
    explicit MidiPlayer(const char* server)
    {
        jack_status_t status{};
        m_client = jack_client_open(fmt::format("mvtest-midiplayer-{}", getpid()).c_str(),
                                    static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, server);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_client, &MidiPlayer::Process, this);
        jack_activate(m_client);
    }
    ~MidiPlayer()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    bool IsOpen() const { return m_client && m_port; }
    std::string PortName() const { return jack_port_name(m_port); }
    void PlayNote() { m_request = true; }
    jack_nframes_t Period() const { return jack_get_buffer_size(m_client); }
    jack_nframes_t Rate() const { return jack_get_sample_rate(m_client); }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* p = static_cast<MidiPlayer*>(self);
        void* buffer = jack_port_get_buffer(p->m_port, frames);
        jack_midi_clear_buffer(buffer);
        if (p->m_request.exchange(false)) {
            const BYTE on[] = {0x90, 0x3C, 0x64};
            const BYTE off[] = {0x80, 0x3C, 0x00};
            jack_midi_event_write(buffer, 0, on, sizeof on);
            jack_midi_event_write(buffer, frames - 1, off, sizeof off);
        }
        return 0;
    }

    std::atomic<bool> m_request{false};
    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
};

struct Inbox {
    std::mutex lock;
    std::vector<std::pair<DWORD, DWORD>> got;  // message, ms
    std::size_t Count()
    {
        std::lock_guard<std::mutex> l(lock);
        return got.size();
    }
    // The first note-on followed at once by its note-off.
    bool FindNote(std::size_t* at)
    {
        std::lock_guard<std::mutex> l(lock);
        for (std::size_t i = 0; i + 1 < got.size(); ++i)
            if (got[i].first == 0x643C90u && got[i + 1].first == 0x003C80u) {
                *at = i;
                return true;
            }
        return false;
    }
};

void Proc(HMIDIIN, UINT kind, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2)
{
    if (kind != MIM_DATA)
        return;
    auto* inbox = reinterpret_cast<Inbox*>(instance);
    std::lock_guard<std::mutex> l(inbox->lock);
    inbox->got.emplace_back(static_cast<DWORD>(p1), static_cast<DWORD>(p2));
}

TEST(CJackMidiProviderTest, AnotherClientsMidiOutputIsAnInputPortByName)
{
    const char* server = mvtest::SharedJackServer();
    if (!server)
        GTEST_SKIP() << "no JACK server for this run";
    MidiPlayer player(server);
    ASSERT_TRUE(player.IsOpen());
    auto jack = std::make_shared<mvmidi::CJackMidiProvider>();
    ASSERT_TRUE(jack->IsConnected());
    MidiSetDeviceProvider(jack);
    int device = -1;
    const auto inputs = jack->Inputs();
    for (std::size_t i = 0; i < inputs.size(); ++i)
        if (inputs[i].name == player.PortName())
            device = static_cast<int>(i);
    ASSERT_GE(device, 0);
    for (const auto& o : jack->Outputs())
        EXPECT_NE(o.name.rfind(jack->ClientName() + ":", 0), 0u) << "our own ports are not listed";

    Inbox inbox;
    HMIDIIN handle = nullptr;
    ASSERT_EQ(midiInOpen(&handle, static_cast<UINT>(device), reinterpret_cast<DWORD_PTR>(&Proc),
                         reinterpret_cast<DWORD_PTR>(&inbox), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    ASSERT_EQ(midiInStart(handle), MMSYSERR_NOERROR);
    // A new connection takes effect once the server has re-ordered its
    // graph: until then the two clients may run side by side and a note
    // may arrive cut or not at all, so play until one arrives whole (both
    // events of a note travel in one cycle).
    std::size_t at = 0;
    const bool whole = mvtest::WaitFor([&] {
        if (inbox.FindNote(&at))
            return true;
        player.PlayNote();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return inbox.FindNote(&at);
    });
    EXPECT_EQ(midiInClose(handle), MMSYSERR_NOERROR);
    MidiSetDeviceProvider(nullptr);
    ASSERT_TRUE(whole) << inbox.Count() << " messages, none a whole note";
    // The time stamps are the frames' times since start, in milliseconds:
    // the two are a period less one frame apart.
    const double expected = (player.Period() - 1) * 1000.0 / player.Rate();
    const double apart = static_cast<double>(inbox.got[at + 1].second) - inbox.got[at].second;
    EXPECT_NEAR(apart, expected, 1.0);
}

}  // namespace
