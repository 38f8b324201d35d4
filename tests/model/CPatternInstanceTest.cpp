#include "model/CPatternInstance.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "model/CMfxBufferFactory.h"
#include "tests/model/ChunkBytes.h"
#include "tests/model/PatternTestSupport.h"

using chunktest::Bytes;
using namespace pattest;

namespace {

constexpr LONG kOpen = CPatternInstance::kOpenEnd;

std::vector<CMfxEvent> Render(const CPatternInstance& instance, LONG from, LONG to, float swing = 0.0f,
                              HRESULT expected = S_OK)
{
    std::vector<CMfxEvent> events;
    events.reserve(4096);
    EXPECT_EQ(expected, instance.RenderEvents(from, to, &events, swing));
    return events;
}

// The same range rendered span after span, as buffers of playback ask.
std::vector<CMfxEvent> RenderInSpans(const CPatternInstance& instance, LONG from, LONG to, LONG span)
{
    std::vector<CMfxEvent> events;
    events.reserve(4096);
    for (LONGLONG t = from; t < to; t += span) {
        const LONG end = static_cast<LONG>(std::min<LONGLONG>(t + span, to));
        EXPECT_TRUE(SUCCEEDED(instance.RenderEvents(static_cast<LONG>(t), end, &events, 0.0f)));
    }
    return events;
}

// Holds a lock on another thread until the object goes away, as an edit on
// the UI thread would while the audio thread renders.
class HeldElsewhere {
public:
    explicit HeldElsewhere(CHeapCriticalSection& lock)
    {
        std::promise<void> held;
        std::future<void> isHeld = held.get_future();
        m_thread = std::thread([&lock, &held, this] {
            lock.Lock();
            held.set_value();
            m_release.get_future().wait();
            lock.Unlock();
        });
        isHeld.wait();
    }
    ~HeldElsewhere()
    {
        m_release.set_value();
        m_thread.join();
    }

private:
    std::promise<void> m_release;
    std::thread m_thread;
};

class CPatternInstanceTest : public SongFixture {};

TEST_F(CPatternInstanceTest, IdsJoinThePatternIdAndTheSerial)
{
    PatternPtr p = AddPattern(5, 1920);
    CPatternInstance::SetInstanceSerial(7);
    CPatternInstance a(p.get());
    CPatternInstance b(p.get());
    EXPECT_EQ(0x00070005u, a.GetInstanceId());
    EXPECT_EQ(0x00080005u, b.GetInstanceId());
    EXPECT_EQ(9u, CPatternInstance::GetInstanceSerial());

    // Copies keep the id unless a fresh one is asked for.
    EXPECT_EQ(a.GetInstanceId(), CPatternInstance(a).GetInstanceId());
    EXPECT_EQ(a.GetInstanceId(), CPatternInstance(a, FALSE).GetInstanceId());
    EXPECT_EQ(0x00090005u, CPatternInstance(a, TRUE).GetInstanceId());

    // A negative or oversized pattern id never reaches the serial's half, and
    // only the serial's low 16 bits are used.
    CPatternInstance::SetInstanceSerial(0x12345);
    EXPECT_EQ(0x2345FFFDu, CPatternInstance::DrawInstanceId(-3));
    EXPECT_EQ(0x2346FFFFu, CPatternInstance::DrawInstanceId(CPattern::kNoPattern));
    EXPECT_EQ(0x23478000u, CPatternInstance::DrawInstanceId(static_cast<SHORT>(-32768)));

    // An instance id never equals a pattern's clip id (the bare pattern id):
    // a serial with a low half of 0 is passed over.
    CPatternInstance::SetInstanceSerial(0);
    EXPECT_EQ(0x00010005u, CPatternInstance::DrawInstanceId(5));
    CPatternInstance::SetInstanceSerial(0x1FFFF);
    EXPECT_EQ(0xFFFF0005u, CPatternInstance::DrawInstanceId(5));
    EXPECT_EQ(0x00010005u, CPatternInstance::DrawInstanceId(5));
    EXPECT_EQ(0x20002u, CPatternInstance::GetInstanceSerial());
}

TEST_F(CPatternInstanceTest, ConstructorsGiveTheirDefaults)
{
    CPatternInstance none;
    EXPECT_EQ(nullptr, none.GetPattern());
    EXPECT_EQ(CPatternInstance::kNoId, none.GetInstanceId());
    EXPECT_EQ(-1, none.GetStart());
    EXPECT_EQ(-1, none.GetEnd());
    EXPECT_EQ(-1, none.GetOffset());
    EXPECT_EQ(CPattern::kNoPattern, none.GetPatternID());
    EXPECT_EQ(0, none.GetPatternDuration());
    EXPECT_FALSE(none.IsValid());

    PatternPtr p = AddPattern(2, 1920);
    CPatternInstance placed(p.get());
    EXPECT_EQ(0, placed.GetStart());
    EXPECT_EQ(1920, placed.GetEnd());
    EXPECT_EQ(0, placed.GetOffset());
    EXPECT_EQ(CPatternInstance::kNoChannel, placed.GetMidiChannel());
    EXPECT_EQ(CPatternInstance::kInvalidCursor, placed.GetCursor());
    EXPECT_TRUE(placed.IsValid());
    EXPECT_EQ(64, placed.GetTemplateEvent().m_note.velocity);

    p->SetTriggerKey(40);
    CPatternInstance triggered(p.get());
    EXPECT_EQ(MfxNote, MfxCopy(triggered.GetTemplateEvent().m_kind));
    EXPECT_EQ(CPatternInstance::kTriggerVelocity, triggered.GetTemplateEvent().m_note.velocity);
    EXPECT_EQ(0, triggered.GetTemplateEvent().m_channel);
}

TEST_F(CPatternInstanceTest, ThePatternLoopsFromTheStartShiftedByTheOffset)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60)});
    EXPECT_EQ((std::vector<LONG>{3840, 5760, 7680}), Times(Render(Placed(p.get(), 3840, 9600), 0, 20000)));
    EXPECT_EQ((std::vector<LONG>{4320, 6240, 8160}), Times(Render(Placed(p.get(), 3840, 9600, 480), 0, 20000)));
    // The span is half open: an event at its end waits for the next one.
    EXPECT_EQ((std::vector<LONG>{3840}), Times(Render(Placed(p.get(), 3840, 9600), 3840, 5760)));
    EXPECT_TRUE(Render(Placed(p.get(), 3840, 9600), 9600, 20000).empty());
}

