#include "engine/CTimeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <random>
#include <thread>

#include "engine/CClipPool.h"
#include "engine/ITimelineOwner.h"
#include "model/CHeapLockGuard.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/model/ChunkBytes.h"
#include "tests/model/PatternTestSupport.h"
#include "tests/plugins/loopplayer/cliplib/ClipHostFake.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

using namespace pattest;

namespace {

// Registers a clip for an instance by putting a new clip into the pool under
// the instance id, as the loop player does.
class FakeLoopClipHost : public ILoopClipHost {
public:
    explicit FakeLoopClipHost(FakeClipPool& pool) : m_pool(pool) {}
    std::vector<std::tuple<DWORD, int, ILoopClip*>> registrations;
    HRESULT result = S_OK;

    HRESULT RegisterClip(DWORD instanceId, int mode, ILoopClip* clip, ILoopClip** registered) override
    {
        registrations.emplace_back(instanceId, mode, clip);
        if (FAILED(result))
            return result;
        *registered = m_pool.Add(instanceId);
        return S_OK;
    }
    HRESULT ReregisterClip(DWORD, ILoopClip*) override { return S_OK; }
    HRESULT UnregisterClip(DWORD) override { return S_OK; }

private:
    FakeClipPool& m_pool;
};

class FakeTimelineOwner : public ITimelineOwner {
public:
    std::vector<std::string> log;
    HRESULT insertedResult = S_OK;
    HRESULT removedResult = S_OK;
    ILoopClipHost* host = nullptr;

    HRESULT OnInstanceInserted(DWORD id) override
    {
        log.push_back("inserted " + std::to_string(id));
        return insertedResult;
    }
    HRESULT OnInstanceRemoved(DWORD id, DWORD clipId) override
    {
        log.push_back("removed " + std::to_string(id) + " clip " + std::to_string(clipId));
        return removedResult;
    }
    int GetTrackIndex() override { return 2; }
    ILoopClipHost* GetLoopClipHost() override { return host; }
};

std::vector<DWORD> Ids(const CTimeline& timeline)
{
    std::vector<DWORD> ids;
    for (int i = 0; i < timeline.GetSize(); ++i)
        ids.push_back(timeline[i].GetInstanceId());
    return ids;
}

class CTimelineTest : public SongFixture {
protected:
    DWORD Add(const CPatternInstance& instance)
    {
        EXPECT_EQ(S_OK, timeline.AddPatternInstance(instance, FALSE, nullptr));
        return instance.GetInstanceId();
    }
    std::vector<CMfxEvent> RenderSpan(LONG from, LONG to, HRESULT expected = S_OK)
    {
        std::vector<CMfxEvent> events;
        events.reserve(8192);
        EXPECT_EQ(expected, timeline.RenderSpan(from, to, &events, 0.0f));
        return events;
    }

