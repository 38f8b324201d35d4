#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

#include "BareSynth.h"
#include "FakeHost.h"
#include "model/Mfx.h"
#include "platform/sync/ThreadAffinity.h"
#include "plugins/synthframework/CSoftSynth.h"

namespace {

using mvsynth::DXiEvent;
using mvtest::FakeEventQueue;
using mvtest::FakeHost;
using mvtest::FakeMidiQueue;

// An engine that remembers the notes it was offered and answers as told.
class RecordingEngine : public mvsynth::CDXi {
public:
    HRESULT OnNoteStart(const DXiEvent& e) override
    {
        started.push_back(e);
        return noteStartAnswer;
    }
    HRESULT UpdateNote(const DXiEvent& e, bool flush) override
    {
        if (flush)
            ++flushed;
        return CDXi::UpdateNote(e, flush);
    }
    std::vector<DXiEvent> started;
    HRESULT noteStartAnswer = S_OK;
    int flushed = 0;
};

using mvtest::BareSynth;

struct SoftSynth : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(S_OK, hr);
        ASSERT_EQ(S_OK, synth.Connect(host.Handed()));
        ASSERT_EQ(S_OK, synth.Start(0));
    }
    // Renders one slice the way the filter does.
    void Slice(DWORD frames)
    {
        ASSERT_EQ(S_OK, synth.PrepareSlice(frames));
        synth.AdvanceRendered(frames);
        ASSERT_EQ(S_OK, synth.DispatchActive(false));
    }
    std::vector<DXiEvent> ActiveNotes() const
    {
        std::vector<DXiEvent> notes;
        for (const DXiEvent& e : synth.ActiveEvents())
            if (e.kind == mvsynth::kMfxNote)
                notes.push_back(e);
        return notes;
    }
    void Notify(DWORD type, DWORD source, BYTE value, BYTE mask = 0xFF)
    {
        const mvsynth::MFX_NOTIFY_MSG m{type, source, value, mask};
        ASSERT_EQ(S_OK, synth.OnNotify(&m));
    }

    FakeHost host;
    RecordingEngine engine;
    HRESULT hr = S_OK;
    BareSynth synth{&engine, &hr};
};

// At 120 BPM and 44.1 kHz a quarter note (960 ticks) is 22050 samples.
TEST_F(SoftSynth, QueuedNotesFallDueInTheSliceThatHoldsTheirSample)
{
    FakeEventQueue q;
    q.AddNote(960, 2, 60, 100, mvsynth::kMfxHeldNote);
    ASSERT_EQ(S_OK, synth.SendEvents(0, 0, 7, &q));
    EXPECT_EQ(1u, synth.PendingCount());
    Slice(22050);
    EXPECT_TRUE(engine.started.empty()) << "its sample is the first of the next slice";
    Slice(64);
    ASSERT_EQ(1u, engine.started.size());
    EXPECT_EQ(22050, engine.started[0].sampleTime);
    EXPECT_EQ(7u, engine.started[0].source);
    EXPECT_EQ(mvsynth::kDXiFromQueue, engine.started[0].origin);
    EXPECT_EQ(1u, ActiveNotes().size());
}

TEST_F(SoftSynth, EventTimesCountFromTheStartAndFollowTheLoop)
{
    ASSERT_EQ(S_OK, synth.Start(960));
    FakeEventQueue q;
    q.AddNote(1920, 0, 60, 100, mvsynth::kMfxHeldNote);
    ASSERT_EQ(S_OK, synth.AdvanceTime(3840, 0));  // the loop went back a bar
    ASSERT_EQ(S_OK, synth.SendEvents(0, 0, 1, &q));
    Slice(1);
    ASSERT_EQ(1u, engine.started.size()) << "1920 - 960 - 3840 ticks: long past";
    EXPECT_EQ(0, engine.started[0].sampleTime) << "a late event plays at the slice's start";
}

TEST_F(SoftSynth, ALateEventPlaysAtOnceInsteadOfWaitingForever)
{
    Slice(1000);
    FakeEventQueue q;
    q.AddNote(0, 0, 64, 90, mvsynth::kMfxHeldNote);  // sample 0: already rendered
    ASSERT_EQ(S_OK, synth.SendEvents(0, 0, 1, &q));
    Slice(64);
    EXPECT_EQ(0u, synth.PendingCount());
    ASSERT_EQ(1u, engine.started.size());
    EXPECT_EQ(1000, engine.started[0].sampleTime);
}