TEST_F(CPatternInstanceTest, SpansOfAnySizeRenderTheSameEvents)
{
    PatternPtr p = AddPattern(0, 1920,
                              {Note(0, 60), Controller(1, 7, 1), Note(479, 62), Note(480, 64), Note(1919, 65),
                               Note(1920, 99), Note(2500, 98)});
    for (LONG offset : {0, 1, 480, 1919}) {
        const CPatternInstance instance = Placed(p.get(), 1000, 12345, offset);
        const std::vector<LONG> whole = Times(Render(instance, -5000, 50000));
        ASSERT_FALSE(whole.empty());
        for (LONG span : {1, 7, 97, 480, 1920, 5000}) {
            SCOPED_TRACE(testing::Message() << "offset " << offset << ", span " << span);
            EXPECT_EQ(whole, Times(RenderInSpans(instance, -5000, 50000, span)));
        }
    }
}

TEST_F(CPatternInstanceTest, EventsAtOrAfterTheDurationNeverPlay)
{
    PatternPtr p = AddPattern(0, 960, {Note(100, 60), Note(960, 61), Note(1000, 62)});
    EXPECT_EQ((std::vector<LONG>{100, 1060, 2020, 2980}), Times(Render(Placed(p.get(), 0, 3840), 0, 3840)));
}

TEST_F(CPatternInstanceTest, NotesAreCutAtTheInstanceEnd)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 61, 10), Note(1320, 60, 960)});
    const auto events = Render(Placed(p.get(), 0, 9600), 9000, 9600);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(9000, MfxCopy(events[0].m_time));
    EXPECT_EQ(600u, MfxCopy(events[0].m_note.duration));
}

