// The edit clipboard over a real song document: what each context copies,
// where it may be pasted, and that every cut and paste is one undo step
// under its name that undo and redo take back and bring again exactly.
#include "engine/hosting/CClipboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>
#include <string>
#include <tuple>
#include <vector>

#include "engine/hosting/CHostingEngineFactory.h"
#include "engine/hosting/CDragAndDropClipboard.h"
#include "engine/hosting/CFxWrap.h"
#include "engine/hosting/CMfxFilterWrap.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/IPasteTarget.h"
#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "tests/engine/TransportRig.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/MidiEffectBase.h"
#include "tests/model/PatternTestSupport.h"
#include "tests/plugins/synthframework/FakeHost.h"
#include "tests/plugins/synthframework/sine/SineSynthClass.h"
#include "tests/support/TempRegistry.h"

namespace {

using pattest::Note;
using songdoctest::FakeEngine;

// (time, key or controller number, kind, selected) of every event.
using EventRow = std::tuple<LONG, int, DWORD, bool>;
std::vector<EventRow> Rows(const CPattern* p)
{
    std::vector<EventRow> rows;
    for (const CMfxEvent& e : p->GetEvents()) {
        const LONG time = e.m_time;
        const DWORD kind = e.m_kind;
        const int target = kind == MfxNote ? int(e.m_note.key) : int(e.m_ctrl.number);
        rows.emplace_back(time, target, kind, e.IsSelected() != FALSE);
    }
    return rows;
}

// (channel, pattern, start, end) of every instance of the song.
using Placement = std::tuple<SHORT, SHORT, LONG, LONG>;

// The pattern editor as the clipboard's paste target: pastes at its
// position on QueryPaste, notes the command it is handed, and may refuse.
class Editor final : public IPasteTarget {
public:
    explicit Editor(CClipboard& clip) : m_clip(clip) {}
    HRESULT QueryPaste() override { return m_clip.PasteIntoPattern(position); }
    HRESULT Paste(CMvCommand* command) override
    {
        commands.push_back(command);
        return answer;
    }
    LONG position = 0;
    HRESULT answer = S_OK;
    std::vector<CMvCommand*> commands;

private:
    CClipboard& m_clip;
};

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        SetSongDocument(doc);
        ASSERT_EQ(S_OK, clip.CreateHeldPattern());
        ASSERT_EQ(S_OK, clip.SetSource(doc));
        clip.SetPasteTarget(&editor);
    }
    void TearDown() override
    {
        clip.SetSource(nullptr);
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        CMidiDoc::DestroyMidiDoc(doc);
    }

    std::vector<SHORT> AddTracks(int n)
    {
        std::vector<SHORT> ids;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(S_OK, doc->InsertChannel(doc->GetChannelCount(), FALSE, &CLSID_NoSynth, "", nullptr));
            ids.push_back(doc->GetChannelIdAt(doc->GetChannelCount() - 1));
        }
        return ids;
    }
    CPattern* AddPattern(SHORT id, LONG duration = 3840)
    {
        CPattern* p = nullptr;
        EXPECT_EQ(S_OK, doc->CreatePattern(id, FALSE, nullptr, &p));
        if (p)
            p->SetDuration(duration);
        return p;
    }
    // The active pattern with notes at the times; those at `selected`
    // indices selected.
    CPattern* ActivePatternWith(std::vector<LONG> times, std::vector<int> selected)
    {
        CPattern* p = AddPattern(5);
        for (LONG t : times)
            EXPECT_EQ(S_OK, p->InsertEvent(Note(t, BYTE(60 + t / 120)), FALSE, nullptr, FALSE));
        for (int i : selected) {
            CMfxEvent e(p->GetEvents()[std::size_t(i)]);
            e.SetSelected(TRUE);
            EXPECT_EQ(S_OK, p->Set(i, e));
        }
        EXPECT_EQ(S_OK, doc->SetActivePattern(5, nullptr));
        return p;
    }
    DWORD Place(CPattern* p, SHORT track, LONG start, LONG end, bool selected)
    {
        CChannel* c = nullptr;
        EXPECT_EQ(S_OK, doc->GetChannel(track, &c));
        CPatternInstance instance(p);
        instance.SetStart(start);
        instance.SetEnd(end);
        EXPECT_EQ(S_OK, c->AddPatternInstance(instance, FALSE, nullptr));
        if (selected) {
            EXPECT_EQ(S_OK, c->SelectPatternInstance(instance.GetInstanceId(), TRUE));
        }
        return instance.GetInstanceId();
    }
    std::vector<Placement> Placements()
    {
        std::vector<Placement> all;
        for (const auto& [id, c] : doc->Channels()) {
            for (int i = 0; i < c->GetTimeline().GetSize(); ++i) {
                const CPatternInstance& in = c->GetTimeline()[i];
                all.emplace_back(id, in.GetPatternID(), in.GetStart(), in.GetEnd());
            }
        }
        std::sort(all.begin(), all.end());
        return all;
    }
    std::vector<Placement> SelectedPlacements()
    {
        std::vector<Placement> all;
        for (const auto& [id, c] : doc->Channels()) {
            for (int i = 0; i < c->GetTimeline().GetSize(); ++i) {
                const CPatternInstance& in = c->GetTimeline()[i];
                if (in.IsSelected())
                    all.emplace_back(id, in.GetPatternID(), in.GetStart(), in.GetEnd());
            }
        }
        std::sort(all.begin(), all.end());
        return all;
    }
    static int HistoryCount()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
    static std::string NewestName() { return CUndoHistory::Instance().GetCommandName(0); }
    static void Undo() { ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo()); }
    static void Redo() { ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo()); }

    FakeEngine engine;
    CMidiDoc* doc = nullptr;
    CClipboard clip;
    Editor editor{clip};
};

