#include "platform/midi/CJackMidiProvider.h"

#include <gtest/gtest.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <mutex>

#include "platform/midi/MidiApi.h"
#include "tests/platform/audio/JackTestSupport.h"

namespace {

using Bytes = std::vector<BYTE>;

// A second client whose MIDI output plays what the test queued, one
// message a cycle at frame 0.
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
        m_queue = jack_ringbuffer_create(4096);
        jack_set_process_callback(m_client, &MidiPlayer::Process, this);
        jack_activate(m_client);
    }
    ~MidiPlayer()
    {
        if (m_client)
            jack_client_close(m_client);
        if (m_queue)
            jack_ringbuffer_free(m_queue);
    }
    bool IsOpen() const { return m_client && m_port; }
    std::string PortName() const { return jack_port_name(m_port); }
    void Queue(Bytes bytes)
    {
        const BYTE n = static_cast<BYTE>(bytes.size());
        Bytes record{n};
        record.insert(record.end(), bytes.begin(), bytes.end());
        jack_ringbuffer_write(m_queue, reinterpret_cast<const char*>(record.data()), record.size());
    }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* p = static_cast<MidiPlayer*>(self);
        void* buffer = jack_port_get_buffer(p->m_port, frames);
        jack_midi_clear_buffer(buffer);
        BYTE n = 0;
        if (jack_ringbuffer_peek(p->m_queue, reinterpret_cast<char*>(&n), 1) == 1 &&
            jack_ringbuffer_read_space(p->m_queue) >= 1u + n) {
            BYTE bytes[256];
            jack_ringbuffer_read_advance(p->m_queue, 1);
            jack_ringbuffer_read(p->m_queue, reinterpret_cast<char*>(bytes), n);
            jack_midi_event_write(buffer, 0, bytes, n);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    jack_ringbuffer_t* m_queue = nullptr;
};

struct Inbox {
    std::mutex lock;
    std::vector<std::pair<DWORD, DWORD>> got;  // message, ms
    std::size_t Count()
    {
        std::lock_guard<std::mutex> l(lock);
        return got.size();
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
    player.Queue({0x90, 0x3C, 0x64});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    player.Queue({0x80, 0x3C, 0x00});
    const bool both = mvtest::WaitFor([&] { return inbox.Count() == 2; });
    EXPECT_EQ(midiInClose(handle), MMSYSERR_NOERROR);
    MidiSetDeviceProvider(nullptr);
    ASSERT_TRUE(both);
    EXPECT_EQ(inbox.got[0].first, 0x643C90u);
    EXPECT_EQ(inbox.got[1].first, 0x003C80u);
    // The time stamps are the frames' times since start, in milliseconds.
    const DWORD apart = inbox.got[1].second - inbox.got[0].second;
    EXPECT_GE(apart, 90u);
    EXPECT_LE(apart, 400u);
}

}  // namespace