TEST_F(CPatternInstanceTest, SwingMovesNotesInTheSwingWindowOfEachQuarter)
{
    PatternPtr p = AddPattern(0, 1920,
                              {Note(0, 1), Note(359, 2), Note(360, 3), Note(480, 4), Controller(480, 7, 1),
                               Note(639, 5), Note(640, 6), Note(1440, 7)});
    const CPatternInstance instance = Placed(p.get(), 0, 1920);
    // The swing flag of the pattern is off: nothing moves.
    EXPECT_EQ((std::vector<LONG>{0, 359, 360, 480, 480, 639, 640, 1440}), Times(Render(instance, 0, 1920, 0.5f)));
    p->SetSwing(1);
    EXPECT_EQ((std::vector<LONG>{0, 359, 500, 560, 480, 639, 640, 1520}), Times(Render(instance, 0, 1920, 0.5f)));
    EXPECT_EQ((std::vector<LONG>{0, 359, 360, 480, 480, 639, 640, 1440}), Times(Render(instance, 0, 1920, 0.0f)));
    EXPECT_EQ((std::vector<LONG>{0, 359, 640, 640, 480, 640, 640, 1600}), Times(Render(instance, 0, 1920, 1.0f)));
}

TEST_F(CPatternInstanceTest, TransposeKeepsKeysInRange)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 125), Note(10, 5), Note(20, 60)});
    CPatternInstance instance = Placed(p.get(), 0, 1920);
    const std::tuple<LONG, std::vector<BYTE>> cases[] = {
        {10, {127, 15, 70}}, {-10, {115, 0, 50}}, {0, {125, 5, 60}}, {INT32_MAX, {127, 127, 127}}};
    for (const auto& [transpose, keys] : cases) {
        ASSERT_EQ(S_OK, instance.SetTranspose(transpose));
        std::vector<BYTE> got;
        for (const CMfxEvent& e : Render(instance, 0, 1920))
            got.push_back(e.m_note.key);
        EXPECT_EQ(keys, got) << transpose;
    }
}

TEST_F(CPatternInstanceTest, TheChannelOverrideSparesAutomation)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60, 10, 1), Controller(1, 7, 1, 1), Automation(2, 33, 0.5f)});
    CPatternInstance instance = Placed(p.get(), 0, 1920);
    EXPECT_EQ(E_FAIL, instance.SetMidiChannel(16));
    EXPECT_EQ(E_FAIL, instance.SetMidiChannel(0xFFFE));
    ASSERT_EQ(S_OK, instance.SetMidiChannel(5));
    auto events = Render(instance, 0, 1920);
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(5, events[0].m_channel);
    EXPECT_EQ(5, events[1].m_channel);
    EXPECT_EQ(0, events[2].m_channel);
    EXPECT_EQ(5, instance.GetTemplateEvent().m_channel);
    ASSERT_EQ(S_OK, instance.SetMidiChannel(CPatternInstance::kNoChannel));
    events = Render(instance, 0, 1920);
    EXPECT_EQ(1, events[0].m_channel);
    EXPECT_EQ(0, instance.GetTemplateEvent().m_channel);
}

TEST_F(CPatternInstanceTest, AnEndlessPatternPlaysOnceAndRenderingChangesNothingOfTheInstance)
{
    PatternPtr p = AddPattern(0, CPattern::kEndless, {Note(0, 60), Controller(100, 7, 1), Note(200, 61)});
    const CPatternInstance fromZero(p.get());
    ASSERT_EQ(kOpen, fromZero.GetEnd());
    EXPECT_EQ((std::vector<LONG>{0, 100, 200}), Times(Render(fromZero, 0, kOpen)));
    EXPECT_EQ((std::vector<LONG>{0, 100, 200}), Times(RenderInSpans(fromZero, 0, 1000000, 256)));

    // Placed later, it plays from its own start, every time it is rendered.
    CPatternInstance later(p.get());
    ASSERT_EQ(S_OK, later.SetStart(3840));
    ASSERT_EQ(S_OK, later.SeekTime(3950));
    const LONG cursor = later.GetCursor();
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ((std::vector<LONG>{3840, 3940, 4040}), Times(Render(later, 0, 100000)));
        EXPECT_EQ(3840, later.GetStart());
        EXPECT_EQ(kOpen, later.GetEnd());
        EXPECT_EQ(cursor, later.GetCursor());
    }
}