    FakeTimelineOwner owner;
    CTimeline timeline{&owner};
};

TEST_F(CTimelineTest, KeepsInstancesByStartThenLongerThenLargerId)
{
    PatternPtr p = AddPattern(1, 1920);
    const DWORD a = Add(Placed(p.get(), 0, 1920));
    const DWORD b = Add(Placed(p.get(), 0, 3840));
    const DWORD c = Add(Placed(p.get(), 960, 1000));
    const DWORD d = Add(Placed(p.get(), 0, 3840));
    const DWORD e = Add(Placed(p.get(), -10, 5));
    EXPECT_EQ((std::vector<DWORD>{e, d, b, a, c}), Ids(timeline));

    const CPatternInstance later = Placed(p.get(), 0, 1920);
    EXPECT_EQ(3, timeline.FindInsertPosition(later));
    EXPECT_EQ(0, timeline.FindInsertPosition(Placed(p.get(), -20, 0)));
    EXPECT_EQ(5, timeline.FindInsertPosition(Placed(p.get(), 960, 999)));
    EXPECT_EQ(E_INVALIDARG, timeline.AddPatternInstance(CPatternInstance(), FALSE, nullptr));
}

TEST_F(CTimelineTest, ALongerEndMovesAnInstanceBeforeItsNeighbour)
{
    PatternPtr p = AddPattern(1, 1920);
    const DWORD a = Add(Placed(p.get(), 0, 1920));
    const DWORD b = Add(Placed(p.get(), 0, 2880));
    ASSERT_EQ((std::vector<DWORD>{b, a}), Ids(timeline));
    const LONG end = 3840;
    ASSERT_EQ(S_OK, timeline.SetPatternInstanceAttributes(a, TRUE, nullptr, &end, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ((std::vector<DWORD>{a, b}), Ids(timeline));
    EXPECT_EQ("Change Pattern End Time", NewestCommandName());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((std::vector<DWORD>{b, a}), Ids(timeline));
    EXPECT_EQ(1920, timeline[1].GetEnd());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
    EXPECT_EQ(3840, timeline[0].GetEnd());
}

TEST_F(CTimelineTest, FindsTheInstanceAtATimePreferringTheCurrentOne)
{
    PatternPtr p = AddPattern(1, 1920);
    const DWORD a = Add(Placed(p.get(), 0, 1920));
    const DWORD b = Add(Placed(p.get(), 960, 3840));
    const DWORD c = Add(Placed(p.get(), 5000, 6000));
    EXPECT_EQ(a, timeline.GetCurrentInstanceId());  // the first one into the empty timeline

    CPatternInstance* found = nullptr;
    ASSERT_EQ(S_OK, timeline.GetInstanceAt(1000, &found));
    EXPECT_EQ(a, found->GetInstanceId());
    ASSERT_EQ(S_OK, timeline.SelectPatternInstance(c, TRUE));
    ASSERT_EQ(S_OK, timeline.GetInstanceAt(1000, &found));
    EXPECT_EQ(b, found->GetInstanceId());  // the latest in the order
    // An instance's end still counts as covered.
    ASSERT_EQ(S_OK, timeline.GetInstanceAt(3840, &found));
    EXPECT_EQ(b, found->GetInstanceId());
    ASSERT_EQ(S_OK, timeline.GetInstanceAt(6000, &found));
    EXPECT_EQ(c, found->GetInstanceId());
    EXPECT_EQ(S_FALSE, timeline.GetInstanceAt(4000, &found));
    EXPECT_EQ(nullptr, found);
    EXPECT_EQ(E_POINTER, timeline.GetInstanceAt(0, nullptr));

    std::vector<CPatternInstance*> all;
    ASSERT_EQ(S_OK, timeline.GetInstancesAt(1920, &all));
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(b, all[0]->GetInstanceId());
    EXPECT_EQ(a, all[1]->GetInstanceId());
    std::vector<CPatternInstance*> none;
    EXPECT_EQ(S_FALSE, timeline.GetInstancesAt(4500, &none));

    // Removing the current instance leaves none current.
    ASSERT_EQ(S_OK, timeline.DeletePatternInstance(c, FALSE, nullptr));
    EXPECT_EQ(CTimeline::kNoInstance, timeline.GetCurrentInstanceId());
}

TEST_F(CTimelineTest, PlacementEditsAreUndoableUnderTheirNames)
{
    PatternPtr p = AddPattern(1, 1920);
    const CPatternInstance instance = Placed(p.get(), 0, 1920);
    ASSERT_EQ(S_OK, timeline.AddPatternInstance(instance, TRUE, nullptr));
    EXPECT_EQ("Add Pattern Pat 2 to Track 3", NewestCommandName());
    p->SetName("Drums");
    ASSERT_EQ(S_OK, timeline.DeletePatternInstance(instance.GetInstanceId(), TRUE, nullptr));
    EXPECT_EQ("Delete Pattern Drums from Track 3", NewestCommandName());
    EXPECT_EQ(0, timeline.GetSize());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((std::vector<DWORD>{instance.GetInstanceId()}), Ids(timeline));
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(0, timeline.GetSize());
}

TEST_F(CTimelineTest, AttributeEditsAreNamedAfterWhatTheyChange)
{
    PatternPtr p = AddPattern(1, 1920);
    const DWORD id = Add(Placed(p.get(), 0, 1920));
    const LONG start = 10, end = 5000, offset = -100, transpose = -5;
    const WORD channel = 4;
    struct Case {
        const LONG *start, *end, *offset;
        const WORD* channel;
        const LONG* transpose;
        const char* name;
    };
    const Case cases[] = {
        {&start, nullptr, nullptr, nullptr, nullptr, "Change Pattern Start Time"},
        {nullptr, &end, nullptr, nullptr, nullptr, "Change Pattern End Time"},
        {nullptr, nullptr, &offset, nullptr, nullptr, "Change Pattern Event Alignment"},
        {nullptr, nullptr, nullptr, &channel, nullptr, "Change Pattern MIDI Channel"},
        {nullptr, nullptr, nullptr, nullptr, &transpose, "Set Pattern Transpose to -5"},
        {&start, &end, nullptr, nullptr, nullptr, "Change Pattern Attributes"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(S_OK, timeline.SetPatternInstanceAttributes(id, TRUE, c.start, c.end, c.offset, c.channel,
                                                              c.transpose, nullptr));
        EXPECT_EQ(c.name, NewestCommandName());
    }
    const CPatternInstance& changed = timeline[0];
    EXPECT_EQ(10, changed.GetStart());
    EXPECT_EQ(5000, changed.GetEnd());
    EXPECT_EQ(1820, changed.GetOffset());
    EXPECT_EQ(4, changed.GetMidiChannel());
    EXPECT_EQ(-5, changed.GetTranspose());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().GoToPosition(static_cast<int>(std::size(cases))));
    EXPECT_EQ(0, timeline[0].GetStart());
    EXPECT_EQ(1920, timeline[0].GetEnd());
    EXPECT_EQ(0, timeline[0].GetTranspose());
}

TEST_F(CTimelineTest, ARefusedAttributeEditChangesNothing)
{
    PatternPtr p = AddPattern(4, 1920, {}, CPattern::kKindLoopClip);
    const DWORD id = Add(Placed(p.get(), 960, 1920));
    FakeLoopClip* clip = engine.pool.Add(id);
    const LONG early = 500, late = 2000, negative = -1, valid = 1000;
    const WORD badChannel = 16;
    EXPECT_EQ(E_INVALIDARG, timeline.SetPatternInstanceAttributes(id, TRUE, nullptr, &early, nullptr, nullptr,
                                                                  nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, timeline.SetPatternInstanceAttributes(id, TRUE, &late, nullptr, nullptr, nullptr,
                                                                  nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, timeline.SetPatternInstanceAttributes(id, TRUE, &negative, nullptr, nullptr, nullptr,
                                                                  nullptr, nullptr));
    EXPECT_EQ(E_FAIL, timeline.SetPatternInstanceAttributes(id, TRUE, &valid, nullptr, nullptr, &badChannel, nullptr,
                                                            nullptr));
    EXPECT_EQ(E_INVALIDARG, timeline.SetPatternInstanceAttributes(id, TRUE, nullptr, nullptr, nullptr, nullptr,
                                                                  nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, timeline.SetPatternInstanceAttributes(CTimeline::kNoInstance, TRUE, &early, nullptr,
                                                                  nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_UNEXPECTED, timeline.SetPatternInstanceAttributes(id + 1, TRUE, &early, nullptr, nullptr, nullptr,
                                                                  nullptr, nullptr));
    EXPECT_EQ(960, timeline[0].GetStart());
    EXPECT_EQ(1920, timeline[0].GetEnd());
    EXPECT_EQ(0, HistoryCount());
    EXPECT_TRUE(clip->calls.empty());

    // An accepted edit moves the instance's clip.
    ASSERT_EQ(S_OK, timeline.SetPatternInstanceAttributes(id, TRUE, nullptr, &late, nullptr, nullptr, nullptr,
                                                          nullptr));
    EXPECT_FALSE(clip->CallsOf("end").empty());
}

TEST_F(CTimelineTest, DeletingTheActiveInstanceClearsItAndUndoBringsBothBack)
{
    PatternPtr p = AddPattern(1, 1920);
    EXPECT_EQ(E_UNEXPECTED, timeline.DeletePatternInstance(5, TRUE, nullptr));
    const DWORD id = Add(Placed(p.get(), 0, 1920));
    EXPECT_EQ(E_INVALIDARG, timeline.DeletePatternInstance(id + 1, TRUE, nullptr));
    document.active.Set(0, id);

    ASSERT_EQ(S_OK, timeline.DeletePatternInstance(id, TRUE, nullptr));
    EXPECT_EQ(ISongDocument::kNoInstance, document.GetActiveInstance());
    EXPECT_EQ(0, timeline.GetSize());
    EXPECT_EQ(1, HistoryCount());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(id, document.GetActiveInstance());
    EXPECT_EQ((std::vector<DWORD>{id}), Ids(timeline));

    // When the document cannot let go of it, nothing is deleted.
    document.setActiveResult = E_FAIL;
    EXPECT_EQ(E_FAIL, timeline.DeletePatternInstance(id, TRUE, nullptr));
    EXPECT_EQ(1, timeline.GetSize());
    EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand());
}

TEST_F(CTimelineTest, TheOwnerHearsOfEveryInstanceWithItsPatternsClipId)
{
    PatternPtr midi = AddPattern(1, 1920);
    PatternPtr audio = AddPattern(4, 1920, {}, CPattern::kKindLoopClip);
    PatternPtr wrapped = AddPattern(-2, 1920, {}, CPattern::kKindLoopClip);
    const DWORD m = Add(Placed(midi.get(), 0, 1920));
    const DWORD a = Add(Placed(audio.get(), 0, 1920));
    const DWORD w = Add(Placed(wrapped.get(), 0, 1920));
    for (DWORD id : {m, a, w})
        ASSERT_EQ(S_OK, timeline.DeletePatternInstance(id, FALSE, nullptr));
    const auto s = [](DWORD v) { return std::to_string(v); };
    EXPECT_EQ((std::vector<std::string>{"inserted " + s(m), "inserted " + s(a), "inserted " + s(w),
                                        "removed " + s(m) + " clip " + s(0xFFFFFFFF), "removed " + s(a) + " clip 4",
                                        "removed " + s(w) + " clip " + s(0xFFFE)}),
              owner.log);
}

TEST_F(CTimelineTest, AFailedNotificationLeavesTheTimelineAsItWas)
{
    PatternPtr p = AddPattern(1, 1920);
    const CPatternInstance instance = Placed(p.get(), 0, 1920);
    owner.insertedResult = E_FAIL;
    EXPECT_EQ(E_FAIL, timeline.AddPatternInstance(instance, TRUE, nullptr));
    EXPECT_EQ(0, timeline.GetSize());
    EXPECT_EQ(0, HistoryCount());
    EXPECT_EQ(CTimeline::kNoInstance, timeline.GetCurrentInstanceId());

    owner.insertedResult = S_OK;
    const DWORD id = Add(instance);
    owner.removedResult = E_FAIL;
    EXPECT_EQ(E_FAIL, timeline.DeletePatternInstance(id, TRUE, nullptr));
    EXPECT_EQ((std::vector<DWORD>{id}), Ids(timeline));
    EXPECT_EQ(id, timeline.GetCurrentInstanceId());
}

TEST_F(CTimelineTest, SetRefusesAValueThatWouldLeaveTheOrder)
{
    PatternPtr p = AddPattern(1, 1920);
    Add(Placed(p.get(), 0, 1920));
    Add(Placed(p.get(), 960, 1920));
    Add(Placed(p.get(), 1920, 3840));
    CPatternInstance middle = timeline[1];
    ASSERT_EQ(S_OK, middle.SetTranspose(3));
    EXPECT_EQ(S_OK, timeline.Set(1, middle));
    EXPECT_EQ(3, timeline[1].GetTranspose());
    ASSERT_EQ(S_OK, middle.SetStart(2000));
    EXPECT_EQ(E_INVALIDARG, timeline.Set(1, middle));
    EXPECT_EQ(960, timeline[1].GetStart());
    EXPECT_EQ(E_INVALIDARG, timeline.Set(3, middle));
    EXPECT_EQ(E_INVALIDARG, timeline.Insert(4, middle));
    EXPECT_EQ(E_INVALIDARG, timeline.Remove(3));
    CPatternInstance out;
    EXPECT_EQ(E_POINTER, timeline.Get(0, nullptr));
    EXPECT_EQ(S_OK, timeline.Get(2, &out));
    EXPECT_EQ(1920, out.GetStart());
}

TEST_F(CTimelineTest, AnswersQueriesById)
{
    PatternPtr p = AddPattern(1, 1920, {Note(0, 60)});
    PatternPtr q = AddPattern(2, 1920, {Note(0, 61)});
    const DWORD a = Add(Placed(p.get(), 0, 1920));
    const DWORD b = Add(Placed(q.get(), 100, 1920));
    Add(Placed(p.get(), 200, 1920));

    int count = 0;
    ASSERT_EQ(S_OK, timeline.CountPatternInstances(1, &count));
    EXPECT_EQ(2, count);
    EXPECT_EQ(E_POINTER, timeline.CountPatternInstances(1, nullptr));
    std::set<SHORT> used;
    ASSERT_EQ(S_OK, timeline.CollectUsedPatternIds(&used));
    EXPECT_EQ((std::set<SHORT>{1, 2}), used);
    std::vector<SHORT> ids;
    std::vector<CPatternInstance*> refs;
    ASSERT_EQ(S_OK, timeline.CollectPatternRefs(&ids, &refs));
    EXPECT_EQ((std::vector<SHORT>{1, 2, 1}), ids);
    EXPECT_EQ(b, refs[1]->GetInstanceId());
    std::vector<CPatternInstance*> all;
    ASSERT_EQ(S_OK, timeline.GetPatternInstances(&all));
    EXPECT_EQ(3u, all.size());
    EXPECT_EQ(E_UNEXPECTED, timeline.GetPatternInstances(&all));
    EXPECT_EQ(E_POINTER, timeline.GetPatternInstances(nullptr));

    CPatternInstance* found = nullptr;
    ASSERT_EQ(S_OK, timeline.GetPatternInstance(b, &found));
    EXPECT_EQ(100, found->GetStart());
    EXPECT_EQ(S_FALSE, timeline.GetPatternInstance(0x12345, nullptr));

    BOOL state = FALSE;
    ASSERT_EQ(S_OK, timeline.ToggleSelectPatternInstance(a, &state));
    EXPECT_TRUE(state);
    EXPECT_EQ(S_FALSE, timeline.ToggleSelectPatternInstance(0x12345, &state));
    timeline.SelectAllPatternInstances(FALSE);
    EXPECT_FALSE(timeline[0].IsSelected());
    EXPECT_EQ(S_FALSE, timeline.SelectPatternInstance(0x12345, TRUE));

    for (CPatternInstance* instance : all)
        ASSERT_EQ(S_OK, instance->SeekTime(500));
    timeline.InvalidatePatternInstances(2);
    EXPECT_EQ(0, timeline[0].GetCursor());
    EXPECT_EQ(CPatternInstance::kInvalidCursor, timeline[1].GetCursor());
    timeline.InvalidatePatternInstances(CTimeline::kAllPatterns);
    EXPECT_EQ(CPatternInstance::kInvalidCursor, timeline[0].GetCursor());

    CTimeline empty(nullptr);
    std::set<SHORT> nothing;
    EXPECT_EQ(S_FALSE, empty.CollectUsedPatternIds(&nothing));
    std::vector<CPatternInstance*> noInstances;
    EXPECT_EQ(S_FALSE, empty.GetPatternInstances(&noInstances));
}

// ---- rendering ----

// Every instance asked for the span, in order: what a span must give.
std::vector<CMfxEvent> RenderEveryInstance(const CTimeline& timeline, LONG from, LONG to)
{
    std::vector<CMfxEvent> events;
    events.reserve(8192);
    for (int i = 0; i < timeline.GetSize(); ++i)
        EXPECT_TRUE(SUCCEEDED(timeline[i].RenderEvents(from, to, &events, 0.0f)));
    return events;
}

std::vector<std::pair<LONG, int>> TimesAndKeys(const std::vector<CMfxEvent>& events)
{
    std::vector<std::pair<LONG, int>> out;
    for (const CMfxEvent& e : events)
        out.emplace_back(e.m_time, e.m_note.key);
    return out;
}

TEST_F(CTimelineTest, ASpanGivesTheEventsOfEveryInstanceThatSoundsInIt)
{
    PatternPtr p = AddPattern(1, 1920, {Note(0, 60), Note(480, 62)});
    PatternPtr q = AddPattern(2, 960, {Note(100, 70)});
    Add(Placed(p.get(), 0, 7680));
    Add(Placed(q.get(), 1000, 2000));
    Add(Placed(p.get(), 1920, 3840, 480));
    // Instance after instance in the order: the first from its start, the
    // second not sounding in the span, the third 480 ticks into its loop.
    EXPECT_EQ((std::vector<std::pair<LONG, int>>{{1920, 60}, {2400, 62}, {2400, 60}, {2880, 62}}),
              TimesAndKeys(RenderSpan(1900, 3400)));
    EXPECT_EQ(TimesAndKeys(RenderEveryInstance(timeline, 0, 8000)), TimesAndKeys(RenderSpan(0, 8000)));
    // An instance that starts at the span's end waits for the next span.
    EXPECT_TRUE(RenderSpan(900, 1000).empty());
}

TEST_F(CTimelineTest, SpansAnywhereMatchEveryInstanceAskedInTurn)
{
    PatternPtr patterns[] = {AddPattern(1, 1920, {Note(0, 60), Note(480, 62), Controller(960, 7, 1)}),
                             AddPattern(2, 960, {Note(100, 70), Note(900, 71)}),
                             AddPattern(3, 3840, {Note(3000, 80)})};
    std::mt19937 rng(5);
    std::uniform_int_distribution<LONG> start(0, 200000), length(1, 20000), offset(0, 959);
    for (int i = 0; i < 300; ++i) {
        CPattern* pattern = patterns[i % 3].get();
        const LONG s = start(rng);
        Add(Placed(pattern, s, s + length(rng), offset(rng) % pattern->GetDuration()));
    }
    // Forward through the song, then jumping back as a loop or a locate does.
    std::vector<LONG> froms;
    for (LONG t = 0; t < 230000; t += 1111)
        froms.push_back(t);
    for (LONG t : {150000, 20, 99999, 0, 219000})
        froms.push_back(t);
    for (LONG from : froms) {
        const LONG to = from + 1111;
        ASSERT_EQ(TimesAndKeys(RenderEveryInstance(timeline, from, to)), TimesAndKeys(RenderSpan(from, to)))
            << from;
    }
    // Removing instances while playing never hides the ones after them.
    while (timeline.GetSize() > 100)
        ASSERT_EQ(S_OK, timeline.DeletePatternInstance(timeline[10].GetInstanceId(), FALSE, nullptr));
    for (LONG from : froms)
        ASSERT_EQ(TimesAndKeys(RenderEveryInstance(timeline, from, from + 1111)),
                  TimesAndKeys(RenderSpan(from, from + 1111)));
}

TEST_F(CTimelineTest, ABusyTimelineRendersNothingForTheSpan)
{
    PatternPtr p = AddPattern(1, 1920, {Note(0, 60)});
    Add(Placed(p.get(), 0, 1920));
    {
        std::promise<void> held, release;
        std::thread edit([&] {
            CHeapLockGuard guard(timeline.GetLock());
            held.set_value();
            release.get_future().wait();
        });
        held.get_future().wait();
        EXPECT_TRUE(RenderSpan(0, 1920, S_FALSE).empty());
        release.set_value();
        edit.join();
    }
    EXPECT_EQ(1u, RenderSpan(0, 1920).size());
    EXPECT_EQ(E_POINTER, timeline.RenderSpan(0, 1, nullptr, 0.0f));
}

TEST_F(CTimelineTest, RenderingWhileTheTimelineIsEditedSeesItWholeOrNotAtAll)
{
    PatternPtr p = AddPattern(1, 1920, {Note(0, 60)});
    Add(Placed(p.get(), 0, 1920));
    const CPatternInstance extra = Placed(p.get(), 0, 1920);
    // The UI thread adds and removes an instance for as long as the audio
    // thread renders its spans.
    std::atomic<bool> stop{false};
    std::atomic<int> failedEdits{0};
    std::promise<void> started;
    std::thread edits([&] {
        mv::MarkCurrentThread(mv::ThreadRole::UI);
        started.set_value();
        while (!stop) {
            if (FAILED(timeline.AddPatternInstance(extra, FALSE, nullptr)) ||
                FAILED(timeline.DeletePatternInstance(extra.GetInstanceId(), FALSE, nullptr)))
                ++failedEdits;
        }
    });
    started.get_future().wait();
    const mv::ScopedThreadRole audio(mv::ThreadRole::Audio);
    std::vector<CMfxEvent> events;
    events.reserve(16);
    for (int span = 0; span < 20000; ++span) {
        events.clear();
        const HRESULT hr = timeline.RenderSpan(0, 1920, &events, 0.0f);
        if (hr == S_FALSE) {
            EXPECT_TRUE(events.empty());
        } else {
            EXPECT_EQ(S_OK, hr);
            EXPECT_TRUE(events.size() == 1 || events.size() == 2) << events.size();
        }
    }
    stop = true;
    edits.join();
    EXPECT_EQ(0, failedEdits.load());
}

#if MV_THREAD_CHECKS
TEST_F(CTimelineTest, ASpanRenderedOnTheUIThreadOrAnEditOnTheAudioThreadDies)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PatternPtr p = AddPattern(1, 1920, {Note(0, 60)});
    const CPatternInstance instance = Placed(p.get(), 0, 1920);
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            RenderSpan(0, 1920);
        },
        "RenderSpan belongs to the audio thread but was called on the UI thread");
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            timeline.AddPatternInstance(instance, FALSE, nullptr);
        },
        "AddPatternInstance belongs to the UI thread but was called on the audio thread");
    EXPECT_EQ(0, timeline.GetSize());
}
#endif

// ---- persistence ----

std::vector<std::uint8_t> Saved(CKelPersistObject& object)
{
    auto stream = chunktest::StreamOf({});
    EXPECT_EQ(S_OK, object.Save(stream.Get(), FALSE));
    return chunktest::BytesOf(stream.Get());
}

TEST_F(CTimelineTest, SavesAndLoadsItsInstancesByteForByte)
{
    PatternPtr p = AddPattern(1, 1920, {Note(0, 60)});
    PatternPtr q = AddPattern(2, 960);
    Add(Placed(p.get(), 0, 1920));
    CPatternInstance moved = Placed(q.get(), 480, 9600, 100);
    ASSERT_EQ(S_OK, moved.SetTranspose(7));
    Add(moved);
    Add(Placed(p.get(), 480, 960));
    const auto bytes = Saved(timeline);

    // Outer chunk, sub-chunk 0 with the count, and an empty sub-chunk 1.
    chunktest::Bytes head;
    head.U64(bytes.size()).U32(MakeKelVersionWord(CTimeline::kMajor, CTimeline::kMinor));
    EXPECT_TRUE(std::equal(head.data.begin(), head.data.end(), bytes.begin()));
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 24, sizeof count);
    EXPECT_EQ(3u, count);
    chunktest::Bytes emptyChunk1;
    const auto tail = emptyChunk1.AsChunk(MakeKelVersionWord(CTimeline::kMajor, 1));
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size())));

    FakeTimelineOwner otherOwner;
    CTimeline loaded(&otherOwner);
    auto in = chunktest::StreamOf(bytes);
    ASSERT_EQ(S_OK, loaded.Load(in.Get()));
    EXPECT_EQ(Ids(timeline), Ids(loaded));
    EXPECT_EQ(7, loaded[1].GetTranspose());
    // The channel hears of every loaded instance as of an inserted one.
    std::vector<std::string> told;
    for (DWORD id : Ids(loaded))
        told.push_back("inserted " + std::to_string(id));
    EXPECT_EQ(told, otherOwner.log);
    EXPECT_EQ(bytes, Saved(loaded));
    EXPECT_EQ(TimesAndKeys(RenderSpan(0, 10000)), TimesAndKeys(RenderEveryInstance(loaded, 0, 10000)));
}

