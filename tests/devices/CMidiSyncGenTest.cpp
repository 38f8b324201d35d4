#include "devices/CMidiSyncGen.h"

#include <gtest/gtest.h>
#include <jack/midiport.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "devices/CMidiSyncGuard.h"
#include "devices/IMidiSyncDocument.h"
#include "platform/midi/CJackMidiProvider.h"
#include "tests/platform/midi/FakeMidiProvider.h"
#include "tests/platform/audio/JackTestSupport.h"

namespace {

using Bytes = std::vector<BYTE>;

class FakeSyncHost : public IMidiSyncHost {
public:
    LONG GetSyncNowTicks() override { return now.load(); }
    bool IsSyncPlaying() override { return playing.load(); }
    HRESULT ScheduleClockTick(IMidiClockTick* t, bool on) override
    {
        tick = on ? t : nullptr;
        return S_OK;
    }
    // The timer's tick, when the generator is scheduled.
    void Tick()
    {
        if (tick)
            tick->OnClockTick();
    }
    std::atomic<LONG> now{0};
    std::atomic<bool> playing{false};
    IMidiClockTick* tick = nullptr;
};

class FakeSyncDocument : public IMidiSyncDocument {
public:
    BOOL GetSendMidiSync() override { return send; }
    LONG GetTicksPerQuarter() override { return 960; }
    BOOL send = TRUE;
};

Bytes Clocks(int n) { return Bytes(static_cast<std::size_t>(n), 0xF8); }
Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The transport's side of play, stop and locate, as it drives the generator.
struct Transport {
    FakeSyncHost& host;
    CMidiSyncGen& gen;
    void Play()
    {
        host.playing = true;
        gen.SendPositionAndStart();
    }
    void Stop()
    {
        gen.SendStop();
        host.playing = false;
    }
    void Locate(LONG ticks)
    {
        host.now = ticks;
        gen.Relocate();
    }
};

class CMidiSyncGenTest : public ::testing::Test {
protected:
    void SetUp() override { fake().outputs = {{"Clock A", true}, {"Clock B", false}}; }
    mvtest::FakeMidiProvider& fake() { return *m_midi.provider; }
    Bytes Sent(UINT port = 0) { return fake().Sent(port); }