TEST_F(CPatternInstanceTest, RenderingAppendsOnlyWithinTheReservedCapacity)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60), Note(10, 61), Note(20, 62)});
    const CPatternInstance instance = Placed(p.get(), 0, 3840);
    std::vector<CMfxEvent> events;
    events.reserve(4);
    const CMfxEvent* storage = events.data();
    EXPECT_EQ(E_OUTOFMEMORY, instance.RenderEvents(0, 3840, &events, 0.0f));
    EXPECT_EQ((std::vector<LONG>{0, 10, 20, 1920}), Times(events));
    EXPECT_EQ(4u, events.capacity());
    EXPECT_EQ(storage, events.data());
    EXPECT_EQ(E_POINTER, instance.RenderEvents(0, 1, nullptr, 0.0f));
}

TEST_F(CPatternInstanceTest, EventsWithDataBlocksAreNotPlayed)
{
    CMfxEvent sysex(MfxSysex);
    HMFXBUFFER block = 0;
    ASSERT_EQ(S_OK, CMfxBufferFactory::GetShared().Alloc(4, &block));
    sysex.m_buffer.handle = block;
    sysex.m_time = 5;
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60), sysex, Note(10, 61)});
    EXPECT_EQ((std::vector<LONG>{0, 10}), Times(Render(Placed(p.get(), 0, 1920), 0, 1920)));
}

TEST_F(CPatternInstanceTest, NothingPlaysWithoutASongOrWhileThePatternIsBusy)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60)});
    const CPatternInstance instance = Placed(p.get(), 0, 1920);
    SetSongDocument(nullptr);
    EXPECT_TRUE(Render(instance, 0, 1920, 0.0f, E_UNEXPECTED).empty());
    SetSongDocument(&document);
    {
        HeldElsewhere edit(p->GetLock());
        EXPECT_TRUE(Render(instance, 0, 1920, 0.0f, S_FALSE).empty());
        EXPECT_EQ(S_FALSE, CPatternInstance(instance).SeekTime(10));
    }
    EXPECT_EQ(1u, Render(instance, 0, 1920).size());
    EXPECT_TRUE(Render(Placed(AddPattern(1, 1920).get(), 0, 1920), 0, 1920, 0.0f, S_FALSE).empty());
}

TEST_F(CPatternInstanceTest, TheRecorderSilencesWhatItRecords)
{
    PatternPtr p = AddPattern(4, 1920, {Note(0, 60), Automation(1, 33, 0.5f), Automation(2, 34, 0.5f)});
    const CPatternInstance instance = Placed(p.get(), 0, 1920);
    engine.recorder.touchedParam = 33;
    EXPECT_EQ((std::vector<LONG>{0, 2}), Times(Render(instance, 0, 1920)));
    engine.recorder.recordingPattern = 4;
    EXPECT_EQ((std::vector<LONG>{0, 2}), Times(Render(instance, 0, 1920)));
    engine.recorder.overwrite = IRecorder::kOverwriteOn;
    EXPECT_TRUE(Render(instance, 0, 1920).empty());
    engine.recorder.recordingPattern = 5;
    EXPECT_EQ(2u, Render(instance, 0, 1920).size());
}