// What each context copies may be pasted only where the table says.
TEST_F(ClipboardTest, ContentPastesOnlyInTheContextsItBelongsTo)
{
    const SHORT track = AddTracks(1)[0];
    CPattern* p = ActivePatternWith({0, 480}, {0, 1});
    p->SetSelected(TRUE);
    Place(p, track, 0, 960, true);
    struct Case {
        int copiedIn;
        std::vector<int> pastesIn;
    } cases[] = {
        {CClipboard::kPatternBin, {CClipboard::kArrangement}},
        {CClipboard::kPatternEditor, {CClipboard::kPatternEditor}},
        {CClipboard::kArrangement, {CClipboard::kArrangement, CClipboard::kChannelStrips}},
        {CClipboard::kAudioFxChain, {}},  // no effect held: nothing to paste
        {CClipboard::kChannelStrips, {}},
        {CClipboard::kNoContext, {}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(S_OK, clip.SetCurrentContext(c.copiedIn));
        ASSERT_EQ(S_OK, clip.CopyOrCut(false)) << c.copiedIn;
        EXPECT_EQ(c.copiedIn, clip.GetContentKind());
        for (int context = 0; context < CClipboard::kContextCount; ++context) {
            const bool expected = std::find(c.pastesIn.begin(), c.pastesIn.end(), context) != c.pastesIn.end();
            EXPECT_EQ(expected, clip.HasContent(context)) << "copied in " << c.copiedIn << ", pasting in " << context;
        }
    }
    EXPECT_EQ(E_INVALIDARG, clip.SetCurrentContext(CClipboard::kContextCount));
    EXPECT_EQ(E_INVALIDARG, clip.SetCurrentContext(-1));
    EXPECT_EQ(0, HistoryCount()) << "copies change nothing";

    // Events copied in the pattern editor do not paste in the arrangement.
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternEditor));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kArrangement));
    EXPECT_FALSE(clip.CanPaste());
    EXPECT_EQ(S_FALSE, clip.Paste());

    // A new document empties the clipboard; the kind stays.
    ASSERT_EQ(S_OK, clip.SetSource(doc));
    EXPECT_FALSE(clip.HasContent(CClipboard::kPatternEditor));
    EXPECT_EQ(CClipboard::kPatternEditor, clip.GetContentKind());
}