TEST_F(CTimelineTest, LoadingPutsAStreamOutOfOrderInOrder)
{
    PatternPtr p = AddPattern(1, 1920);
    CPatternInstance late = Placed(p.get(), 5000, 6000);
    CPatternInstance early = Placed(p.get(), 0, 1920);
    chunktest::Bytes chunk0;
    chunk0.U32(2);
    for (CPatternInstance* i : {&late, &early}) {
        const auto c = Saved(*i);
        chunk0.Raw(c.data(), c.size());
    }
    CTimeline loaded(nullptr);
    auto in = chunktest::StreamOf(chunk0.AsChunk(MakeKelVersionWord(CTimeline::kMajor, 0)));
    ASSERT_EQ(S_OK, loaded.Load(in.Get()));
    EXPECT_EQ((std::vector<DWORD>{early.GetInstanceId(), late.GetInstanceId()}), Ids(loaded));

    // An instance whose pattern the song does not hold fails the load, and
    // nothing of the chunk is kept.
    document.patterns.erase(1);
    CTimeline failed(nullptr);
    auto again = chunktest::StreamOf(chunk0.AsChunk(MakeKelVersionWord(CTimeline::kMajor, 0)));
    EXPECT_EQ(E_INVALIDARG, failed.Load(again.Get()));
    EXPECT_EQ(0, failed.GetSize());
}