TEST_F(CPatternInstanceTest, ChasingKeepsTheLatestEventOfEachTarget)
{
    PatternPtr p = AddPattern(0, 1920,
                              {Note(0, 60), Controller(0, 7, 10), Controller(480, 10, 5), Controller(960, 7, 20)});
    CPatternInstance instance = Placed(p.get(), 3840, 9600);
    auto chased = [&](LONG t, CChaseSet set = {}) {
        EXPECT_EQ(S_OK, instance.ChaseEvents(t, &set));
        std::vector<std::tuple<int, int, LONG>> out;  // number, value, time
        for (const CMfxEvent& e : set)
            out.emplace_back(e.m_ctrl.number, e.m_ctrl.value, e.m_time);
        return out;
    };
    using Rows = std::vector<std::tuple<int, int, LONG>>;
    EXPECT_EQ((Rows{{7, 10, 3840}}), chased(3840));
    EXPECT_EQ((Rows{{7, 10, 5760}, {10, 5, 4320}}), chased(6000));
    EXPECT_EQ((Rows{{7, 20, 8640}, {10, 5, 8160}}), chased(100000));
    EXPECT_TRUE(chased(3839).empty());

    // A held event of the same target stays when it is later; an earlier one
    // is replaced.
    CChaseSet held;
    held.insert(Controller(99999, 7, 1));
    held.insert(Controller(0, 10, 1));
    EXPECT_EQ((Rows{{7, 1, 99999}, {10, 5, 4320}}), chased(6000, held));

    // The offset moves the loops; loops that began before the start count.
    ASSERT_EQ(S_OK, instance.SetOffset(480));
    EXPECT_EQ((Rows{{7, 20, 3360}, {10, 5, 2880}}), chased(3840));

    ASSERT_EQ(S_OK, instance.SetMidiChannel(3));
    CChaseSet onChannel;
    ASSERT_EQ(S_OK, instance.ChaseEvents(3840, &onChannel));
    for (const CMfxEvent& e : onChannel)
        EXPECT_EQ(3, e.m_channel);
    EXPECT_EQ(E_POINTER, instance.ChaseEvents(0, nullptr));
    CChaseSet none;
    EXPECT_EQ(S_FALSE, Placed(AddPattern(1, 1920).get(), 0, 1920).ChaseEvents(100, &none));
}

TEST_F(CPatternInstanceTest, ChasingAnEndlessPatternStopsAfterItsLastEvent)
{
    PatternPtr p = AddPattern(0, CPattern::kEndless, {Controller(0, 7, 10), Controller(100, 7, 20)});
    const CPatternInstance instance(p.get());
    CChaseSet set;
    ASSERT_EQ(S_OK, instance.ChaseEvents(2000000000, &set));
    ASSERT_EQ(1u, set.size());
    EXPECT_EQ(20, set.begin()->m_ctrl.value);
    EXPECT_EQ(100, set.begin()->m_time);
}

TEST_F(CPatternInstanceTest, SeekingPlacesTheCursor)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 1), Note(480, 2), Note(480, 3), Note(960, 4)});
    CPatternInstance instance = Placed(p.get(), 0, 3840);
    const std::pair<LONG, LONG> cases[] = {{0, 0},   {-5, 0},   {480, 1},  {500, 2},
                                           {1000, 3}, {1930, 0}, {3840, 0}, {2400, 1}};
    for (auto [time, cursor] : cases) {
        ASSERT_EQ(S_OK, instance.SeekTime(time));
        EXPECT_EQ(cursor, instance.GetCursor()) << time;
    }
    ASSERT_EQ(S_OK, instance.SetStart(0));
    EXPECT_EQ(CPatternInstance::kInvalidCursor, instance.GetCursor());
}

TEST_F(CPatternInstanceTest, SettersCheckTheirValues)
{
    PatternPtr p = AddPattern(0, 1920);
    CPatternInstance instance = Placed(p.get(), 3840, 9600);
    EXPECT_EQ(E_INVALIDARG, instance.SetOffset(1920));
    EXPECT_EQ(E_INVALIDARG, instance.SetOffset(-1));
    EXPECT_EQ(E_INVALIDARG, instance.SetEnd(3840));
    EXPECT_EQ(9600, instance.GetEnd());
    const std::pair<LONG, LONG> wraps[] = {{2000, 80}, {-480, 1440}, {-1920 * 3 - 1, 1919}, {0, 0}};
    for (auto [given, stored] : wraps) {
        ASSERT_EQ(S_OK, instance.SetOffsetWrapped(given));
        EXPECT_EQ(stored, instance.GetOffset()) << given;
    }
    EXPECT_EQ(E_INVALIDARG, Placed(AddPattern(1, 0).get(), 0, 1).SetOffsetWrapped(5));
    ASSERT_EQ(S_OK, instance.SetOffset(480));
    EXPECT_EQ(0, instance.PatternTimeAt(4320));
    EXPECT_EQ(1440, instance.PatternTimeAt(3840));
    EXPECT_EQ(100, instance.PatternTimeAt(4420));
}