TEST_F(ClipboardTest, CopiedEventsStartAtZeroAndCutIsOneUndoStep)
{
    CPattern* p = ActivePatternWith({0, 240, 480, 960}, {1, 3});
    const auto before = Rows(p);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternEditor));

    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    EXPECT_EQ((std::vector<EventRow>{{0, 62, MfxNote, true}, {720, 68, MfxNote, true}}), Rows(clip.GetHeldPattern()));
    EXPECT_EQ(before, Rows(p)) << "a copy leaves the pattern";

    ASSERT_EQ(S_OK, clip.CopyOrCut(true));
    EXPECT_EQ(2u, clip.GetHeldPattern()->GetEvents().size());
    EXPECT_EQ((std::vector<EventRow>{{0, 60, MfxNote, false}, {480, 64, MfxNote, false}}), Rows(p));
    ASSERT_EQ(1, HistoryCount());
    EXPECT_EQ("Cut Events from Tarn", NewestName());
    Undo();
    EXPECT_EQ(before, Rows(p));
    Redo();
    EXPECT_EQ((std::vector<EventRow>{{0, 60, MfxNote, false}, {480, 64, MfxNote, false}}), Rows(p));

    // Nothing selected: nothing copied, no command.
    p->SelectAllEvents(FALSE);
    EXPECT_EQ(S_FALSE, clip.CopyOrCut(true));
    EXPECT_FALSE(clip.CanPaste());
    EXPECT_EQ(1, HistoryCount());
}

TEST_F(ClipboardTest, PastedEventsLandAtThePositionAsOneUndoStep)
{
    CPattern* p = ActivePatternWith({0, 240, 480}, {1, 2});
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternEditor));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    p->SelectAllEvents(FALSE);
    const auto before = Rows(p);

    struct Case {
        LONG position;
        LONG firstAt;
    } cases[] = {{1920, 1920}, {-500, 0}, {0, 0}};
    for (const Case& c : cases) {
        editor.position = c.position;
        editor.commands.clear();
        ASSERT_EQ(S_OK, clip.Paste()) << c.position;
        ASSERT_EQ(1u, editor.commands.size()) << "the target hears the paste's command";
        EXPECT_EQ("Paste into Pattern", NewestName());
        auto rows = Rows(p);
        EXPECT_EQ(5u, rows.size());
        EXPECT_NE(std::find(rows.begin(), rows.end(), EventRow{c.firstAt, 62, MfxNote, true}), rows.end());
        EXPECT_NE(std::find(rows.begin(), rows.end(), EventRow{c.firstAt + 240, 64, MfxNote, true}), rows.end());
        Undo();
        EXPECT_EQ(before, Rows(p)) << "undo takes the paste back exactly";
        Redo();
        EXPECT_EQ(rows, Rows(p));
        Undo();
    }
}

TEST_F(ClipboardTest, APasteTheEditorRefusesLeavesThePatternAsItWas)
{
    CPattern* p = ActivePatternWith({0, 240}, {0, 1});
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternEditor));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    const auto before = Rows(p);
    editor.answer = E_ACCESSDENIED;
    editor.position = 960;
    EXPECT_EQ(E_ACCESSDENIED, clip.Paste());
    EXPECT_EQ(before, Rows(p));
    EXPECT_EQ(0, HistoryCount());
    EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand()) << "no command is left open";

    clip.SetPasteTarget(nullptr);
    EXPECT_EQ(E_UNEXPECTED, clip.PasteIntoPattern(0)) << "a paste needs its target";
    EXPECT_EQ(before, Rows(p));
}

TEST_F(ClipboardTest, InstancesFromOneChannelPasteOnTheActiveChannelKeepingTheirSpacing)
{
    const auto tracks = AddTracks(2);
    CPattern* a = AddPattern(1, 960);
    CPattern* b = AddPattern(2, 960);
    Place(a, tracks[0], 1920, 2880, true);
    Place(b, tracks[0], 3840, 4800, true);
    Place(a, tracks[0], 0, 960, false);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kArrangement));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    ASSERT_EQ(2u, clip.GetHeldInstances().size());
    EXPECT_EQ(0, clip.GetHeldInstances()[0].GetStart()) << "the earliest is held at 0";
    EXPECT_EQ(1920, clip.GetHeldInstances()[1].GetStart());

    doc->SelectAllInstances(FALSE);
    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(1, nullptr));
    const auto before = Placements();
    ASSERT_EQ(S_OK, clip.PasteIntoArrangement(7680));
    EXPECT_EQ("Paste into Arrangement", NewestName());
    const std::vector<Placement> pasted = {{tracks[1], 1, 7680, 8640}, {tracks[1], 2, 9600, 10560}};
    EXPECT_EQ(pasted, SelectedPlacements()) << "the pasted instances are selected";
    const auto after = Placements();
    Undo();
    EXPECT_EQ(before, Placements());
    Redo();
    EXPECT_EQ(after, Placements());

    // The channel strips take instances too; without an active channel they
    // go back to the channel they came from.
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kChannelStrips));
    EXPECT_TRUE(clip.CanPaste());
    CMainBus* bus = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&bus));
    ASSERT_EQ(S_OK, doc->SetActiveContainer(bus->GetHostId(), FALSE, nullptr));
    doc->SelectAllInstances(FALSE);
    ASSERT_EQ(S_OK, clip.PasteIntoArrangement(480));
    EXPECT_EQ((std::vector<Placement>{{tracks[0], 1, 480, 1440}, {tracks[0], 2, 2400, 3360}}), SelectedPlacements());
}