class CTimelineClipTest : public CTimelineTest {
protected:
    void SetUp() override
    {
        CTimelineTest::SetUp();
        owner.host = &host;
        audio = AddPattern(4, 1920, {}, CPattern::kKindLoopClip);
        patternClip = engine.pool.Add(audio->GetClipId());
        midi = AddPattern(5, 1920);
    }

    FakeLoopClipHost host{engine.pool};
    PatternPtr audio, midi;
    FakeLoopClip* patternClip = nullptr;
};

TEST_F(CTimelineClipTest, SavesTheClipStateOfEveryLoopClipInstance)
{
    const DWORD first = Add(Placed(audio.get(), 0, 1920));
    Add(Placed(midi.get(), 0, 1920));
    const DWORD second = Add(Placed(audio.get(), 960, 3840));
    engine.pool.Add(first)->Fill(7);
    engine.pool.Add(second)->Fill(9);
    const auto bytes = Saved(timeline);

    // Load into a channel whose pool no longer holds the instance clips.
    engine.pool.clips.erase(first);
    engine.pool.clips.erase(second);
    FakeTimelineOwner otherOwner;
    otherOwner.host = &host;
    CTimeline loaded(&otherOwner);
    auto in = chunktest::StreamOf(bytes);
    ASSERT_EQ(S_OK, loaded.Load(in.Get()));
    ASSERT_EQ(2u, host.registrations.size());
    EXPECT_EQ(std::make_tuple(first, ILoopClipHost::kModeTimeline, static_cast<ILoopClip*>(patternClip)),
              host.registrations[0]);
    EXPECT_EQ(second, std::get<0>(host.registrations[1]));
    FakeLoopClip expected;
    expected.Fill(7);
    EXPECT_EQ(expected.settings, engine.pool.Find(first)->settings);
    EXPECT_EQ(7, engine.pool.Find(first)->single);
    EXPECT_EQ(9, engine.pool.Find(second)->single);
    ASSERT_EQ(2u, engine.pool.created.size());
    for (const auto& temporary : engine.pool.created)
        EXPECT_EQ(1, temporary->releases);
    EXPECT_EQ(bytes, Saved(loaded));
}

