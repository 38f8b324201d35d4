// Recording over JACK, end to end: another client plays notes from its MIDI
// output; the MIDI source hears them through the JACK MIDI ports and hands
// them to the recorder, while the ASIO back-end on the JACK driver runs the
// engine's per-buffer entry on JACK's process thread, moving the song on
// and wrapping the pattern take as the engine owner does. The pattern the
// take made holds the notes played.
//
// The engine here is the per-buffer part of the engine owner that the
// recorder meets (the song position and the pattern-end call), the way the
// back-ends' own JACK tests run their engine.
#include <gtest/gtest.h>
#include <jack/midiport.h>

#include <atomic>
#include <memory>

#include "devices/CAppConfig.h"
#include "devices/CAsioDevice.h"
#include "devices/CMidiSource.h"
#include "devices/IEngineOwner.h"
#include "engine/hosting/CRecBuffer.h"
#include "platform/audio/CJackAsioDriver.h"
#include "platform/midi/CJackMidiProvider.h"
#include "platform/midi/MidiApi.h"
#include "tests/engine/hosting/RecorderFixture.h"
#include "tests/platform/audio/JackTestSupport.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace rectest;
using namespace std::chrono_literals;

// A client whose MIDI output plays, one per cycle when asked, the short
// messages queued for it.
class KeyboardClient {
public:
    explicit KeyboardClient(const char* server)
    {
        jack_status_t status{};
        m_client = jack_client_open(fmt::format("mvtest-keys-{}", getpid()).c_str(),
                                    static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, server);
        if (m_client == nullptr)
            return;
        m_out = jack_port_register(m_client, "keys", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_client, &KeyboardClient::OnCycle, this);
        jack_activate(m_client);
    }
    ~KeyboardClient()
    {
        if (m_client != nullptr)
            jack_client_close(m_client);
    }
    bool IsOpen() const { return m_client != nullptr && m_out != nullptr; }
    std::string PortName() const { return jack_port_name(m_out); }
    // Sent in the next cycle.
    void Send(DWORD message) { m_pending = message | 0x80000000u; }
    bool Sent() const { return m_pending.load() == 0; }

private:
    static int OnCycle(jack_nframes_t frames, void* self)
    {
        auto* k = static_cast<KeyboardClient*>(self);
        void* buffer = jack_port_get_buffer(k->m_out, frames);
        jack_midi_clear_buffer(buffer);
        const DWORD m = k->m_pending.exchange(0);
        if (m != 0) {
            const jack_midi_data_t bytes[] = {static_cast<jack_midi_data_t>(m & 0xFF),
                                              static_cast<jack_midi_data_t>(m >> 8 & 0x7F),
                                              static_cast<jack_midi_data_t>(m >> 16 & 0x7F)};
            jack_midi_event_write(buffer, 0, bytes, sizeof bytes);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_out = nullptr;
    std::atomic<DWORD> m_pending{0};
};

// The engine owner as the recorder and the back-end meet it: every buffer
// moves the song on (120 beats a minute) and tells the recorder where the
// buffer starts, as the per-buffer entry does while playing. The song
// position goes to the document's view of the engine.
class JackEngine final : public IEngineOwner {
public:
    explicit JackEngine(songdoctest::FakeEngine& song) : m_song(song) {}
    HRESULT ProcessBuffer(void* out, void*, UINT outBytes, LONG frames) override
    {
        std::memset(out, 0, outBytes);
        if (frames < 0)
            frames = static_cast<LONG>(outBytes / 8);
        if (CRecorder* r = recorder.load())
            r->WrapAtPatternEnd(m_song.now.load());
        m_samples += frames;
        m_song.now = static_cast<LONG>(m_samples * 1920 / rate);
        ++buffers;
        return S_OK;
    }
    HRESULT RequestAudioReset() override { return S_OK; }

    std::atomic<CRecorder*> recorder{nullptr};
    std::atomic<int> buffers{0};
    int rate = 48000;

private:
    songdoctest::FakeEngine& m_song;
    LONGLONG m_samples = 0;
};

class RecorderJackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server = mvtest::SharedJackServer();
        if (m_server == nullptr)
            GTEST_SKIP() << "no JACK server (MORVANE_JACK_SERVER)";
        CAsioDevice::DeleteDriverList();
        CAppConfig::SetAsioOutput("");
        CAppConfig::SetAsioInput("");
        ASSERT_EQ(S_OK, CJackAsioDriver::Register());
        CUndoHistory::Instance().Clear();
    }
    void TearDown() override
    {
        if (m_server == nullptr)
            return;
        CAsioDevice::DeleteDriverList();
        CJackAsioDriver::Unregister();
        CUndoHistory::Instance().Clear();
    }

    const char* m_server = nullptr;
    mvtest::TempRegistry m_registry;
    mvtest::ScopedEnv m_clientName{"MORVANE_JACK_CLIENT", mvtest::DriverClientName().c_str()};
};