TEST_F(ClipboardTest, InstancesFromSeveralChannelsGoBackToTheirOwnAndAGoneChannelIsSkipped)
{
    const auto tracks = AddTracks(3);
    CPattern* a = AddPattern(1, 960);
    Place(a, tracks[0], 960, 1920, true);
    Place(a, tracks[1], 1920, 2880, true);
    Place(a, tracks[2], 2880, 3840, true);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kArrangement));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    ASSERT_EQ(S_OK, doc->DeleteChannel(tracks[1], FALSE));
    doc->SelectAllInstances(FALSE);
    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(0, nullptr));

    ASSERT_EQ(S_OK, clip.PasteIntoArrangement(10000));
    const std::vector<Placement> pasted = {{tracks[0], 1, 10000, 10960}, {tracks[2], 1, 11920, 12880}};
    EXPECT_EQ(pasted, SelectedPlacements());
    EXPECT_EQ(1, HistoryCount());
}

TEST_F(ClipboardTest, CutInstancesLeaveTheArrangementAsOneUndoStep)
{
    const auto tracks = AddTracks(2);
    CPattern* a = AddPattern(1, 960);
    Place(a, tracks[0], 960, 1920, true);
    Place(a, tracks[1], 0, 960, true);
    Place(a, tracks[1], 1920, 2880, false);
    const auto before = Placements();
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kArrangement));
    ASSERT_EQ(S_OK, clip.CopyOrCut(true));
    EXPECT_EQ((std::vector<Placement>{{tracks[1], 1, 1920, 2880}}), Placements());
    ASSERT_EQ(1, HistoryCount());
    EXPECT_EQ("Cut Patterns From Arrangement", NewestName());
    Undo();
    EXPECT_EQ(before, Placements());
    Redo();
    EXPECT_EQ(1u, Placements().size());

    // What was cut pastes back, each on its own track.
    ASSERT_EQ(S_OK, clip.PasteIntoArrangement(0));
    EXPECT_EQ((std::vector<Placement>{{tracks[0], 1, 960, 1920}, {tracks[1], 1, 0, 960}}), SelectedPlacements());
}

TEST_F(ClipboardTest, PatternIdsPasteAsInstancesAndGoneOnesLeaveNoCommand)
{
    const auto tracks = AddTracks(2);
    CPattern* a = AddPattern(1, 960);
    CPattern* b = AddPattern(2, 1920);
    a->SetSelected(TRUE);
    b->SetSelected(TRUE);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternBin));
    ASSERT_EQ(S_OK, clip.CopyOrCut(true));
    EXPECT_EQ(0, HistoryCount()) << "a cut in the pattern bin removes nothing";
    std::vector<SHORT> ids;
    ASSERT_EQ(S_OK, clip.GetIdList(&ids));
    EXPECT_EQ((std::vector<SHORT>{1, 2}), ids);

    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(1, nullptr));
    ASSERT_EQ(S_OK, clip.PasteIntoArrangement(480));
    EXPECT_EQ((std::vector<Placement>{{tracks[1], 1, 480, 1440}, {tracks[1], 2, 480, 2400}}), Placements());
    EXPECT_EQ("Paste into Arrangement", NewestName());
    Undo();
    EXPECT_TRUE(Placements().empty());

    // Pattern 2 gone: pattern 1 still pastes.
    ASSERT_EQ(S_OK, doc->DeletePattern(2, FALSE, nullptr));
    ASSERT_EQ(S_OK, clip.PasteIntoArrangement(0));
    EXPECT_EQ((std::vector<Placement>{{tracks[1], 1, 0, 960}}), Placements());
    Undo();

    // No pattern left: nothing pasted, no command behind.
    ASSERT_EQ(S_OK, doc->DeletePattern(1, FALSE, nullptr));
    const int count = HistoryCount();
    EXPECT_EQ(S_OK, clip.PasteIntoArrangement(0));
    EXPECT_TRUE(Placements().empty());
    EXPECT_EQ(count, HistoryCount());
    EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand());
}