TEST_F(SoftSynth, SourceSettingsShapeNotesOnTheirWay)
{
    struct Case {
        const char* name;
        std::vector<std::pair<DWORD, BYTE>> notices;  // type, value
        BYTE key, velocity, channel;
        BYTE playedKey, playedVelocity, playedChannel;
    } cases[] = {
        {"nothing set", {}, 60, 100, 2, 60, 100, 2},
        {"key offsets clamp at the top", {{4, 6}, {5, 6}}, 120, 100, 0, 127, 100, 0},
        {"key offsets clamp at the bottom", {{4, BYTE(-10)}}, 5, 100, 0, 0, 100, 0},
        {"velocity offsets clamp at zero", {{2, BYTE(-10)}, {3, 0}}, 60, 5, 0, 60, 0, 0},
        {"velocity offsets add", {{2, 10}, {3, 7}}, 60, 100, 0, 60, 117, 0},
        {"channel override takes the low four bits", {{0, 0x13}}, 60, 100, 9, 60, 100, 3},
        {"override 255 leaves the channel", {{0, 255}}, 60, 100, 9, 60, 100, 9},
    };
    DWORD source = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++source;
        for (auto [type, value] : c.notices)
            Notify(type, source, value);
        FakeEventQueue q;
        q.AddNote(0, c.channel, c.key, c.velocity, mvsynth::kMfxHeldNote);
        engine.started.clear();
        ASSERT_EQ(S_OK, synth.Start(0));
        ASSERT_EQ(S_OK, synth.SendEvents(0, 0, source, &q));
        Slice(64);
        ASSERT_EQ(1u, engine.started.size());
        EXPECT_EQ(c.playedKey, engine.started[0].Key());
        EXPECT_EQ(c.playedVelocity, engine.started[0].Velocity());
        EXPECT_EQ(c.playedChannel, engine.started[0].channel);
    }
}

TEST_F(SoftSynth, AMutedSourceDropsNotesButNotControllers)
{
    Notify(1, 5, 1);  // muted
    FakeEventQueue q;
    q.AddNote(0, 0, 60, 100, mvsynth::kMfxHeldNote);
    FakeMidiQueue midi;
    midi.Message(0, 0x90, 62, 100);
    midi.Message(0, 0xB0, 7, 90);
    ASSERT_EQ(S_OK, synth.SendEvents(0, 0, 5, &q));
    ASSERT_EQ(S_OK, synth.SendMidi(5, &midi));
    ASSERT_EQ(S_OK, synth.PrepareSlice(64));
    EXPECT_TRUE(engine.started.empty());
    ASSERT_EQ(1u, synth.ActiveEvents().size());
    EXPECT_EQ(mvsynth::kMfxController, DWORD(synth.ActiveEvents()[0].kind));

    // Flag 8 lets raw MIDI notes through, never the queue's.
    Notify(1, 5, 8, 8);
    ASSERT_EQ(S_OK, synth.Start(0));
    ASSERT_EQ(S_OK, synth.SendEvents(0, 0, 5, &q));
    ASSERT_EQ(S_OK, synth.SendMidi(5, &midi));
    Slice(64);
    ASSERT_EQ(1u, engine.started.size());
    EXPECT_EQ(62, engine.started[0].Key());
}

TEST_F(SoftSynth, FlagsChangeThroughTheMaskOnly)
{
    Notify(1, 9, 0x03);
    Notify(1, 9, 0x00, 0x01);  // clears bit 1 only: still muted by bit 2
    FakeEventQueue q;
    q.AddNote(0, 0, 60, 100, mvsynth::kMfxHeldNote);
    ASSERT_EQ(S_OK, synth.SendEvents(0, 0, 9, &q));
    Slice(64);
    EXPECT_TRUE(engine.started.empty());
}

TEST_F(SoftSynth, OneNoteOffEndsOneHeldNoteOfItsKey)
{
    FakeMidiQueue midi;
    midi.Message(0, 0x90, 60, 100);
    midi.Message(0, 0x90, 60, 90);
    midi.Message(0, 0x80, 60, 0);
    ASSERT_EQ(S_OK, synth.SendMidi(1, &midi));
    Slice(64);
    Slice(64);
    auto notes = ActiveNotes();
    ASSERT_EQ(1u, notes.size());
    EXPECT_EQ(90, notes[0].Velocity()) << "the earlier one ended";
    EXPECT_EQ(mvsynth::kMfxHeldNote, notes[0].Duration());
}