TEST_F(CTimelineClipTest, AStateThatCannotBeWrittenOrUsedFailsItsChunk)
{
    const DWORD id = Add(Placed(audio.get(), 0, 1920));
    // No clip under the instance id: loading could not tell whose state comes next.
    auto stream = chunktest::StreamOf({});
    EXPECT_EQ(E_UNEXPECTED, timeline.Save(stream.Get(), FALSE));

    engine.pool.Add(id);
    const auto bytes = Saved(timeline);
    host.result = E_FAIL;
    CTimeline refused(&owner);
    auto in = chunktest::StreamOf(bytes);
    EXPECT_EQ(E_FAIL, refused.Load(in.Get()));
    EXPECT_EQ(1, engine.pool.created.back()->releases);

    host.result = S_OK;
    engine.pool.loadResultOfCreated = STG_E_READFAULT;
    CTimeline broken(&owner);
    auto again = chunktest::StreamOf(bytes);
    EXPECT_EQ(STG_E_READFAULT, broken.Load(again.Get()));
    EXPECT_EQ(1, engine.pool.created.back()->releases);

    // Without a loop-clip host the chunk holds nothing.
    owner.host = nullptr;
    CTimeline plain(&owner);
    auto noHost = chunktest::StreamOf(Saved(timeline));
    ASSERT_EQ(S_OK, plain.Load(noHost.Get()));
    EXPECT_EQ(1, plain.GetSize());

    auto archiveStream = chunktest::StreamOf({});
    CKelPersistArchive archive(archiveStream.Get(), TRUE, FALSE);
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, timeline.PersistChunk(MakeKelVersionWord(CTimeline::kMajor, 2), &archive));
}