TEST_F(ClipboardTest, HeldInstancesOfADeletedPatternAreNotPasted)
{
    const SHORT track = AddTracks(1)[0];
    CPattern* a = AddPattern(1, 960);
    Place(a, track, 0, 960, true);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kArrangement));
    ASSERT_EQ(S_OK, clip.CopyOrCut(true));
    ASSERT_EQ(S_OK, doc->DeletePattern(1, FALSE, nullptr));
    EXPECT_EQ(S_OK, clip.PasteIntoArrangement(0));
    EXPECT_TRUE(Placements().empty());
}

TEST_F(ClipboardTest, PasteInTheArrangementLandsAtTheSongPosition)
{
    const SHORT track = AddTracks(1)[0];
    CPattern* a = AddPattern(1, 960);
    Place(a, track, 960, 1920, true);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kArrangement));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    doc->SelectAllInstances(FALSE);
    engine.now = 5760;
    ASSERT_EQ(S_OK, clip.Paste());
    EXPECT_EQ((std::vector<Placement>{{track, 1, 5760, 6720}}), SelectedPlacements());
    EXPECT_EQ("Paste into Arrangement", NewestName());
}

TEST_F(ClipboardTest, ExtentAndIdListServeThePatternDragAndDrop)
{
    ActivePatternWith({0, 240, 960}, {1, 2});
    LONG start = -1, end = -1;
    EXPECT_EQ(E_INVALIDARG, clip.GetContentExtent(nullptr, nullptr));
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternEditor));
    ASSERT_EQ(S_OK, clip.GetContentExtent(&start, &end));
    EXPECT_EQ(0, start);
    EXPECT_EQ(0, end) << "no events held";
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));
    ASSERT_EQ(S_OK, clip.GetContentExtent(&start, &end));
    EXPECT_EQ(clip.GetHeldPattern()->CalcLength(FALSE), end);
    EXPECT_GE(end, 720 + 120);
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kAudioFxChain));
    EXPECT_EQ(S_FALSE, clip.GetContentExtent(&start, &end));
    EXPECT_EQ(0, end);

    std::vector<SHORT> ids{7};
    EXPECT_EQ(E_POINTER, clip.GetIdList(nullptr));
    EXPECT_EQ(S_FALSE, clip.SetIdList({}));
    EXPECT_FALSE(clip.HasContent(CClipboard::kPatternEditor)) << "setting ids clears the events";
    EXPECT_EQ(S_OK, clip.SetIdList({3, 4}));
    EXPECT_EQ(S_OK, clip.GetIdList(&ids));
    EXPECT_EQ((std::vector<SHORT>{7, 3, 4}), ids) << "appended to the caller's list";
}

TEST_F(ClipboardTest, AContainersOwnPatternTakesNoNotesFromAPaste)
{
    AddTracks(1);
    CPattern* p = ActivePatternWith({0}, {0});
    CMfxEvent controller(MfxController);
    controller.m_time = 240;
    controller.m_ctrl.number = 7;
    controller.SetSelected(TRUE);
    ASSERT_EQ(S_OK, p->InsertEvent(controller, FALSE, nullptr, FALSE));
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kPatternEditor));
    ASSERT_EQ(S_OK, clip.CopyOrCut(false));

    // With no active pattern the editor shows the channel's own pattern.
    ASSERT_EQ(S_OK, doc->SetActivePattern(CMidiDoc::kNone, nullptr));
    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(0, nullptr));
    CPattern* own = nullptr;
    ASSERT_EQ(S_OK, doc->GetActivePattern(&own));
    ASSERT_NE(nullptr, own);
    const std::size_t before = own->GetEvents().size();
    ASSERT_EQ(S_OK, clip.PasteIntoPattern(960));
    ASSERT_EQ(before + 1, own->GetEvents().size());
    const auto rows = Rows(own);
    EXPECT_NE(std::find(rows.begin(), rows.end(), EventRow{1200, 7, MfxController, true}), rows.end());
}