TEST_F(SoftSynth, RawMidiBecomesEvents)
{
    FakeMidiQueue midi;
    midi.Message(0, 0x91, 64, 0);     // note-on with velocity 0: a note-off
    midi.Message(0, 0xA2, 61, 33);    // key aftertouch
    midi.Message(0, 0xC3, 12);        // patch
    midi.Message(0, 0xD4, 77);        // channel aftertouch
    midi.Message(0, 0xE5, 0x00, 0x00);  // wheel at its lowest
    midi.Message(0, 0xF8, 0);         // clock: skipped
    ASSERT_EQ(S_OK, synth.SendMidi(3, &midi));
    EXPECT_EQ(5u, synth.PendingCount());
    ASSERT_EQ(S_OK, synth.PrepareSlice(64));
    const auto& a = synth.ActiveEvents();
    ASSERT_EQ(4u, a.size()) << "the unpaired note-off is gone";
    EXPECT_EQ(mvsynth::kMfxKeyAftertouch, DWORD(a[0].kind));
    EXPECT_EQ(2, a[0].channel);
    EXPECT_EQ(61, a[0].data[0]);
    EXPECT_EQ(33, a[0].data[1]);
    EXPECT_EQ(mvsynth::kMfxPatch, DWORD(a[1].kind));
    EXPECT_EQ(12, a[1].data[0]);
    EXPECT_EQ(0xFF, a[1].data[2]);
    EXPECT_EQ(0xFF, a[1].data[3]);
    EXPECT_EQ(mvsynth::kMfxChannelAftertouch, DWORD(a[2].kind));
    EXPECT_EQ(77, a[2].data[1]);
    EXPECT_EQ(mvsynth::kMfxWheel, DWORD(a[3].kind));
    SHORT wheel;
    std::memcpy(&wheel, a[3].data, 2);
    EXPECT_EQ(-8192, wheel);
    EXPECT_EQ(mvsynth::kDXiFromMidi, a[3].origin);
}

TEST_F(SoftSynth, EventsPassOnceTheirTimeHasBeenRendered)
{
    FakeMidiQueue midi;
    midi.Message(0, 0xB0, 1, 2);
    ASSERT_EQ(S_OK, synth.SendMidi(1, &midi));
    ASSERT_EQ(S_OK, synth.PrepareSlice(64));
    EXPECT_EQ(1u, synth.ActiveEvents().size());
    synth.AdvanceRendered(64);
    ASSERT_EQ(S_OK, synth.DispatchActive(false));
    EXPECT_TRUE(synth.ActiveEvents().empty());
}

TEST_F(SoftSynth, StartAndStopEmptyTheQueuesAndFlushTheNotes)
{
    FakeMidiQueue midi;
    midi.Message(0, 0x90, 60, 100);
    midi.Message(100000, 0x90, 61, 100);
    ASSERT_EQ(S_OK, synth.SendMidi(1, &midi));
    Slice(64);
    EXPECT_EQ(1u, ActiveNotes().size());
    EXPECT_EQ(1u, synth.PendingCount());
    ASSERT_EQ(S_OK, synth.Stop());
    EXPECT_EQ(1, engine.flushed);
    EXPECT_TRUE(synth.ActiveEvents().empty());
    EXPECT_EQ(0u, synth.PendingCount());
    EXPECT_FALSE(synth.IsPlaying());
}

TEST_F(SoftSynth, RefusedNoteStartsAreDropped)
{
    engine.noteStartAnswer = S_FALSE;
    FakeMidiQueue midi;
    midi.Message(0, 0x90, 60, 100);
    ASSERT_EQ(S_OK, synth.SendMidi(1, &midi));
    Slice(64);
    EXPECT_TRUE(ActiveNotes().empty());
}