TEST_F(CPatternInstanceTest, TheTriggerEventAndTheDisplayName)
{
    PatternPtr p = AddPattern(5, 1920);
    CPatternInstance instance = Placed(p.get(), 3840, 9600);
    EXPECT_EQ(0, MfxCopy(instance.GetTriggerEvent(TRUE).m_time));
    p->SetTriggerKey(300);
    CPatternInstance triggered = Placed(p.get(), 3840, 9600);
    ASSERT_EQ(S_OK, triggered.SetMidiChannel(2));
    const CMfxEvent with = triggered.GetTriggerEvent(TRUE);
    EXPECT_EQ(3840, MfxCopy(with.m_time));
    EXPECT_EQ(44, with.m_note.key);
    EXPECT_EQ(5760u, MfxCopy(with.m_note.duration));
    EXPECT_EQ(CPatternInstance::kTriggerVelocity, with.m_note.velocity);
    EXPECT_EQ(2, with.m_channel);
    EXPECT_EQ(0u, MfxCopy(triggered.GetTriggerEvent(FALSE).m_note.duration));

    EXPECT_STREQ("Pat 6", instance.GetDisplayName());
    instance.SetTranspose(3);
    EXPECT_STREQ("Pat 6 (+3)", instance.GetDisplayName());
    instance.SetTranspose(-2);
    p->SetName("Keys");
    EXPECT_STREQ("Keys (-2)", instance.GetDisplayName());
}

TEST_F(CPatternInstanceTest, AnAudioInstancesClipFollowsItsTimesAndTranspose)
{
    using Call = FakeLoopClip::Call;
    PatternPtr p = AddPattern(6, 1920, {}, CPattern::kKindLoopClip);
    CPatternInstance instance(p.get());
    FakeLoopClip* clip = engine.pool.Add(instance.GetInstanceId());
    auto frames = [&](LONGLONG ticks) { return document.tempo.TicksToTime(static_cast<LONG>(ticks), 44100); };

    ASSERT_EQ(S_OK, instance.SetOffset(480));
    EXPECT_EQ((std::vector<Call>{{"play", -1440, 0}, {"play", frames(-1440), 3}}), clip->calls);
    clip->calls.clear();
    ASSERT_EQ(S_OK, instance.SetStart(3840));
    EXPECT_EQ((std::vector<Call>{{"play", 2400, 0}, {"start", 3840, 0}, {"start", frames(3840), 3}}), clip->calls);
    clip->calls.clear();
    ASSERT_EQ(S_OK, instance.SetEnd(9600));
    ASSERT_EQ(S_OK, instance.SetEnd(kOpen));
    EXPECT_EQ((std::vector<Call>{{"end", 9600, 0},
                                 {"end", frames(9600), 3},
                                 {"end", ILoopClip::kOpenEnd, 0},
                                 {"end", ILoopClip::kOpenEnd, 3}}),
              clip->calls);
    clip->calls.clear();
    ASSERT_EQ(S_OK, instance.SetTranspose(-3));
    EXPECT_EQ((std::vector<Call>{{"transpose", -3, 0}}), clip->calls);
    EXPECT_EQ(18900, frames(960));

    // Without a song to convert through, the clip gets ticks only.
    clip->calls.clear();
    SetSongDocument(nullptr);
    ASSERT_EQ(S_OK, instance.SetEnd(4000));
    EXPECT_EQ((std::vector<Call>{{"end", 4000, 0}}), clip->calls);

    // A MIDI pattern's instance never reaches the pool.
    PatternPtr midi = AddPattern(7, 1920);
    CPatternInstance plain(midi.get());
    FakeLoopClip* other = engine.pool.Add(plain.GetInstanceId());
    plain.SetStart(5);
    plain.SetTranspose(1);
    EXPECT_TRUE(other->calls.empty());
}

// ---- persistence ----