TEST(ClipboardHelpers, ScaleColorClampsEachByte)
{
    struct Case {
        DWORD color;
        float factor;
        DWORD expected;
    } cases[] = {
        {0x00804020, 1.0f, 0x00804020},
        {0x00804020, 0.5f, 0x00402010},
        {0x00804020, 2.0f, 0x00FF8040},
        {0x00FFFFFF, 1.5f, 0x00FFFFFF},
        {0x00030303, 0.5f, 0x00010101},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ScaleColor(c.color, c.factor)) << std::hex << c.color << " x " << c.factor;
    EXPECT_TRUE(IsValidObjectId(0));
    EXPECT_TRUE(IsValidObjectId(1000));
    EXPECT_FALSE(IsValidObjectId(0xFFFF));
}

TEST(ClipboardFactory, TheProgramsEngineFactoryMakesBothClipboards)
{
    CHostingEngineFactory factory;
    ITransportClipboard* edit = factory.CreateClipboard();
    ITransportClipboard* drag = factory.CreateDragAndDropClipboard();
    EXPECT_NE(nullptr, dynamic_cast<CClipboard*>(edit));
    EXPECT_EQ(nullptr, dynamic_cast<CDragAndDropClipboard*>(edit));
    EXPECT_NE(nullptr, dynamic_cast<CDragAndDropClipboard*>(drag));
    EXPECT_EQ(S_OK, edit->CreateHeldPattern());
    EXPECT_EQ(S_FALSE, edit->CreateHeldPattern()) << "made once";
    delete edit;
    delete drag;
}

// The engine owner with the program's clipboards: it makes them, gives each
// its held pattern and hands them the song document it is given.
class RealClipboardFactory : public mvtest::FakeEngineFactory {
public:
    ITransportClipboard* CreateClipboard() override { return CHostingEngineFactory().CreateClipboard(); }
    ITransportClipboard* CreateDragAndDropClipboard() override { return CHostingEngineFactory().CreateDragAndDropClipboard(); }
};

class ClipboardInTransport : public mvtest::TransportRig {
protected:
    void SetUp() override
    {
        TransportRig::SetUp();
        transport = std::make_unique<CTransport>(&realFactory, RecordSleep);
        ASSERT_EQ(S_OK, transport->Init(FALSE));
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(transport.get(), &song));
        SetSongDocument(song);
    }
    void TearDown() override
    {
        SetSongDocument(nullptr);
        if (song != nullptr)
            CMidiDoc::DestroyMidiDoc(song);
        CUndoHistory::Instance().Clear();
        TransportRig::TearDown();
    }
    RealClipboardFactory realFactory;
    CMidiDoc* song = nullptr;
};

TEST_F(ClipboardInTransport, TheEngineOwnersClipboardsPasteIntoItsSong)
{
    auto* edit = dynamic_cast<CClipboard*>(transport->GetClipboard());
    auto* drag = dynamic_cast<CDragAndDropClipboard*>(transport->GetDragDropClipboard());
    ASSERT_NE(nullptr, edit);
    ASSERT_NE(nullptr, drag);
    ASSERT_NE(nullptr, edit->GetHeldPattern());
    ASSERT_EQ(S_OK, song->InsertChannel(0, FALSE, &CLSID_NoSynth, "", nullptr));
    CPattern* p = nullptr;
    ASSERT_EQ(S_OK, song->CreatePattern(1, FALSE, nullptr, &p));
    p->SetDuration(960);
    p->SetSelected(TRUE);

    for (CClipboard* clip : {edit, static_cast<CClipboard*>(drag)}) {
        ASSERT_EQ(S_OK, clip->SetCurrentContext(CClipboard::kPatternBin));
        ASSERT_EQ(S_OK, clip->CopyOrCut(false)) << "the clipboard has the engine owner's song";
        ASSERT_EQ(S_OK, clip->SetCurrentContext(CClipboard::kArrangement));
        ASSERT_EQ(S_OK, clip->Paste());
    }
    CChannel* channel = nullptr;
    ASSERT_EQ(S_OK, song->GetChannelAt(0, &channel));
    const LONG now = transport->GetNowTicks(FALSE);
    ASSERT_EQ(2, channel->GetTimeline().GetSize());
    EXPECT_EQ(now, channel->GetTimeline()[0].GetStart());
    EXPECT_EQ(now + 960, channel->GetTimeline()[1].GetEnd());
}