    mvtest::ScopedMidiProvider m_midi;
    FakeSyncHost host;
    FakeSyncDocument doc;
};

TEST_F(CMidiSyncGenTest, PlayFromZeroSendsPositionThenStartAndClocksAtTheTransportsRate)
{
    CMidiSyncGen gen(&host);
    ASSERT_EQ(gen.Restart(&doc), S_OK);
    EXPECT_TRUE(gen.IsRunning());
    EXPECT_TRUE(gen.IsPortOpen());
    Transport t{host, gen};
    t.Play();
    EXPECT_EQ(Sent(), (Bytes{0xF2, 0, 0, 0xFA}));
    host.now = 960;  // one quarter: 24 clocks
    host.Tick();
    host.now = 1000;  // 25.0 + 0.5 -> 25
    host.Tick();
    host.Tick();  // nothing new
    EXPECT_EQ(Sent(), (Bytes{0xF2, 0, 0, 0xFA} + Clocks(25)));
}

TEST_F(CMidiSyncGenTest, RelocateSendsTheRoundedPositionAndClocksGoOnUnrounded)
{
    CMidiSyncGen gen(&host);
    gen.Restart(&doc);
    Transport t{host, gen};
    t.Locate(1000);  // clock 25: Song Position 5 (clock 30 / 6)
    EXPECT_EQ(Sent(), (Bytes{0xF2, 5, 0}));
    EXPECT_EQ(gen.GetClockPosition(), 25);
    fake().ClearSent();
    host.playing = true;
    host.now = 1040;  // clock 26.5 -> 26
    host.Tick();
    EXPECT_EQ(Sent(), Clocks(1));
}

TEST_F(CMidiSyncGenTest, StopContinueAndRepeatsSuppressedButNeverTheClock)
{
    CMidiSyncGen gen(&host);
    gen.Restart(&doc);
    Transport t{host, gen};
    t.Locate(480);  // clock 12: Song Position 2
    t.Play();       // not at zero: the same position again is not sent; Continue
    host.now = 520;
    host.Tick();
    host.Tick();
    t.Stop();
    t.Stop();  // the second Stop is a repeat
    t.Play();
    EXPECT_EQ(Sent(), ((Bytes{0xF2, 2, 0, 0xFB}) + Clocks(1) + Bytes{0xFC, 0xF2, 2, 0, 0xFB}));
    // Position moved backwards: nothing until it passes the clock again.
    fake().ClearSent();
    host.now = 0;
    host.Tick();
    EXPECT_TRUE(Sent().empty());
    host.now = 560;  // clock 14.5 -> 14, from 13
    host.Tick();
    EXPECT_EQ(Sent(), Clocks(1));
}

TEST_F(CMidiSyncGenTest, StartNeverContinueAndNoSongPosition)
{
    CMidiSyncGen gen(&host);
    gen.SetStartNeverContinue(1);
    gen.SetSendSPP(0);
    gen.Restart(&doc);
    Transport t{host, gen};
    host.now = 480;
    t.Play();
    EXPECT_EQ(Sent(), Bytes{0xFA});
}

TEST_F(CMidiSyncGenTest, ChangingThePortWhilePlayingResendsTheStartSequenceOnTheNewOne)
{
    CMidiSyncGen gen(&host);
    host.now = 960;
    host.playing = true;
    gen.Restart(&doc);  // playing already: Stop, position, Continue
    EXPECT_EQ(Sent(0), (Bytes{0xFC, 0xF2, 4, 0, 0xFB}));
    EXPECT_EQ(gen.SetOutputPort(1), S_OK);
    EXPECT_EQ(fake().OpenOutputCount(), 1);
    EXPECT_EQ(Sent(1), (Bytes{0xFC, 0xF2, 4, 0, 0xFB}));
}

TEST_F(CMidiSyncGenTest, PortErrorsAndTheDocumentsSwitch)
{
    CMidiSyncGen gen(&host);
    EXPECT_EQ(gen.Start(), E_ACCESSDENIED);
    EXPECT_EQ(gen.SetOutputPort(2), E_INVALIDARG);
    EXPECT_FALSE(gen.IsPortOpen());
    doc.send = FALSE;
    EXPECT_EQ(gen.Restart(&doc), S_OK);
    EXPECT_FALSE(gen.IsRunning());
    EXPECT_EQ(gen.SendStop(), S_FALSE);
    EXPECT_EQ(gen.SendPositionAndStart(), S_FALSE);
    fake().refuse = {"Clock A"};
    EXPECT_EQ(gen.Start(), E_FAIL);
    EXPECT_FALSE(gen.IsRunning());
    EXPECT_EQ(host.tick, nullptr);
}

// A tick that comes after the port closed (the timer had collected it just
// before) finds the generator stopped and sends nothing.
TEST_F(CMidiSyncGenTest, ALateTickNeverSendsOnAClosedPort)
{
    CMidiSyncGen gen(&host);
    gen.Restart(&doc);
    IMidiClockTick* late = host.tick;
    ASSERT_NE(late, nullptr);
    host.now = 9600;
    gen.Stop();
    EXPECT_FALSE(gen.IsPortOpen());
    late->OnClockTick();
    EXPECT_TRUE(Sent().empty());
}

TEST_F(CMidiSyncGenTest, AGuardKeepsThePortAndRestartsQuietly)
{
    CMidiSyncGen gen(&host);
    gen.Restart(&doc);
    host.playing = true;
    {
        CMidiSyncGuard guard(&gen);
        EXPECT_FALSE(gen.IsRunning());
        EXPECT_TRUE(gen.IsPortOpen());
    }
    EXPECT_TRUE(gen.IsRunning());
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(CMidiSyncGuard::OpenCount(), 0);
}

// End to end on the JACK server: a second client reads the bytes the
// generator's port carries and the frame each arrived at.
class MidiReader {
public:
    struct Event {
        jack_nframes_t frame;
        Bytes bytes;
    };
    explicit MidiReader(const char* server)
    {
        jack_status_t status{};
        m_client = jack_client_open(fmt::format("mvtest-midireader-{}", getpid()).c_str(),
                                    static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, server);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, &MidiReader::Process, this);
        jack_set_xrun_callback(m_client, &MidiReader::Xrun, this);
        jack_activate(m_client);
    }
    ~MidiReader()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    bool IsOpen() const { return m_client && m_port; }
    // Cycles the server lost while the reader listened: what a sender wrote
    // in them never reached the reader.
    int Xruns() const { return m_xruns.load(); }
    std::string PortName() const { return jack_port_name(m_port); }
    jack_nframes_t Now() const { return jack_frame_time(m_client); }
    std::vector<Event> Events()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    // A new connection carries data once the server has re-ordered its graph,
    // which it does between cycles: connected, then a few whole cycles run.
    bool WaitUntilConnectionCarries()
    {
        if (!mvtest::WaitFor([&] { return jack_port_connected(m_port) > 0; }))
            return false;
        const int start = m_cycles.load();
        return mvtest::WaitFor([&] { return m_cycles.load() >= start + 3; });
    }
    Bytes AllBytes()
    {
        Bytes all;
        for (const auto& e : Events())
            all = all + e.bytes;
        return all;
    }

private:
    static int Xrun(void* self)
    {
        ++static_cast<MidiReader*>(self)->m_xruns;
        return 0;
    }
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* r = static_cast<MidiReader*>(self);
        ++r->m_cycles;
        void* buffer = jack_port_get_buffer(r->m_port, frames);
        const jack_nframes_t start = jack_last_frame_time(r->m_client);
        const jack_nframes_t n = jack_midi_get_event_count(buffer);
        if (n == 0)
            return 0;
        // The test's reader only: a lock here costs nothing that matters.
        std::lock_guard<std::mutex> lock(r->m_lock);
        for (jack_nframes_t i = 0; i < n; ++i) {
            jack_midi_event_t e{};
            if (jack_midi_event_get(&e, buffer, i) == 0)
                r->m_events.push_back({start + e.time, Bytes(e.buffer, e.buffer + e.size)});
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<int> m_cycles{0};
    std::atomic<int> m_xruns{0};
    std::mutex m_lock;
    std::vector<Event> m_events;
};

TEST(CMidiSyncGenJackTest, PlayRelocateStopContinueReachASecondClientByteForByte)
{
    const char* server = mvtest::SharedJackServer();
    if (!server)
        GTEST_SKIP() << "no JACK server for this run";
    MidiReader reader(server);
    ASSERT_TRUE(reader.IsOpen());
    auto jack = std::make_shared<mvmidi::CJackMidiProvider>();
    ASSERT_TRUE(jack->IsConnected());
    MidiSetDeviceProvider(jack);
    int port = -1;
    for (UINT i = 0; i < midiOutGetNumDevs(); ++i) {
        MIDIOUTCAPSA caps{};
        midiOutGetDevCapsA(i, &caps, sizeof caps);
        if (reader.PortName().compare(0, MAXPNAMELEN - 1, caps.szPname) == 0)
            port = static_cast<int>(i);
    }
    ASSERT_GE(port, 0);

    FakeSyncHost host;
    FakeSyncDocument doc;
    const Bytes expected =
        Bytes{0xF2, 0, 0, 0xFA} + Clocks(24) + Bytes{0xF2, 5, 0, 0xFC, 0xF2, 4, 0, 0xFB} + Clocks(1);
    {
        CMidiSyncGen gen(&host);
        ASSERT_EQ(gen.SetOutputPort(port), S_OK);
        ASSERT_EQ(gen.Restart(&doc), S_OK);  // opens and connects the port
        // What is sent before the server takes the connection into its graph
        // does not arrive.
        ASSERT_TRUE(reader.WaitUntilConnectionCarries());
        Transport t{host, gen};
        t.Play();
        // 24 clocks a quarter, sent a tick at a time 10 ms apart.
        for (LONG ticks = 80; ticks <= 960; ticks += 80) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            host.now = ticks;
            host.Tick();
        }
        t.Locate(1000);  // Song Position 5
        t.Stop();
        t.Stop();
        t.Play();  // Continue from 1000
        host.now = 1040;
        host.Tick();
        const bool all = mvtest::WaitFor([&] { return reader.AllBytes().size() >= expected.size(); },
                                         std::chrono::milliseconds(15000));
        if (!all && reader.Xruns() > 0)
            GTEST_SKIP() << "the server lost " << reader.Xruns()
                         << " cycles on this busy machine; the byte-exact stream needs them all";
        ASSERT_TRUE(all);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    MidiSetDeviceProvider(nullptr);

    // The second Stop repeats the first and is not sent; Continue carries
    // the position of the clock (25 / 6), not the rounded relocation's.
    EXPECT_EQ(reader.AllBytes(), expected);

    // Every message is its own event, in order, and the clocks of one tick
    // go out together at the frame they were sent, the ticks' 10 ms (480
    // frames at 48 kHz) apart. The frame of a send is the server's estimate
    // of the moment, which wanders on a loaded machine: on average the
    // ticks must stay at least half their spacing apart.
    const auto events = reader.Events();
    for (std::size_t i = 1; i < events.size(); ++i)
        EXPECT_GE(static_cast<std::int32_t>(events[i].frame - events[i - 1].frame), 0) << i;
    std::vector<jack_nframes_t> tickFrames;
    for (const auto& e : events)
        if (e.bytes == Bytes{0xF8} && (tickFrames.empty() || e.frame - tickFrames.back() > 100))
            tickFrames.push_back(e.frame);
    ASSERT_GE(tickFrames.size(), 10u);
    const double mean = static_cast<double>(tickFrames.back() - tickFrames.front()) / (tickFrames.size() - 1);
    EXPECT_GE(mean, 240.0);
}

}  // namespace