std::vector<std::uint8_t> InstanceChunk(DWORD id, WORD channel, WORD patternId, LONG offset, LONG start, LONG end,
                                        DWORD selected, LONG transpose)
{
    auto sub = [](WORD index, const Bytes& payload) {
        return payload.AsChunk(MakeKelVersionWord(CPatternInstance::kMajor, index));
    };
    Bytes placement;
    placement.U32(id).Raw(&channel, 2).Raw(&patternId, 2).U32(offset).U32(start).U32(end);
    Bytes all;
    for (const auto& c : {sub(0, placement), sub(1, Bytes().U32(selected)),
                          sub(2, Bytes().U32(transpose).U32(~0u).U32(~0u).U32(~0u).U32(~0u))})
        all.Raw(c.data(), c.size());
    return all.AsChunk(MakeKelVersionWord(CPatternInstance::kMajor, CPatternInstance::kMinor));
}

TEST_F(CPatternInstanceTest, SavesAndLoadsItsChunksByteForByte)
{
    PatternPtr p = AddPattern(5, 1920);
    CPatternInstance instance = Placed(p.get(), 3840, 9600, 480);
    ASSERT_EQ(S_OK, instance.SetMidiChannel(3));
    ASSERT_EQ(S_OK, instance.SetTranspose(-2));
    instance.SetSelected(TRUE);
    const auto expected = InstanceChunk(instance.GetInstanceId(), 3, 5, 480, 3840, 9600, 1, -2);

    auto stream = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, instance.Save(stream.Get(), FALSE));
    EXPECT_EQ(expected, chunktest::BytesOf(stream.Get()));

    CPatternInstance loaded;
    auto in = chunktest::StreamOf(expected);
    ASSERT_EQ(S_OK, loaded.Load(in.Get()));
    EXPECT_EQ(p.get(), loaded.GetPattern());
    EXPECT_EQ(instance.GetInstanceId(), loaded.GetInstanceId());
    EXPECT_EQ(3840, loaded.GetStart());
    EXPECT_EQ(-2, loaded.GetTranspose());
    EXPECT_TRUE(loaded.IsSelected());
    EXPECT_EQ(CPatternInstance::kInvalidCursor, loaded.GetCursor());
    auto again = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, loaded.Save(again.Get(), FALSE));
    EXPECT_EQ(expected, chunktest::BytesOf(again.Get()));
}

TEST_F(CPatternInstanceTest, LoadingResolvesThePatternThroughTheSong)
{
    CPatternInstance unknown;
    auto stream = chunktest::StreamOf(InstanceChunk(0x10009, 0xFFFF, 9, 0, 0, 100, 0, 0));
    EXPECT_EQ(E_INVALIDARG, unknown.Load(stream.Get()));
    EXPECT_EQ(nullptr, unknown.GetPattern());

    auto none = chunktest::StreamOf({});
    EXPECT_EQ(E_UNEXPECTED, CPatternInstance().Save(none.Get(), FALSE));

    // A loop-clip instance's transpose reaches its clip; a trigger pattern's
    // instance presents its trigger note as when it was made.
    PatternPtr audio = AddPattern(6, 1920, {}, CPattern::kKindLoopClip);
    audio->SetTriggerKey(50);
    FakeLoopClip* clip = engine.pool.Add(0x40006);
    CPatternInstance loaded;
    auto in = chunktest::StreamOf(InstanceChunk(0x40006, 0xFFFF, 6, 0, 0, 1920, 0, 4));
    ASSERT_EQ(S_OK, loaded.Load(in.Get()));
    EXPECT_EQ((std::vector<FakeLoopClip::Call>{{"transpose", 4, 0}}), clip->calls);
    EXPECT_EQ(CPatternInstance::kTriggerVelocity, loaded.GetTriggerEvent(TRUE).m_note.velocity);

    auto archiveStream = chunktest::StreamOf({});
    CKelPersistArchive archive(archiveStream.Get(), TRUE, FALSE);
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK,
              loaded.PersistChunk(MakeKelVersionWord(CPatternInstance::kMajor, 3), &archive));
}

}  // namespace