// Effects: a MIDI effect of the test's own (its state is one number) and
// the sine test instrument as an audio effect, registered with regsvr.
constexpr GUID kEcho = {0x7E570027, 1, 2, {3, 4, 5, 6, 7, 8, 9, 1}};

class Echo final : public mvtest::MidiEffectBase {
public:
    Echo() : MidiEffectBase(kEcho) {}
    STDMETHODIMP Load(IStream* s) override { return s->Read(&delay, sizeof delay, nullptr); }
    STDMETHODIMP Save(IStream* s, BOOL) override { return s->Write(&delay, sizeof delay, nullptr); }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override { return size->QuadPart = sizeof delay, S_OK; }
    int delay = 0;
};

int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ClipboardEffects : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        CFilterWrap::ClearFailedPlugIns();
        ASSERT_TRUE(SUCCEEDED(mvcom::RegisterBuiltinClass(kEcho, &mvtest::MakeMidiEffect<Echo>)));
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
        ASSERT_EQ(S_OK, clip.CreateHeldPattern());
    }
    void TearDown() override
    {
        clip.Clear();
        mvcom::UnregisterBuiltinClass(kEcho);
        CFilterWrap::ClearFailedPlugIns();
        AudioGraphFixture::TearDown();
        CoFreeUnusedLibraries();
    }
    mvtest::TempRegistry registry;
    mvtest::FakeHost host;
    CClipboard clip;
};

TEST_F(ClipboardEffects, ACopiedEffectIsHeldAsAnUnloadedCloneThatPastesOnlyInItsChainView)
{
    CFxWrap* fx = nullptr;
    ASSERT_EQ(S_OK, CFxWrap::Create(&mvtest::CLSID_SineSynth, "Sine Fx", graph,
                                    static_cast<mvsynth::IMfxTempoMap*>(&host), &fx));
    ASSERT_EQ(S_OK, fx->SetBypass(TRUE));
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kAudioFxChain));
    ASSERT_EQ(S_OK, clip.CopyFx(true, fx));
    CFxWrap* held = clip.GetHeldFx();
    ASSERT_NE(nullptr, held);
    EXPECT_NE(fx, held);
    EXPECT_EQ(nullptr, held->GetFilter()) << "held unloaded";
    EXPECT_TRUE(held->IsBypassed());
    EXPECT_EQ(fx->GetClsid(), held->GetClsid());
    EXPECT_NE(nullptr, fx->GetFilter()) << "the source stays in its chain until the view removes it";
    for (int context = 0; context < CClipboard::kContextCount; ++context)
        EXPECT_EQ(context == CClipboard::kAudioFxChain, clip.HasContent(context)) << context;
    EXPECT_EQ(S_OK, clip.Paste()) << "the chain view pastes the clone itself";
    ASSERT_EQ(S_OK, held->Load()) << "the clone loads into a chain";

    // A MIDI effect replaces it; its clone carries the state.
    CMfxFilterWrap* mfx = nullptr;
    ASSERT_EQ(S_OK, CMfxFilterWrap::Create(&kEcho, "Echo", static_cast<mvsynth::IMfxTempoMap*>(&host), &mfx));
    static_cast<Echo*>(mfx->GetEventFilter())->delay = 3;
    ASSERT_EQ(S_OK, clip.SetCurrentContext(CClipboard::kMidiFxChain));
    ASSERT_EQ(S_OK, clip.CopyMfx(false, mfx));
    EXPECT_EQ(nullptr, clip.GetHeldFx()) << "one content at a time";
    ASSERT_NE(nullptr, clip.GetHeldMfx());
    EXPECT_EQ(3, static_cast<Echo*>(clip.GetHeldMfx()->GetEventFilter())->delay);
    EXPECT_TRUE(clip.HasContent(CClipboard::kMidiFxChain));
    EXPECT_FALSE(clip.HasContent(CClipboard::kAudioFxChain));
    EXPECT_EQ(S_OK, clip.Clear());
    EXPECT_EQ(nullptr, clip.GetHeldMfx());
    EXPECT_FALSE(clip.CanPaste());

    EXPECT_EQ(E_POINTER, clip.CopyFx(false, nullptr));
    DestroyPlugInWrap(static_cast<IMfxFilterWrap*>(mfx));
    DestroyPlugInWrap(static_cast<IFxWrap*>(fx));
}

}  // namespace