TEST_F(RecorderJackTest, NotesPlayedIntoAJackPortWhileTheEngineRunsLandInTheTakesPattern)
{
    KeyboardClient keys(m_server);
    ASSERT_TRUE(keys.IsOpen());
    auto jackMidi = std::make_shared<mvmidi::CJackMidiProvider>();
    ASSERT_TRUE(jackMidi->IsConnected());
    MidiSetDeviceProvider(jackMidi);

    songdoctest::FakeEngine song;
    JackEngine engine(song);
    CMidiDoc* doc = nullptr;
    ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&song, &doc));
    CRecorder recorder;
    ASSERT_EQ(S_OK, recorder.SetDocument(doc));
    ASSERT_EQ(S_OK, doc->InsertChannel(0, FALSE, &CLSID_NoSynth, "", nullptr));
    ASSERT_EQ(S_OK, doc->SetActiveContainer(doc->GetChannelIdAt(0), TRUE, nullptr));

    CMidiSource source;
    UINT count = 0;
    ASSERT_EQ(S_OK, source.GetDeviceCount(&count));
    UINT device = count;
    for (UINT i = 0; i < count; ++i) {
        CString name;
        if (SUCCEEDED(source.GetDeviceName(i, &name)) && keys.PortName() == name.GetString())
            device = i;
    }
    ASSERT_LT(device, count) << "the keyboard's port is an input";
    ASSERT_EQ(S_OK, source.OpenPort(device));
    ASSERT_EQ(S_OK, source.AddSink(recorder.GetMidiSink()));

    CAsioDevice asio(&engine);
    IAudioDevice& audio = asio;
    ASSERT_EQ(S_OK, audio.Open());
    ASSERT_EQ(S_OK, audio.Set24BitMode(1));
    {
        mvtest::JackProbe probe(m_server, 0, 0);
        ASSERT_TRUE(probe.IsOpen());
        engine.rate = static_cast<int>(jack_get_sample_rate(probe.Client()));
        ASSERT_EQ(S_OK, audio.SetFormat(engine.rate, 24, static_cast<int>(jack_get_buffer_size(probe.Client()))));
    }
    engine.recorder = &recorder;
    ASSERT_EQ(S_OK, audio.Start());
    ASSERT_TRUE(mvtest::WaitFor([&] { return engine.buffers.load() > 4; }));

    // Recording: the record button of the pattern editor with the song
    // playing and the transport in record mode.
    song.recordMode = 1;
    RecordButton button(recorder, song);
    ASSERT_EQ(S_OK, button.Press());
    const SHORT id = doc->GetActivePatternIdRaw();
    CRecBuffer* take = nullptr;
    ASSERT_EQ(S_OK, recorder.FindRecordTarget(id, &take));
    // What the take holds so far, written or not: a pass that ended moved
    // its events into the pattern. Drained as the main window's timer does.
    auto heard = [&] {
        recorder.FetchNewEventsFlag();
        CPattern* real = nullptr;
        doc->GetPattern(id, &real);
        return take->GetTakePattern()->GetEvents().size() + (real != nullptr ? real->GetEvents().size() : 0);
    };
    // Plays a message until the take has heard it (a controller may then
    // have been heard more than once).
    auto play = [&](DWORD message) {
        const std::size_t before = heard();
        return mvtest::WaitFor([&] {
            if (keys.Sent())
                keys.Send(message);
            std::this_thread::sleep_for(20ms);
            return heard() > before;
        });
    };
    auto hold = [&](std::chrono::milliseconds span) {
        ASSERT_TRUE(mvtest::WaitFor([&] { return keys.Sent(); }));
        std::this_thread::sleep_for(span);
    };
    // A new connection takes effect once the server has re-ordered its
    // graph; until then what the keyboard plays may not arrive: a controller
    // is played until it is heard before the notes start.
    ASSERT_TRUE(play(Controller(1, 10)));
    keys.Send(NoteOn(60, 100));
    hold(150ms);
    ASSERT_TRUE(play(Controller(1, 99)));
    hold(150ms);
    ASSERT_TRUE(play(NoteOff(60)));
    keys.Send(NoteOn(64, 70));
    hold(200ms);
    ASSERT_TRUE(play(NoteOff(64)));
    ASSERT_EQ(S_OK, button.Press());

    EXPECT_EQ(S_OK, audio.Stop());
    engine.recorder = nullptr;
    EXPECT_EQ(S_OK, source.RemoveSink(recorder.GetMidiSink()));
    EXPECT_EQ(S_OK, source.CloseAllPorts());
    MidiSetDeviceProvider(nullptr);

    CPattern* made = nullptr;
    ASSERT_EQ(S_OK, doc->GetPattern(id, &made));
    const std::vector<Heard> notes = NotesOf(made);
    ASSERT_EQ(2u, notes.size());
    // Song time runs at 1920 ticks a second: a note held some 300 ms lasts
    // some 600 ticks (a loaded machine may stretch the wait, never shorten
    // it), and the second note comes after the first.
    const auto& first = notes[0].key == 60 ? notes[0] : notes[1];
    const auto& second = notes[0].key == 60 ? notes[1] : notes[0];
    EXPECT_EQ(60, first.key);
    EXPECT_EQ(100, first.velocity);
    EXPECT_GE(first.duration, 400);
    EXPECT_EQ(64, second.key);
    EXPECT_EQ(70, second.velocity);
    EXPECT_GE(second.duration, 250);
    EXPECT_LT(first.time, 7680);
    EXPECT_LT(second.time, 7680);
    EXPECT_GE(made->GetEvents().size(), 4u) << "the controllers too";
    EXPECT_EQ(1, [] {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }());

    recorder.SetDocument(nullptr);
    CMidiDoc::DestroyMidiDoc(doc);
}

}  // namespace