// Registers as the loop player does: a copy of the pattern's clip, kept in
// the pool under the instance id.
class PoolClipHost : public ILoopClipHost {
public:
    explicit PoolClipHost(CClipPool& pool) : m_pool(pool) {}
    HRESULT RegisterClip(DWORD instanceId, int, ILoopClip* clip, ILoopClip** registered) override
    {
        CLoopClip* copy = nullptr;
        HRESULT hr = m_pool.AddCopy("instance", static_cast<CPooledClip*>(clip)->GetLoopClip(), &instanceId, &copy);
        if (FAILED(hr))
            return hr;
        *registered = m_pool.GetClip(instanceId);
        return S_OK;
    }
    HRESULT ReregisterClip(DWORD, ILoopClip*) override { return S_OK; }
    HRESULT UnregisterClip(DWORD) override { return S_OK; }

private:
    CClipPool& m_pool;
};

// An engine whose pool holds the pattern's clip, loaded from its file.
struct PoolEngine : IEngineServices {
    PoolEngine(const std::string& path, DWORD clipId)
    {
        EXPECT_EQ(S_OK, pool.AddClipFromFile(nullptr, path, FloatFormat(8000, 2), &clipId, nullptr, nullptr, nullptr,
                                             false));
    }
    IClipPool* GetClipPool() override { return &pool; }
    IRecorder* GetRecorder() override { return nullptr; }
    DWORD GetSampleRate() override { return 8000; }
    CClipPool pool;
    PoolClipHost host{pool};
};