// The host hands events over on its audio thread, which never waits: while
// another thread holds the instrument's lock nothing is queued and the host
// is told to hand them over again. Live messages from any other thread wait
// for the lock instead, and are taken once it is let go.
TEST_F(SoftSynth, EventsHandedOverWhileAnotherThreadHoldsTheLockAreRefusedWhole)
{
    FakeEventQueue q;
    q.AddNote(0, 0, 60, 100, mvsynth::kMfxHeldNote);
    q.AddNote(10, 0, 64, 100, mvsynth::kMfxHeldNote);
    std::atomic<bool> held{false};
    std::atomic<bool> letGo{false};
    std::thread other([&] {
        engine.Lock();
        held = true;
        while (!letGo)
            std::this_thread::yield();
        engine.Unlock();
    });
    while (!held)
        std::this_thread::yield();
    FakeMidiQueue midi;
    midi.Message(0, 0x90, 62, 100);
    {
        mv::ScopedThreadRole audio(mv::ThreadRole::Audio);
        EXPECT_EQ(E_PENDING, synth.SendEvents(0, 0, 1, &q));
        EXPECT_EQ(E_PENDING, synth.SendMidi(1, &midi)) << "live messages too";
    }
    EXPECT_EQ(0u, synth.PendingCount());
    std::atomic<HRESULT> waited{E_FAIL};
    std::thread control([&] { waited = synth.SendMidi(1, &midi); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(E_FAIL, waited.load()) << "a control thread waits for the lock";
    letGo = true;
    other.join();
    control.join();
    EXPECT_EQ(S_OK, waited.load());
    EXPECT_EQ(S_OK, synth.SendEvents(0, 0, 1, &q));
    EXPECT_EQ(S_OK, synth.SendMidi(1, &midi));
    EXPECT_EQ(4u, synth.PendingCount());
}

TEST(SoftSynthConnection, DeliveryNeedsAConnectionAndTheHostsMaps)
{
    RecordingEngine engine;
    HRESULT hr = S_OK;
    BareSynth synth(&engine, &hr);
    FakeEventQueue q;
    q.AddNote(0, 0, 60, 100, mvsynth::kMfxHeldNote);
    EXPECT_EQ(E_UNEXPECTED, synth.SendEvents(0, 0, 1, &q));
    FakeMidiQueue midi;
    EXPECT_EQ(E_UNEXPECTED, synth.SendMidi(1, &midi));
    EXPECT_EQ(E_POINTER, synth.SendMidi(1, nullptr));
    EXPECT_EQ(0u, synth.PendingCount());

    FakeHost noMeter;
    noMeter.hasMeterMap = false;
    EXPECT_EQ(E_NOINTERFACE, synth.Connect(noMeter.Handed()));
    EXPECT_FALSE(synth.IsConnected());
    EXPECT_EQ(0, noMeter.refs) << "the handed reference and every query were given back";

    FakeHost host;
    ASSERT_EQ(S_OK, synth.Connect(host.Handed()));
    EXPECT_EQ(E_UNEXPECTED, synth.Connect(host.Handed()));
    EXPECT_EQ(2, host.refs) << "tempo and meter maps held";
    EXPECT_EQ(S_OK, synth.SendEvents(0, 0, 1, &q));
    ASSERT_EQ(S_OK, synth.Disconnect());
    EXPECT_EQ(0, host.refs);
}

TEST(SoftSynthTime, ConversionsFollowTheConverterTheTempoMapOrTheStoredTempo)
{
    RecordingEngine engine;
    HRESULT hr = S_OK;
    BareSynth synth(&engine, &hr);
    constexpr LONGLONG kQuarter = 62914560;  // 48.16 fixed ticks
    EXPECT_EQ(0, synth.TicksToSamples(960)) << "nothing to convert with";
    EXPECT_EQ(22050, synth.FixedTicksToSamples(kQuarter)) << "the stored 120 BPM";
    EXPECT_EQ(kQuarter, synth.SamplesToFixedTicks(22050));
    EXPECT_EQ(44100, synth.GetSampleRate());
    EXPECT_EQ(-1, synth.QueryHostValue(0, 0)) << "the host has no key query";

    FakeHost host;
    host.tempo = 6000;
    ASSERT_EQ(S_OK, synth.Connect(host.Handed()));
    EXPECT_EQ(44100, synth.TicksToSamples(960));
    EXPECT_EQ(960, synth.SamplesToTicks(44100));
    EXPECT_EQ(44100, synth.FixedTicksToSamples(kQuarter)) << "stopped: the map's first tempo";
    EXPECT_EQ(kQuarter / 2, synth.SamplesToFixedTicks(22050));
    EXPECT_EQ(44100, synth.GetSampleRate()) << "no converter";
    synth.Disconnect();

    FakeHost withConverter;
    withConverter.hasConverter = true;
    ASSERT_EQ(S_OK, synth.Connect(withConverter.Handed()));
    EXPECT_EQ(48000, synth.GetSampleRate());
    EXPECT_EQ(9600, synth.TicksToSamples(960)) << "the converter comes first";
    synth.Disconnect();
}

TEST(SoftSynthInputPort, HoldsOneCallback)
{
    struct Callback : mvsynth::IMfxInputCallback {
        STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
        STDMETHODIMP OnInput(DWORD, DWORD) override { return S_OK; }
        ULONG refs = 0;
    } callback;
    RecordingEngine engine;
    HRESULT hr = S_OK;
    BareSynth synth(&engine, &hr);
    mvsynth::IMfxInputCallback* out = &callback;
    EXPECT_EQ(S_FALSE, synth.GetInputCallback(&out));
    EXPECT_EQ(nullptr, out);
    ASSERT_EQ(S_OK, synth.SetInputCallback(&callback));
    ASSERT_EQ(S_OK, synth.GetInputCallback(&out));
    EXPECT_EQ(&callback, out);
    EXPECT_EQ(2u, callback.refs);
    out->Release();
    ASSERT_EQ(S_OK, synth.SetInputCallback(nullptr));
    EXPECT_EQ(0u, callback.refs);
}

// The host's 17-byte record and the synth layer's 20-byte head meet field
// by field; the host's own header must agree with the plug-in's copy.
TEST(DXiEventRecord, HostRecordConvertsFieldByField)
{
    static_assert(sizeof(::MfxEvent) == sizeof(mvsynth::MfxEvent));
    EXPECT_EQ(offsetof(::MfxEvent, m_time), offsetof(mvsynth::MfxEvent, m_time));
    EXPECT_EQ(offsetof(::MfxEvent, m_port), offsetof(mvsynth::MfxEvent, m_port));
    EXPECT_EQ(offsetof(::MfxEvent, m_channel), offsetof(mvsynth::MfxEvent, m_channel));
    EXPECT_EQ(offsetof(::MfxEvent, m_kind), offsetof(mvsynth::MfxEvent, m_kind));
    EXPECT_EQ(offsetof(::MfxEvent, m_data), offsetof(mvsynth::MfxEvent, m_data));
    EXPECT_EQ(0u, offsetof(DXiEvent, time));
    EXPECT_EQ(4u, offsetof(DXiEvent, port));
    EXPECT_EQ(5u, offsetof(DXiEvent, channel));
    EXPECT_EQ(6u, offsetof(DXiEvent, kind));
    EXPECT_EQ(10u, offsetof(DXiEvent, data));
    EXPECT_EQ(20u, offsetof(DXiEvent, source));
    EXPECT_EQ(24u, offsetof(DXiEvent, sampleTime));
    EXPECT_EQ(36u, offsetof(DXiEvent, origin));

    // A note as the host writes it, read through its own header.
    ::MfxEvent host{};
    host.m_time = 123456;
    host.m_port = 3;
    host.m_channel = 9;
    host.m_kind = MfxNote;
    host.m_note.key = 61;
    host.m_note.velocity = 99;
    host.m_note.extra = 64;
    host.m_note.duration = 480;
    mvsynth::MfxEvent plugin;
    std::memcpy(&plugin, &host, sizeof host);

    const DXiEvent e = mvsynth::DXiEventFromMfx(plugin);
    EXPECT_EQ(123456u, e.time);
    EXPECT_EQ(3, e.port);
    EXPECT_EQ(9, e.channel);
    EXPECT_EQ(mvsynth::kMfxNote, DWORD(e.kind));
    EXPECT_EQ(61, e.Key());
    EXPECT_EQ(99, e.Velocity());
    EXPECT_EQ(64, e.data[2]);
    EXPECT_EQ(480u, e.Duration());
    EXPECT_EQ(0, e.reserved1[0] | e.reserved1[1] | e.reserved1[2]) << "nothing read past the host's record";
    EXPECT_EQ(0, e.sampleTime);

    const mvsynth::MfxEvent back = mvsynth::MfxEventFromDXi(e);
    EXPECT_EQ(0, std::memcmp(&back, &host, sizeof host));
}

}  // namespace