TEST_F(CTimelineTest, LoopClipInstancesRoundTripTheirClipsThroughTheClipPool)
{
    TempFiles files;
    const std::string path = files.Write("loop.wav", FloatStereoLoop(8000, 8000, 2, {0, 2000, 4000, 6000}));
    PatternPtr audio = AddPattern(4, 1920, {}, CPattern::kKindLoopClip);
    const DWORD clipId = audio->GetClipId();

    PoolEngine first(path, clipId);
    SetEngineServices(&first);
    owner.host = &first.host;
    const DWORD a = Add(Placed(audio.get(), 0, 1920));
    const DWORD b = Add(Placed(audio.get(), 1920, 5760));
    for (DWORD id : {a, b}) {
        ILoopClip* clip = nullptr;
        ASSERT_EQ(S_OK, first.host.RegisterClip(id, ILoopClipHost::kModeTimeline, first.pool.GetClip(clipId), &clip));
        const LONGLONG start = id == a ? 0 : 1920;
        clip->SetStart(start, ILoopClip::kUnitTicks);
        clip->SetStart(start * 4, ILoopClip::kUnitFrames);
        clip->SetEnd(start + 1920, ILoopClip::kUnitTicks);
        clip->SetEnd(start * 4 + 7680, ILoopClip::kUnitFrames);
        clip->SetPlayPosition(start + 480, ILoopClip::kUnitTicks);
        clip->SetTranspose(id == a ? 2 : -3);
    }
    const auto bytes = Saved(timeline);

    // A new start: only the pattern's clip is in the pool.
    PoolEngine second(path, clipId);
    SetEngineServices(&second);
    FakeTimelineOwner otherOwner;
    otherOwner.host = &second.host;
    CTimeline loaded(&otherOwner);
    auto in = chunktest::StreamOf(bytes);
    ASSERT_EQ(S_OK, loaded.Load(in.Get()));
    EXPECT_EQ(3u, second.pool.Count()) << "the temporary clips are gone";
    for (DWORD id : {a, b}) {
        ASSERT_NE(nullptr, second.pool.GetClip(id));
        const CLoopClip* was = first.pool.Find(id);
        const CLoopClip* now = second.pool.Find(id);
        for (int unit : {CLoopClip::kUnitFixedTicks, CLoopClip::kUnitSamples}) {
            EXPECT_EQ(was->GetStart(unit), now->GetStart(unit)) << id;
            EXPECT_EQ(was->GetEnd(unit), now->GetEnd(unit)) << id;
            EXPECT_EQ(was->GetLoopOrigin(unit), now->GetLoopOrigin(unit)) << id;
        }
        EXPECT_EQ(was->GetTranspose(), now->GetTranspose()) << id;
        EXPECT_EQ(second.pool.Find(clipId)->GetAudio(), now->GetAudio()) << "it plays the pattern's sound";
    }
    EXPECT_EQ(bytes, Saved(loaded));
    SetEngineServices(&engine);
}

}  // namespace
